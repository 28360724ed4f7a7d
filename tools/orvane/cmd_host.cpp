// orvane subcommands of the host family: profile (INI) files, the machine's user
// accounts and path quoting.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

// Values and lists are asked for with a growing buffer until the result shows that
// nothing was cut (a value then leaves room for more, a list more than two characters).
constexpr unsigned kFirstBuffer = 4096;
constexpr unsigned kLargestBuffer = 1u << 30;

// Stands for "no default given": a default cannot be told from a value by the result,
// and no trimmed value of a profile line is a lone unit separator.
const char* const kNoDefault = "\x1f";

bool profileText(const char* section, const char* key, const char* def, const char* file, std::string& out) {
    const bool list = !section || !key;
    for (unsigned size = kFirstBuffer;; size *= 2) {
        std::vector<char> buf(size);
        const int n = oxProfile_getProfileString(section, key, def, buf.data(), size, file);
        const unsigned cut = list ? size - 2 : size - 1;
        if (static_cast<unsigned>(n) < cut || size >= kLargestBuffer) {
            out.assign(buf.data(), static_cast<std::size_t>(n));
            return true;
        }
    }
}

int runIni(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("ini: get, set or list expected");
    const std::string& what = args[0];
    if (what == "get") {
        if (args.size() != 4 && args.size() != 5) return usageError("ini get: FILE SECTION KEY [DEFAULT] expected");
        std::string value;
        const char* def = args.size() == 5 ? args[4].c_str() : kNoDefault;
        profileText(args[2].c_str(), args[3].c_str(), def, args[1].c_str(), value);
        if (args.size() == 4 && value == kNoDefault) return 1;  // no such key
        std::printf("%s\n", value.c_str());
        return 0;
    }
    if (what == "set") {
        if (args.size() != 5) return usageError("ini set: FILE SECTION KEY VALUE expected");
        const int status = oxProfile_writeProfileString(args[2].c_str(), args[3].c_str(), args[4].c_str(),
                                                        args[1].c_str());
        if (status != 0) {
            std::fprintf(stderr, "orvane: ini set: %s: %s\n", args[1].c_str(), std::strerror(status));
            return 1;
        }
        return 0;
    }
    if (what == "list") {
        if (args.size() != 2 && args.size() != 3) return usageError("ini list: FILE [SECTION] expected");
        std::string names;
        profileText(args.size() == 3 ? args[2].c_str() : nullptr, nullptr, "", args[1].c_str(), names);
        for (std::size_t at = 0; at < names.size();) {
            const std::size_t end = names.find('\0', at);
            const std::size_t stop = end == std::string::npos ? names.size() : end;
            std::printf("%.*s\n", static_cast<int>(stop - at), names.c_str() + at);
            at = stop + 1;
        }
        return 0;
    }
    return usageError("ini: unknown action '" + what + "'");
}

int runUsers(const std::vector<std::string>& args) {
    bool fullNames = false;
    for (const std::string& a : args) {
        if (a == "--full-names") fullNames = true;
        else return usageError("users: unknown option '" + a + "'");
    }
    char** names = nullptr;
    char** fulls = nullptr;
    int count = 0;
    const int status = oxDomain_getAllUsers(nullptr, &names, fullNames ? &fulls : nullptr, &count);
    for (int i = 0; i < count; ++i) {
        if (fullNames) std::printf("%s\t%s\n", names[i], fulls[i]);
        else std::printf("%s\n", names[i]);
    }
    oxDomain_freeAllUsers(names, fulls, count);
    if (status != 0) {
        std::fprintf(stderr, "orvane: users: status %d\n", status);
        return 1;
    }
    return 0;
}

int runQuotePath(const std::vector<std::string>& args) {
    int perComponent = 0;
    std::size_t at = 0;
    if (at < args.size() && args[at] == "--per-component") {
        perComponent = 1;
        ++at;
    }
    if (args.size() != at + 1) return usageError("quote-path: [--per-component] PATH expected");
    const std::string& path = args[at];
    if (path.empty()) return usageError("quote-path: empty PATH");
    // Quoting adds at most two quotes per component and a separator for each cut.
    std::vector<char> out(path.size() * 3 + 8);
    tqFile_quotePathA(out.data(), path.c_str(), perComponent);
    std::printf("%s\n", out.data());
    return 0;
}

const Command kCommands[] = {
    {"ini", "get FILE SECTION KEY [DEFAULT] | set FILE SECTION KEY VALUE | list FILE [SECTION]",
     "read or write a profile (INI) file; get without DEFAULT exits 1 for a missing key", runIni,
     "get\tprint KEY's value in SECTION (DEFAULT when missing)\n"
     "set\twrite KEY=VALUE into SECTION, creating the file when needed\n"
     "list\tprint the section names, or the keys of SECTION, one per line\n",
     "orvane ini set site.ini Paths Root /srv/cad\norvane ini get site.ini Paths Root"},
    {"users", "[--full-names]", "the ordinary user accounts of this machine (login name TAB full name)", runUsers,
     "--full-names\tprint each login name's full name after a TAB\n",
     "orvane users --full-names"},
    {"quote-path", "[--per-component] PATH", "PATH in double quotes when it holds a blank", runQuotePath,
     "--per-component\tquote each component that holds a blank instead of the whole path\n",
     "orvane quote-path '/srv/cad/My Plans/site.dgn'"},
};

}  // namespace

std::span<const Command> hostCommands() { return kCommands; }

}  // namespace cli
