// The user accounts of this machine, as lists of login and full names, and the full name
// of one user. Accounts come from the system user database; only this machine can be
// asked.
#include "host/domain_users.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame/boundary.hpp"
#include "orvane.h"

namespace orvane::domain {

namespace {

char* heapCopy(const std::string& text) noexcept {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

void putName(char* dest, const std::string& text) noexcept {
    const std::size_t n = std::min(text.size(), kNameLimit);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

}  // namespace

int getAllUsers(const platform::AccountSource& source, const char* server, char*** userNames, char*** fullNames,
                int* count) noexcept {
    if (userNames) *userNames = nullptr;
    if (fullNames) *fullNames = nullptr;
    if (count) *count = 0;
    return guarded(kNotEnoughMemory, [&] {
        if (!platform::isThisComputer(server)) return kBadNetPath;
        std::vector<platform::Account> accounts;
        int status = platform::ordinaryAccounts(source, accounts);
        if (accounts.size() > static_cast<std::size_t>(INT_MAX)) accounts.resize(INT_MAX);
        const std::size_t n = accounts.size();
        if (n == 0) return status;
        // One block of entry pointers per list, each entry a block of its own. When the
        // heap runs out, both lists end at the same entry and count says where.
        char** names = userNames ? static_cast<char**>(std::calloc(n, sizeof(char*))) : nullptr;
        char** fulls = fullNames ? static_cast<char**>(std::calloc(n, sizeof(char*))) : nullptr;
        if ((userNames && !names) || (fullNames && !fulls)) {
            std::free(names);
            std::free(fulls);
            return kNotEnoughMemory;
        }
        std::size_t done = 0;
        for (; done < n; ++done) {
            if (fulls && !(fulls[done] = heapCopy(accounts[done].fullName))) break;
            if (names && !(names[done] = heapCopy(accounts[done].name))) {
                if (fulls) {
                    std::free(fulls[done]);
                    fulls[done] = nullptr;
                }
                break;
            }
        }
        if (done < n) status = kNotEnoughMemory;
        if (done == 0) {
            std::free(names);
            std::free(fulls);
            names = fulls = nullptr;
        }
        if (userNames) *userNames = names;
        if (fullNames) *fullNames = fulls;
        if (count) *count = static_cast<int>(done);
        return status;
    });
}

void freeAllUsers(char** userNames, char** fullNames, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        if (userNames && userNames[i]) {
            std::free(userNames[i]);
            userNames[i] = nullptr;
        }
        if (fullNames && fullNames[i]) {
            std::free(fullNames[i]);
            fullNames[i] = nullptr;
        }
    }
    std::free(userNames);
    std::free(fullNames);
}

int getUserFullName(const platform::AccountSource& source, const char* server, char* fullName,
                    const char* userName) noexcept {
    if (!fullName) return 0;
    return guarded(kNotEnoughMemory, [&] {
        std::string name;
        if (userName) {
            name = userName;
        } else {
            // Nobody to look up when the logged-on user cannot be told: that user is not found.
            if (!platform::loggedOnUser(name)) return kUserNotFound;
            putName(fullName, name);  // stays when the account has no full name
        }
        if (!platform::isThisComputer(server)) return kBadNetPath;
        platform::Account account;
        const int rc = platform::findAccount(source, name.c_str(), account);
        if (rc == ENOENT) return kUserNotFound;
        if (rc != 0) return rc;
        if (!account.fullName.empty()) putName(fullName, account.fullName);
        return 0;
    });
}

}  // namespace orvane::domain

using namespace orvane;

extern "C" {

TQ_API int oxDomain_getAllUsers(const char* server, char*** userNames, char*** fullNames, int* count) noexcept {
    return domain::getAllUsers(platform::AccountSource{}, server, userNames, fullNames, count);
}

TQ_API void oxDomain_freeAllUsers(char** userNames, char** fullNames, int count) noexcept {
    domain::freeAllUsers(userNames, fullNames, count);
}

TQ_API int oxDomain_getUserFullName(const char* server, char* fullName, const char* userName) noexcept {
    return domain::getUserFullName(platform::AccountSource{}, server, fullName, userName);
}

}  // extern "C"
