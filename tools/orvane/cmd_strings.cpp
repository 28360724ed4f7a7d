// orvane subcommands of the string toolkit.
#include <cstdio>
#include <cstdlib>
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

const Command kCommands[] = {
    {"tokens", "[--sep SET] [--skip SET] [--trim SET] [--strip] [--ignore SET] [--stop SET] [--quote SET] [--max N] [TEXT|-]",
     "split TEXT (or standard input) into tokens, one per line; a stopper is printed as a token of its own",
     runTokens},
};

}  // namespace

std::span<const Command> stringCommands() { return kCommands; }

}  // namespace cli
