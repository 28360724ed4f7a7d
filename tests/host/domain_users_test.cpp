#include <pwd.h>

#include "host/domain_users.hpp"
#include "orvane.h"
#include "temp_dir.hpp"

namespace domain = orvane::domain;
using Lines = std::vector<std::string>;

namespace {

class Users : public ::testing::Test {
protected:
    void SetUp() override {
        tmp.put("passwd", "root:x:0:0:root:/root:/bin/bash\ncarol:x:60000:60000:Carol:/home/carol:/bin/sh\n"
                          "svc:x:999:999:Service:/:/usr/sbin/nologin\n"
                          "alice:x:1000:1000:Alice Smith,Room 1,555:/home/alice:/bin/bash\n"
                          "nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n"
                          "bob:x:1001:1001::/home/bob:/bin/sh\n");
        tmp.put("login.defs", "# UID_MIN 5\nUID_MIN 0\nUID_MAX\t0x3E7\n");
        source.passwdFile = passwd.c_str();
        source.loginDefs = "/nonexistent/login.defs";  // defaults 1000..60000
    }
    // The status, then the accounts as "name:full name" ("name" without full names), or
    // "NULL" when there are none and both lists are NULL.
    Lines list(const char* server, bool full = true) {
        char **names = reinterpret_cast<char**>(1), **fulls = full ? names : nullptr;
        int count = 5;
        const int status = domain::getAllUsers(source, server, &names, full ? &fulls : nullptr, &count);
        Lines out{"status " + std::to_string(status)};
        for (int i = 0; status == 0 && i < count; ++i)
            out.push_back(names[i] + (full ? std::string(":") + (fulls[i] ? fulls[i] : "(NULL)") : ""));
        if (count == 0 && !names && !fulls) out.push_back("NULL");
        if (status == 0 && count > 0) domain::freeAllUsers(names, fulls, count);
        return out;
    }
    std::string fullName(const char* server, const char* user) {
        char buf[256] = "kept";
        return std::to_string(domain::getUserFullName(source, server, buf, user)) + " " + buf;
    }
    hosttest::TempDir tmp;
    std::string passwd = tmp / "passwd", defs = tmp / "login.defs";
    orvane::platform::AccountSource source;
};

}  // namespace

TEST_F(Users, OrdinaryAccountsOfThisMachineOnlyAndTheirFullNames) {
    EXPECT_EQ(fullName(nullptr, "alice") + "|" + fullName(nullptr, "bob"), "0 Alice Smith|0 kept");  // bob has none
    EXPECT_EQ(fullName(nullptr, "nobody-here") + "|" + fullName("other", "alice"), "2221 kept|53 kept");
    // In file order (not sorted); an account without a full name has "", never NULL.
    EXPECT_EQ(list(nullptr), (Lines{"status 0", "carol:Carol", "alice:Alice Smith", "bob:"}));
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(list(host, false), (Lines{"status 0", "carol", "alice", "bob"}));
    EXPECT_EQ(list("\\\\fileserver"), (Lines{"status 53", "NULL"}));  // refused, and both lists NULL
    source.loginDefs = defs.c_str();  // 0 .. 999: root and the service account
    EXPECT_EQ(list("\\\\localhost", false), (Lines{"status 0", "root", "svc"}));
    int count = -1;
    ASSERT_EQ(domain::getAllUsers(source, "", nullptr, nullptr, &count), 0);  // only counted
    EXPECT_EQ(count, 2);
    source.loginDefs = "/nonexistent";
    tmp.put("passwd", "long:x:1000:1000:" + std::string(300, 'L') + ":/:/bin/sh\n");
    EXPECT_EQ(fullName(nullptr, "long"), "0 " + std::string(domain::kNameLimit, 'L'));
    tmp.put("passwd", "root:x:0:0:root:/root:/bin/bash\n");
    EXPECT_EQ(list(nullptr), (Lines{"status 0", "NULL"}));
}

// The system database through the exports (NULL arguments: see the sweep).
TEST(SystemUsers, TheSystemDatabaseThroughTheExports) {
    char** names = nullptr;
    char** fulls = nullptr;
    int count = -1;
    ASSERT_EQ(oxDomain_getAllUsers(nullptr, &names, &fulls, &count), 0);
    // The same accounts as a plain walk of the database in the login.defs range, each with
    // a full name ("" at least).
    const auto range = orvane::platform::readUidRange("/etc/login.defs");
    Lines expected, got(names, names + count);
    ::setpwent();
    while (passwd* pw = ::getpwent())
        if (pw->pw_uid >= range.min && pw->pw_uid <= range.max) expected.push_back(pw->pw_name);
    ::endpwent();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(std::count(fulls, fulls + count, nullptr), 0);
    oxDomain_freeAllUsers(names, fulls, count);

    char buf[256] = "";
    EXPECT_EQ(oxDomain_getUserFullName(nullptr, buf, nullptr), 0);  // the logged-on user: a login name at least
    EXPECT_STRNE(buf, "");
    std::strcpy(buf, "kept");
    EXPECT_EQ(std::to_string(oxDomain_getUserFullName("localhost", buf, "no-such-user-here")) + " " + buf, "2221 kept");
}
