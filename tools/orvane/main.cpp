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

void printHelp() {
    std::printf(
        "usage: orvane COMMAND [ARGS...]\n"
        "       orvane --help | --version\n\n"
        "Commands:\n");
    for (auto table : allTables())
        for (const cli::Command& c : table) std::printf("  %s %s\n      %s\n", c.name, c.usage, c.summary);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printHelp();
        return 2;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        printHelp();
        return 0;
    }
    if (first == "--version") {
        std::printf("orvane %s\n", ORVANE_VERSION_STRING);
        return 0;
    }
    std::vector<std::string> rest(argv + 2, argv + argc);
    for (auto table : allTables())
        for (const cli::Command& c : table)
            if (first == c.name) return c.run(rest);
    return cli::usageError("unknown command '" + first + "'");
}
