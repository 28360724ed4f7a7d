// The user accounts of this machine from the system user database (getpwent, so NSS
// sources such as LDAP take part), and who is logged on.
#pragma once

#include <string>
#include <vector>

namespace orvane::platform {

struct Account {
    std::string name;
    std::string fullName;  // first comma field of GECOS; may be empty
};

// Where the accounts come from. The defaults are the system's; tests give files.
struct AccountSource {
    const char* passwdFile = nullptr;            // NULL: the system database (getpwent)
    const char* loginDefs = "/etc/login.defs";   // UID_MIN / UID_MAX
};

struct UidRange {
    unsigned long min = 1000;
    unsigned long max = 60000;
};

// UID_MIN and UID_MAX of a login.defs file; each keeps its default when absent or unreadable.
UidRange readUidRange(const char* loginDefs);

// The ordinary accounts (UID within the range) in database order. 0, or errno when the
// database could not be read (the accounts read so far stay in `out`).
int ordinaryAccounts(const AccountSource& source, std::vector<Account>& out);

// Any account by login name. 0 found; ENOENT not there; another errno on failure.
int findAccount(const AccountSource& source, const char* name, Account& out);

// The login name of this process (getlogin_r, else the user of the effective UID).
// False when neither is known.
bool loggedOnUser(std::string& name);

std::string fullNameFromGecos(const char* gecos);

// True for the names that mean this machine: NULL, "", "localhost" and the host name,
// each with or without leading "\\" (case ignored).
bool isThisComputer(const char* server);

}  // namespace orvane::platform
