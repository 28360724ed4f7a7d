// orvane subcommands of the string toolkit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

// Character-set arguments accept \t, \n, \r, \\ and \s (blank) so that sets of
// whitespace can be written on a shell command line.
std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 's': out += ' '; break;
            default: out += s[i]; break;
        }
    }
    return out;
}

int runTokens(const std::vector<std::string>& args) {
    std::optional<std::string> skip, trim, ignore, stop, quote, text;
    std::string sep = ",";
    int maxLength = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= args.size()) return false;
            into = unescape(args[++i]);
            return true;
        };
        bool ok = true;
        if (a == "--sep") {
            std::optional<std::string> v;
            ok = value(v);
            if (ok) sep = *v;
        } else if (a == "--skip") {
            ok = value(skip);
        } else if (a == "--trim") {
            ok = value(trim);
        } else if (a == "--strip") {
            skip = trim = std::string(" \t\r\n");
        } else if (a == "--ignore") {
            ok = value(ignore);
        } else if (a == "--stop") {
            ok = value(stop);
        } else if (a == "--quote") {
            ok = value(quote);
        } else if (a == "--max") {
            std::optional<std::string> v;
            ok = value(v);
            if (ok) {
                char* end = nullptr;
                const long n = std::strtol(v->c_str(), &end, 10);
                ok = *end == '\0' && n >= 0 && n <= 1 << 30;
                maxLength = static_cast<int>(n);
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return usageError("tokens: unknown option '" + a + "'");
        } else if (!text) {
            text = a;
        } else {
            return usageError("tokens: more than one TEXT");
        }
        if (!ok) return usageError("tokens: option '" + a + "' needs a valid value");
    }
    if (!text || *text == "-") {
        text = readAll(stdin);
        if (!text->empty() && text->back() == '\n') text->pop_back();
    }
    auto set = [](const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; };
    std::vector<char> token(text->size() + 1);
    std::size_t pos = 0;
    while (pos < text->size()) {
        const int consumed = tqString_getTokenSizedExtA(token.data(), text->c_str() + pos, set(skip), set(trim),
                                                        set(ignore), sep.c_str(), set(stop), set(quote), maxLength);
        if (consumed > 0) {
            std::printf("%s\n", token.data());
            pos += static_cast<std::size_t>(consumed);
            continue;
        }
        // Nothing consumed: a stopper stands at the position (or a NUL inside the
        // input). Print the stopper as a token of its own and step over it.
        if ((*text)[pos] != '\0') std::printf("%c\n", (*text)[pos]);
        ++pos;
    }
    return 0;
}

// Parses a whole decimal argument within [lo, hi].
bool parseInt(const std::string& s, long lo, long hi, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

int runMatch(const std::vector<std::string>& args) {
    int level = 1;
    bool ignoreCase = false, verbose = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--level") {
            if (i + 1 >= args.size() || !parseInt(args[++i], -1, 3, level))
                return usageError("match: --level needs a number from -1 to 3");
        } else if (a == "--ignore-case" || a == "-i") {
            ignoreCase = true;
        } else if (a == "--verbose" || a == "-v") {
            verbose = true;
        } else if (a == "--") {
            words.insert(words.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("match: unknown option '" + a + "'");
        } else {
            words.push_back(a);
        }
    }
    if (words.size() < 2) return usageError("match: needs a PATTERN and at least one TEXT");
    bool all = true;
    for (std::size_t k = 1; k < words.size(); ++k) {
        const int r = tqString_matchWithWildcards(words[0].c_str(), words[k].c_str(), level, ignoreCase ? 0 : 1);
        if (verbose) std::printf("%d\t%s\n", r, words[k].c_str());
        all = all && r == 1;
    }
    return all ? 0 : 1;
}

// orvane list size|entry|member: the list functions on a list given as an argument.
int runList(const std::vector<std::string>& args) {
    std::string sep = ",", trim = " \t";
    std::optional<std::string> quote;
    bool ignoreCase = false;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = unescape(args[++i]);
            return true;
        };
        bool ok = true;
        if (a == "--sep") {
            ok = value(sep);
        } else if (a == "--trim") {
            ok = value(trim);
        } else if (a == "--quote") {
            std::string q;
            ok = value(q);
            quote = q;
        } else if (a == "--ignore-case" || a == "-i") {
            ignoreCase = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("list: unknown option '" + a + "'");
        } else {
            words.push_back(a);
        }
        if (!ok) return usageError("list: option '" + a + "' needs a value");
    }
    const char* q = quote ? quote->c_str() : nullptr;
    const std::string verb = words.empty() ? "" : words[0];
    if (verb == "size" && words.size() == 2) {
        std::printf("%d\n", tqString_listGetSize(words[1].c_str(), sep.c_str(), q));
        return 0;
    }
    if (verb == "entry" && words.size() == 3) {
        int index = 0;
        if (!parseInt(words[1], 0, 1 << 30, index)) return usageError("list entry: N must be a number from 0");
        const char* at = tqString_listGetEntryA(words[2].c_str(), sep.c_str(), q, index);
        if (!at) return 1;
        std::vector<char> entry(std::strlen(at) + 1);
        tqString_getTokenExtA(entry.data(), at, trim.c_str(), trim.c_str(), nullptr, sep.c_str(), nullptr, q);
        std::printf("%s\n", entry.data());
        return 0;
    }
    if (verb == "member" && words.size() == 3) {
        return tqString_listIsMemberExt(words[2].c_str(), words[1].c_str(), sep.c_str(), trim.c_str(), q,
                                        ignoreCase ? 1 : 0) ? 0 : 1;
    }
    return usageError("list: use 'list size LIST', 'list entry N LIST' or 'list member ITEM LIST'");
}

const Command kCommands[] = {
    {"tokens", "[--sep SET] [--skip SET] [--trim SET] [--strip] [--ignore SET] [--stop SET] [--quote SET] [--max N] [TEXT|-]",
     "split TEXT (or standard input) into tokens, one per line; a stopper is printed as a token of its own",
     runTokens,
     "--sep SET\tcharacters that end a token (default ',')\n"
     "--skip SET\tcharacters skipped before a token\n"
     "--trim SET\tcharacters trimmed from the end of a token\n"
     "--strip\tskip and trim blanks, tabs and line ends\n"
     "--ignore SET\tcharacters left out of the tokens\n"
     "--stop SET\tcharacters that end a token and are a token of their own\n"
     "--quote SET\tquote characters: separators between a pair of them stay in the token\n"
     "--max N\tlongest token in characters; a longer one is cut (0: no limit)\n"
     "SET\ta set of characters; \\t, \\n, \\r, \\s (blank) and \\\\ stand for themselves' escapes\n",
     "orvane tokens --strip --sep ';' 'alpha; beta ;gamma'"},
    {"match", "PATTERN TEXT... [--level N] [--ignore-case] [--verbose]",
     "exit 0 when every TEXT matches the wildcard PATTERN (level 1 unless given; -v prints 1/0 per text)",
     runMatch,
     "--level N\twildcard level from -1 to 3 (default 1)\n"
     "-i, --ignore-case\tletters match regardless of case\n"
     "-v, --verbose\tprint 1 or 0 and the text for each TEXT\n"
     "--\tevery later argument is a TEXT, even one starting with '-'\n",
     "orvane match -v '*.dgn' plan.dgn notes.txt"},
    {"list", "size LIST | entry N LIST | member ITEM LIST [--sep SET] [--trim SET] [--quote SET] [--ignore-case]",
     "entry count, entry N (from 0, trimmed) or membership (exit 0/1) of a separator-delimited list",
     runList,
     "--sep SET\tseparator characters (default ',')\n"
     "--trim SET\tcharacters trimmed around an entry (default blank and tab)\n"
     "--quote SET\tquote characters: separators between a pair of them belong to the entry\n"
     "-i, --ignore-case\tmember compares regardless of case\n",
     "orvane list entry 1 'red, green, blue'\n"
     "orvane list member -i GREEN 'red, green, blue' && echo found"},
};

}  // namespace

std::span<const Command> stringCommands() { return kCommands; }

}  // namespace cli
