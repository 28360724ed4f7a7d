#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/domain_users.hpp"
#include "orvane.h"
#include "temp_dir.hpp"

namespace domain = orvane::domain;
using orvane::platform::AccountSource;

namespace {

class Users : public ::testing::Test {
protected:
    void SetUp() override {
        hosttest::writeFile(passwd, "root:x:0:0:root:/root:/bin/bash\n"
                                    "alice:x:1000:1000:Alice Smith,Room 1,555:/home/alice:/bin/bash\n"
                                    "svc:x:999:999:Service:/:/usr/sbin/nologin\n"
                                    "bob:x:1001:1001::/home/bob:/bin/sh\n"
                                    "nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n"
                                    "carol:x:60000:60000:Carol:/home/carol:/bin/sh\n");
        hosttest::writeFile(defs, "# UID_MIN 5\nUID_MIN 0\nUID_MAX\t0x3E7\n");
        source.passwdFile = passwd.c_str();
        source.loginDefs = "/nonexistent/login.defs";  // defaults 1000..60000
    }
    hosttest::TempDir tmp;
    std::string passwd = tmp / "passwd", defs = tmp / "login.defs";
    AccountSource source;
};

}  // namespace

TEST_F(Users, OrdinaryAccountsInOrderWithFullNames) {
    char** names = reinterpret_cast<char**>(1);
    char** fulls = reinterpret_cast<char**>(1);
    int count = -1;
    ASSERT_EQ(domain::getAllUsers(source, nullptr, &names, &fulls, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(names[0], "alice");
    EXPECT_STREQ(fulls[0], "Alice Smith");
    EXPECT_STREQ(names[1], "bob");
    ASSERT_NE(fulls[1], nullptr);
    EXPECT_STREQ(fulls[1], "");  // no full name: an empty text, never NULL
    EXPECT_STREQ(names[2], "carol");
    domain::freeAllUsers(names, fulls, count);

    source.loginDefs = defs.c_str();  // 0 .. 999: root and the service account
    ASSERT_EQ(domain::getAllUsers(source, "\\\\localhost", &names, nullptr, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(names[1], "svc");
    domain::freeAllUsers(names, nullptr, count);
    ASSERT_EQ(domain::getAllUsers(source, "", nullptr, nullptr, &count), 0);  // only counted
    EXPECT_EQ(count, 2);
    source.loginDefs = "/nonexistent";
    hosttest::writeFile(passwd, "root:x:0:0:root:/root:/bin/bash\n");
    names = fulls = reinterpret_cast<char**>(1);
    EXPECT_EQ(domain::getAllUsers(source, nullptr, &names, &fulls, &count), 0);
    EXPECT_EQ(names, nullptr);  // nobody: the lists stay NULL
    EXPECT_EQ(count, 0);
    domain::freeAllUsers(nullptr, nullptr, 0);
}

TEST_F(Users, OtherServersAreRefusedWithEverythingReset) {
    char** names = reinterpret_cast<char**>(1);
    char** fulls = reinterpret_cast<char**>(1);
    int count = 5;
    EXPECT_EQ(domain::getAllUsers(source, "\\\\fileserver", &names, &fulls, &count), domain::kBadNetPath);
    EXPECT_EQ(names, nullptr);
    EXPECT_EQ(fulls, nullptr);
    EXPECT_EQ(count, 0);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(domain::getAllUsers(source, host, nullptr, nullptr, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(domain::getAllUsers(source, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(Users, FullNameLookups) {
    char buf[256] = "kept";
    EXPECT_EQ(domain::getUserFullName(source, nullptr, buf, "alice"), 0);
    EXPECT_STREQ(buf, "Alice Smith");
    std::strcpy(buf, "kept");
    EXPECT_EQ(domain::getUserFullName(source, nullptr, buf, "bob"), 0);  // no full name
    EXPECT_STREQ(buf, "kept");
    EXPECT_EQ(domain::getUserFullName(source, nullptr, buf, "nobody-here"), domain::kUserNotFound);
    EXPECT_STREQ(buf, "kept");
    EXPECT_EQ(domain::getUserFullName(source, "other", buf, "alice"), domain::kBadNetPath);
    EXPECT_STREQ(buf, "kept");
    EXPECT_EQ(domain::getUserFullName(source, nullptr, nullptr, "alice"), 0);
    hosttest::writeFile(passwd, "long:x:1000:1000:" + std::string(300, 'L') + ":/:/bin/sh\n");
    EXPECT_EQ(domain::getUserFullName(source, nullptr, buf, "long"), 0);
    EXPECT_EQ(std::strlen(buf), domain::kNameLimit);
}

TEST(SystemUsers, TheSystemDatabaseThroughTheExports) {
    char** names = nullptr;
    char** fulls = nullptr;
    int count = -1;
    ASSERT_EQ(oxDomain_getAllUsers(nullptr, &names, &fulls, &count), 0);
    // The same accounts as a plain walk of the database in the login.defs range.
    const auto range = orvane::platform::readUidRange("/etc/login.defs");
    std::vector<std::string> expected;
    ::setpwent();
    while (passwd* pw = ::getpwent())
        if (pw->pw_uid >= range.min && pw->pw_uid <= range.max) expected.push_back(pw->pw_name);
    ::endpwent();
    ASSERT_EQ(count, static_cast<int>(expected.size()));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(names[i], expected[static_cast<std::size_t>(i)]);
        EXPECT_NE(fulls[i], nullptr);
    }
    oxDomain_freeAllUsers(names, fulls, count);
    EXPECT_EQ(oxDomain_getAllUsers("elsewhere", &names, &fulls, &count), 53);

    // The logged-on user: a login name at least, and a real lookup.
    char buf[256] = "";
    EXPECT_EQ(oxDomain_getUserFullName(nullptr, buf, nullptr), 0);
    EXPECT_STRNE(buf, "");
    std::strcpy(buf, "kept");
    EXPECT_EQ(oxDomain_getUserFullName("localhost", buf, "no-such-user-here"), 2221);
    EXPECT_STREQ(buf, "kept");
    EXPECT_EQ(oxDomain_getUserFullName(nullptr, nullptr, nullptr), 0);
}
