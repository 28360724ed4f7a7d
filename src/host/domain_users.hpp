// The user-account functions over a given account source, so that tests can give them
// a passwd file of their own; the exported functions use the system's.
#pragma once

#include "platform/accounts.hpp"

namespace orvane::domain {

// Network-management status numbers that the family answers with.
inline constexpr int kBadNetPath = 53;        // a server other than this machine
inline constexpr int kNotEnoughMemory = 8;
inline constexpr int kUserNotFound = 2221;
// Full names and login names written to the host's buffer are cut to this many bytes.
inline constexpr std::size_t kNameLimit = 255;

int getAllUsers(const platform::AccountSource& source, const char* server, char*** userNames, char*** fullNames,
                int* count) noexcept;
void freeAllUsers(char** userNames, char** fullNames, int count) noexcept;
int getUserFullName(const platform::AccountSource& source, const char* server, char* fullName,
                    const char* userName) noexcept;

}  // namespace orvane::domain
