// header2dox: the Doxygen input filter of include/orvane.h. The header is written for
// people, in plain C comments; this turns its structure into Doxygen's, line for line
// (so that warnings point at the header's own lines):
//   - a banner (a title line above a "/* ===" or "/* ---" rule) opens a group in its
//     family (the table below); an inline "/* --- Title --- */" opens a subgroup;
//   - a comment right above declarations is their contract: it documents the first one,
//     and the others of the run (the A/W twins) copy it;
//   - a comment between a banner and the first declaration describes the group;
//   - a comment after a struct field or a define documents that member.
// A declaration without a contract comment stays undocumented, which fails the docs build.
// usage: header2dox HEADER   (the filtered text on standard output)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

// Every banner title names its family page (docs/api/families.dox). A new banner needs a
// line here; an unknown one is reported and puts its functions in no family.
const std::map<std::string, std::string> kFamilies = {
    {"Buffers", "frame"},
    {"Dynamic strings and bounded copies", "frame"},
    {"Case-insensitive comparison and search", "strings"},
    {"Tokenizer", "strings"},
    {"Character classes and string edits", "strings"},
    {"Wildcard matching", "strings"},
    {"Separator-delimited string lists", "strings"},
    {"Containers and numerics", "numerics"},
    {"Database access over ODBC", "database"},
    {"Whole tables", "database"},
    {"Plug-in server client", "pluginclient"},
    {"Files and host system", "host"},
    {"Paths, profiles and host information", "host"},
    {"Users", "host"},
    {"Stream files", "host"},
    {"Colour tables", "host"},
    {"Design-file properties", "host"},
};

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

std::string trim(std::string s) {
    const auto a = s.find_first_not_of(" \t");
    const auto b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

bool isRule(const std::string& line) {
    return startsWith(line, "/* ====") || (startsWith(line, "/* ----") && line.find_first_not_of("-", 3) == line.size() - 3);
}

// "/* Title     */" alone on its line.
bool isTitle(const std::string& line, std::string& title) {
    if (!startsWith(line, "/* ") || line.size() < 6 || line.compare(line.size() - 2, 2, "*/") != 0) return false;
    title = trim(line.substr(3, line.size() - 5));
    return !title.empty() && title[0] != '@' && title.find("/*") == std::string::npos &&
           title.find("*/") == std::string::npos;
}

// "/* --- Title -------- */"
bool isInlineBanner(const std::string& line, std::string& title) {
    if (!startsWith(line, "/* --- ") || line.compare(line.size() - 2, 2, "*/") != 0) return false;
    std::string t = line.substr(7, line.size() - 9);
    t = trim(t.substr(0, t.find_last_not_of("- ") + 1));
    title = t;
    return !title.empty();
}

bool isDeclarationStart(const std::string& line) {
    return startsWith(line, "TQ_API ") || startsWith(line, "#define ") || startsWith(line, "typedef ");
}

std::string slug(const std::string& title) {
    std::string id = "g_";
    for (char c : title) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) id += c;
        else if (c >= 'A' && c <= 'Z') id += static_cast<char>(c - 'A' + 'a');
        else if (id.back() != '_') id += '_';
    }
    while (id.back() == '_') id.pop_back();
    return id;
}

// The declared name of a declaration's first line.
std::string declaredName(const std::string& line) {
    if (startsWith(line, "#define ")) {
        const std::string rest = line.substr(8);
        return rest.substr(0, rest.find_first_of(" (\t"));
    }
    const auto paren = line.find('(');
    std::string head = trim(line.substr(0, paren));
    const auto at = head.find_last_of(" *");
    return at == std::string::npos ? head : head.substr(at + 1);
}

// Comment text that Doxygen would read as commands or markup stays plain text.
std::string escapeText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '@' || c == '<' || c == '>' || c == '&' || c == '#' || c == '%') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: header2dox HEADER\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::vector<std::string> out = lines;

    bool open = false;          // a group's @{ is open
    std::string pending;        // a group defined but not yet opened
    std::string parent, family;  // the current banner group and its family
    auto openPrefix = [&]() -> std::string {
        if (pending.empty()) return "";
        std::string p = "/** @addtogroup " + pending + " */ /** @{ */ ";
        pending.clear();
        open = true;
        return p;
    };

    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::string title;
        if (i == 0 && line == "/*") {
            out[i] = "/** @file orvane.h";
            // The file comment runs to its end; its text is plain prose.
            for (++i; i < lines.size() && !startsWith(lines[i], " */"); ++i) out[i] = escapeText(lines[i]);
            continue;
        }
        if (i + 1 < lines.size() && isTitle(line, title) && isRule(lines[i + 1]) && !isRule(line)) {
            const auto f = kFamilies.find(title);
            if (f == kFamilies.end())
                std::fprintf(stderr, "%s:%zu: warning: header2dox: no family for the section '%s'\n", argv[1], i + 1,
                             title.c_str());
            family = f == kFamilies.end() ? "unfiled" : f->second;
            parent = slug(title);
            out[i] = std::string(open ? "/** @} */ " : "") + "/** @defgroup " + parent + " " + escapeText(title);
            out[i + 1] = " * @ingroup " + family + " */";
            open = false;
            pending = parent;
            ++i;
            continue;
        }
        if (isInlineBanner(line, title) && !parent.empty()) {
            const std::string id = parent + "_" + slug(title).substr(2);
            out[i] = std::string(open ? "/** @} */ " : "") + "/** @addtogroup " + parent + " */ /** @{ */ /** @defgroup " +
                     id + " " + escapeText(title) + " */ /** @} */";
            open = false;
            pending = id;
            continue;
        }
        if (startsWith(line, "/*") && !startsWith(line, "/**")) {
            std::size_t end = i;
            while (end < lines.size() && lines[end].find("*/") == std::string::npos) ++end;
            if (end == lines.size()) break;
            const bool marker = i == end && startsWith(trim(line.substr(2)), "@section");
            const bool contract = end + 1 < lines.size() && isDeclarationStart(lines[end + 1]);
            if (marker || (!contract && pending.empty())) {
                i = end;  // a plain remark: not documentation
                continue;
            }
            for (std::size_t k = i; k <= end; ++k) {
                std::string text = lines[k];
                std::string lead, tail;
                if (k == i) {
                    lead = "/**";
                    text = text.substr(2);
                }
                const auto close = text.rfind("*/");
                if (k == end) {
                    tail = text.substr(close);
                    text = text.substr(0, close);
                }
                if (k > i && startsWith(text, " *")) {
                    lead = " *";
                    text = text.substr(2);
                }
                out[k] = lead + escapeText(text) + tail;
            }
            if (!contract) {
                // Describes the group that the banner above opened.
                out[end].insert(out[end].rfind("*/"), "@addtogroup " + pending + " ");
                i = end;
                continue;
            }
            out[i] = openPrefix() + out[i];
            // The run of declarations under the contract: the first is documented, the
            // others (A/W twins, companion defines) copy its text.
            const std::string first = declaredName(lines[end + 1]);
            std::size_t k = end + 2;
            for (; k < lines.size() && !trim(lines[k]).empty() && !startsWith(lines[k], "/*"); ++k)
                if (startsWith(lines[k], "TQ_API ") || startsWith(lines[k], "#define "))
                    out[k] = "/** @copydoc " + first + " */ " + lines[k];
            i = end;
            continue;
        }
        if (isDeclarationStart(line)) {
            out[i] = openPrefix() + out[i];  // without a contract of its own: Doxygen will say so
            continue;
        }
        // A member's own comment: "field; /* text */".
        const auto c = line.find("/* ");
        if (c != std::string::npos && c > 0 && line.find("*/", c) != std::string::npos && !startsWith(line, "#endif") &&
            !startsWith(trim(line), "*")) {
            const auto e = line.find("*/", c);
            out[i] = line.substr(0, c) + "/**< " + escapeText(line.substr(c + 3, e - c - 3)) + line.substr(e);
            continue;
        }
        if (startsWith(line, "TQ_EXTERN_C_END") && open) {
            out[i] = "/** @} */ " + line;
            open = false;
        }
    }
    for (const std::string& l : out) std::cout << l << '\n';
    return 0;
}
