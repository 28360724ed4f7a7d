// help2roff: writes a manual page from a tool's own --help, so that the page cannot drift
// from the tool. The help follows one layout (see tools/orvane/main.cpp):
//   usage: TOOL ...            one or more usage lines
//   (blank) description lines
//   Options:  "  TERM" lines, each followed by "      description" lines
//   Example:  "  command" lines
// With --commands the tool's overview lists subcommands ("  NAME USAGE" lines under
// "Commands:"), and each one's `TOOL NAME --help` becomes a subsection.
//
// usage: help2roff TOOL NAME SECTION WHATIS VERSION [--commands] [--see-also PAGE(S)...]
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> runLines(const std::string& command) {
    std::vector<std::string> lines;
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return lines;
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) text.append(chunk, n);
    if (::pclose(p) != 0) lines.clear();
    else {
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(at, end - at));
            at = end + 1;
        }
    }
    return lines;
}

// Text safe in a roff line: backslashes and hyphens escaped, no control character first.
std::string roff(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

bool indented(const std::string& line, std::size_t blanks) {
    return line.size() > blanks && line.find_first_not_of(' ') == blanks;
}

std::string trim(const std::string& s) {
    const auto a = s.find_first_not_of(' ');
    return a == std::string::npos ? "" : s.substr(a);
}

struct Help {
    std::vector<std::string> usage;
    std::vector<std::string> paragraphs;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> example;
    std::vector<std::pair<std::string, std::string>> commands;  // name, usage
};

Help parse(const std::vector<std::string>& lines) {
    Help h;
    enum { Usage, Text, Options, Example, Commands } part = Usage;
    std::string paragraph;
    auto endParagraph = [&] {
        if (!paragraph.empty()) h.paragraphs.push_back(paragraph);
        paragraph.clear();
    };
    for (const std::string& line : lines) {
        if (line == "Options:") part = Options;
        else if (line == "Example:") part = Example;
        else if (line == "Commands:") part = Commands;
        else if (part == Usage && line.rfind("usage: ", 0) == 0) h.usage.push_back(line.substr(7));
        else if (part == Usage && indented(line, 7)) h.usage.push_back(trim(line));
        else if (part == Usage || part == Text) {
            part = Text;
            if (line.empty()) endParagraph();
            else paragraph += (paragraph.empty() ? "" : " ") + line;
        } else if (part == Options && indented(line, 2)) h.options.push_back({trim(line), ""});
        else if (part == Options && indented(line, 6) && !h.options.empty()) {
            std::string& d = h.options.back().second;
            d += (d.empty() ? "" : " ") + trim(line);
        } else if (part == Example && indented(line, 2)) h.example.push_back(line.substr(2));
        else if (part == Commands && indented(line, 2)) {
            const std::string t = trim(line);
            const auto blank = t.find(' ');
            h.commands.push_back({t.substr(0, blank), blank == std::string::npos ? "" : t.substr(blank + 1)});
        }
    }
    endParagraph();
    return h;
}

void printBody(const Help& h, const char* optionsHeading, const char* exampleHeading) {
    for (const std::string& p : h.paragraphs) std::printf(".PP\n%s\n", roff(p).c_str());
    if (!h.options.empty()) {
        std::printf("%s\n", optionsHeading);
        for (const auto& [term, text] : h.options) std::printf(".TP\n.B %s\n%s\n", roff(term).c_str(), roff(text).c_str());
    }
    if (!h.example.empty()) {
        std::printf("%s\n.PP\n.RS\n.nf\n", exampleHeading);
        for (const std::string& e : h.example) std::printf("%s\n", roff(e).c_str());
        std::printf(".fi\n.RE\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: help2roff TOOL NAME SECTION WHATIS VERSION [--commands] [--see-also PAGE...]\n");
        return 2;
    }
    const std::string tool = argv[1], name = argv[2], section = argv[3], whatis = argv[4], version = argv[5];
    bool commands = false;
    std::vector<std::string> seeAlso;
    for (int i = 6; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--commands") commands = true;
        else if (a != "--see-also") seeAlso.push_back(a);
    }
    const Help top = parse(runLines("'" + tool + "' --help"));
    if (top.usage.empty()) {
        std::fprintf(stderr, "help2roff: '%s --help' gave no usage\n", tool.c_str());
        return 1;
    }
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    std::printf(".\\\" Generated by help2roff from '%s --help'; do not edit.\n", name.c_str());
    std::printf(".TH %s %s \"\" \"OrvaneLib %s\" \"%s\"\n", roff(upper).c_str(), section.c_str(), version.c_str(),
                section == "8" ? "System Administration" : "User Commands");
    std::printf(".SH NAME\n%s \\- %s\n.SH SYNOPSIS\n.nf\n", roff(name).c_str(), roff(whatis).c_str());
    for (const std::string& u : top.usage) std::printf("%s\n", roff(u).c_str());
    std::printf(".fi\n.SH DESCRIPTION\n");
    printBody(top, ".SH OPTIONS", ".SH EXAMPLE");
    if (commands) {
        std::printf(".SH COMMANDS\n");
        for (const auto& [command, usage] : top.commands) {
            const Help h = parse(runLines("'" + tool + "' '" + command + "' --help"));
            if (h.usage.empty()) {
                std::fprintf(stderr, "help2roff: '%s %s --help' gave no usage\n", tool.c_str(), command.c_str());
                return 1;
            }
            std::printf(".SS\n%s\n", roff(h.usage.front()).c_str());
            printBody(h, ".PP\nOptions:", ".PP\nExample:");
        }
    }
    if (!seeAlso.empty()) {
        std::printf(".SH \"SEE ALSO\"\n");
        for (std::size_t i = 0; i < seeAlso.size(); ++i) {
            const std::string& s = seeAlso[i];
            const auto open = s.find('(');
            std::printf(".BR %s %s%s\n", roff(s.substr(0, open)).c_str(), s.substr(open).c_str(),
                        i + 1 < seeAlso.size() ? "," : "");
        }
    }
    return 0;
}
