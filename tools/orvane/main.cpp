// orvane: the command-line face of the library, for shell users and for trying the
// library out on real data.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.hpp"

namespace cli {

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane: %s (try 'orvane --help')\n", message.c_str());
    return 2;
}

std::string readAll(std::FILE* in) {
    std::string text;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) text.append(chunk, got);
    return text;
}

}  // namespace cli

namespace {

std::vector<std::span<const cli::Command>> allTables() {
    return {cli::stringCommands(), cli::numericCommands(), cli::databaseCommands(), cli::tableCommands(),
            cli::pluginCommands(), cli::hostCommands(), cli::fileCommands(), cli::designFileCommands()};
}

// Prints `text` in lines of at most 79 columns, each starting with `indent` blanks.
void printWrapped(const std::string& text, std::size_t indent) {
    const std::size_t width = 79 - indent;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.size();
        if (end - at > width) {
            end = text.rfind(' ', at + width);
            if (end == std::string::npos || end <= at) end = text.find(' ', at + width);
            if (end == std::string::npos) end = text.size();
        }
        std::printf("%*s%.*s\n", static_cast<int>(indent), "", static_cast<int>(end - at), text.c_str() + at);
        at = end;
        while (at < text.size() && text[at] == ' ') ++at;
    }
}

void printHelp() {
    std::printf(
        "usage: orvane COMMAND [ARGS...]\n"
        "       orvane COMMAND --help\n"
        "       orvane --help | --version\n\n"
        "Command-line use of the OrvaneLib library: strings, numerics, ODBC databases and\n"
        "tables, plug-in servers, profile files, user accounts and design files.\n\n"
        "Commands:\n");
    for (auto table : allTables())
        for (const cli::Command& c : table) {
            std::printf("  %s %s\n", c.name, c.usage);
            printWrapped(c.summary, 6);
        }
    std::printf("\n'orvane COMMAND --help' shows a command's options and an example.\n");
}

// The help of one command: usage, what it does, its options (one a line, term TAB
// description) and an example. The manual page is generated from this layout.
void printCommandHelp(const cli::Command& c) {
    std::printf("usage: orvane %s %s\n\n", c.name, c.usage);
    printWrapped(c.summary, 0);
    std::printf("\nOptions:\n");
    std::string options = std::string(c.options ? c.options : "") + "-h, --help\tshow this help and exit\n";
    for (std::size_t at = 0; at < options.size();) {
        std::size_t end = options.find('\n', at);
        if (end == std::string::npos) end = options.size();
        const std::string line = options.substr(at, end - at);
        const std::size_t tab = line.find('\t');
        std::printf("  %s\n", line.substr(0, tab).c_str());
        if (tab != std::string::npos) printWrapped(line.substr(tab + 1), 6);
        at = end + 1;
    }
    if (c.example) {
        std::printf("\nExample:\n");
        std::string example = c.example;
        for (std::size_t at = 0; at < example.size();) {
            std::size_t end = example.find('\n', at);
            if (end == std::string::npos) end = example.size();
            std::printf("  %s\n", example.substr(at, end - at).c_str());
            at = end + 1;
        }
    }
}

const cli::Command* findCommand(const std::string& name) {
    for (auto table : allTables())
        for (const cli::Command& c : table)
            if (name == c.name) return &c;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printHelp();
        return 2;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || (first == "help" && argc == 2)) {
        printHelp();
        return 0;
    }
    if (first == "help" && argc == 3) {
        const cli::Command* c = findCommand(argv[2]);
        if (!c) return cli::usageError("unknown command '" + std::string(argv[2]) + "'");
        printCommandHelp(*c);
        return 0;
    }
    if (first == "--version") {
        std::printf("orvane %s\n", ORVANE_VERSION_STRING);
        return 0;
    }
    std::vector<std::string> rest(argv + 2, argv + argc);
    const cli::Command* c = findCommand(first);
    if (!c) return cli::usageError("unknown command '" + first + "'");
    if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
        printCommandHelp(*c);
        return 0;
    }
    return c->run(rest);
}
