#include "platform/accounts.hpp"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/folders.hpp"

namespace orvane::platform {

namespace {

// Scratch for the reentrant passwd calls; an entry that does not fit is retried larger.
constexpr std::size_t kEntryBuffer = 16384;
constexpr std::size_t kEntryBufferLimit = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

bool ordinary(const passwd& pw, const UidRange& range) {
    return pw.pw_uid >= range.min && pw.pw_uid <= range.max;
}

Account accountOf(const passwd& pw) { return Account{pw.pw_name ? pw.pw_name : "", fullNameFromGecos(pw.pw_gecos)}; }

// Calls `visit` for every entry of the source, in order, until it returns false.
template <class Visit>
int forEachEntry(const AccountSource& source, Visit&& visit) {
    std::vector<char> buf(kEntryBuffer);
    passwd pw{};
    passwd* got = nullptr;
    if (source.passwdFile) {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(source.passwdFile, "re"));
        if (!file) return errno;
        for (;;) {
            const int rc = ::fgetpwent_r(file.get(), &pw, buf.data(), buf.size(), &got);
            if (rc == ENOENT) return 0;
            if (rc == ERANGE && buf.size() < kEntryBufferLimit) {
                buf.resize(buf.size() * 2);  // the entry is read again from the same place
                continue;
            }
            if (rc != 0) return rc;
            if (!visit(pw)) return 0;
        }
    }
    ::setpwent();
    int result = 0;
    for (;;) {
        const int rc = ::getpwent_r(&pw, buf.data(), buf.size(), &got);
        if (rc == ENOENT) break;
        if (rc == ERANGE && buf.size() < kEntryBufferLimit) {
            buf.resize(buf.size() * 2);
            continue;
        }
        if (rc != 0) {
            result = rc;
            break;
        }
        if (!visit(pw)) break;
    }
    ::endpwent();
    return result;
}

bool parseNumber(const char* text, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 0);  // login.defs allows 0x.. and 0..
    if (errno || end == text || *text == '-') return false;
    out = v;
    return true;
}

}  // namespace

UidRange readUidRange(const char* loginDefs) {
    UidRange range;
    if (!loginDefs) return range;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(loginDefs, "re"));
    if (!file) return range;
    char line[1024];
    while (std::fgets(line, sizeof line, file.get())) {
        char name[64];
        char value[64];
        if (std::sscanf(line, " %63s %63s", name, value) != 2 || name[0] == '#') continue;
        if (std::strcmp(name, "UID_MIN") == 0) parseNumber(value, range.min);
        if (std::strcmp(name, "UID_MAX") == 0) parseNumber(value, range.max);
    }
    return range;
}

int ordinaryAccounts(const AccountSource& source, std::vector<Account>& out) {
    const UidRange range = readUidRange(source.loginDefs);
    return forEachEntry(source, [&](const passwd& pw) {
        if (ordinary(pw, range)) out.push_back(accountOf(pw));
        return true;
    });
}

int findAccount(const AccountSource& source, const char* name, Account& out) {
    if (!name) return ENOENT;
    if (source.passwdFile) {
        bool found = false;
        const int rc = forEachEntry(source, [&](const passwd& pw) {
            if (pw.pw_name && std::strcmp(pw.pw_name, name) == 0) {
                out = accountOf(pw);
                found = true;
            }
            return !found;
        });
        return found ? 0 : rc ? rc : ENOENT;
    }
    std::vector<char> buf(kEntryBuffer);
    passwd pw{};
    passwd* got = nullptr;
    for (;;) {
        const int rc = ::getpwnam_r(name, &pw, buf.data(), buf.size(), &got);
        if (rc == ERANGE && buf.size() < kEntryBufferLimit) {
            buf.resize(buf.size() * 2);
            continue;
        }
        if (rc != 0) return rc;
        if (!got) return ENOENT;
        out = accountOf(pw);
        return 0;
    }
}

bool loggedOnUser(std::string& name) {
    char login[256] = {};
    if (::getlogin_r(login, sizeof login) == 0 && login[0]) {
        name = login;
        return true;
    }
    std::vector<char> buf(kEntryBuffer);
    passwd pw{};
    passwd* got = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &got) != 0 || !got || !pw.pw_name) return false;
    name = pw.pw_name;
    return !name.empty();
}

std::string fullNameFromGecos(const char* gecos) {
    if (!gecos) return {};
    return std::string(gecos, std::strcspn(gecos, ","));
}

bool isThisComputer(const char* server) {
    if (!server) return true;
    if (server[0] == '\\' && server[1] == '\\') server += 2;
    if (!*server || ::strcasecmp(server, "localhost") == 0) return true;
    std::string host;
    if (hostName(host) != 0) return false;
    char full[256] = {};
    if (::strcasecmp(server, host.c_str()) == 0) return true;
    // The full host name too, where the system knows one with its domain.
    return ::gethostname(full, sizeof full - 1) == 0 && ::strcasecmp(server, full) == 0;
}

}  // namespace orvane::platform
