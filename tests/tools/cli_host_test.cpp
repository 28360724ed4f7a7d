#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

struct IniFile {
    IniFile() {
        char name[] = "/tmp/orvane-cli-ini-XXXXXX";
        dir = ::mkdtemp(name) ? name : "";
        path = dir + "/a.ini";
        std::ofstream(path, std::ios::binary) << "[Main]\r\nName = \"Plot One\"\r\nScale=2\r\n[Other]\r\nx=1\r\n";
    }
    ~IniFile() { std::filesystem::remove_all(dir); }
    std::string text() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::string dir, path;
};

}  // namespace

TEST(CliIni, GetSetAndList) {
    IniFile ini;
    EXPECT_EQ(run(cli() + " ini get " + ini.path + " main name").out, "Plot One\n");
    auto missing = run(cli() + " ini get " + ini.path + " main none");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(run(cli() + " ini get " + ini.path + " main none 'the default'").out, "the default\n");
    EXPECT_EQ(run(cli() + " ini list " + ini.path).out, "Main\nOther\n");
    EXPECT_EQ(run(cli() + " ini list " + ini.path + " MAIN").out, "Name\nScale\n");

    EXPECT_EQ(run(cli() + " ini set " + ini.path + " Main Scale 10").status, 0);
    EXPECT_EQ(run(cli() + " ini set " + ini.path + " New key 'a value'").status, 0);
    EXPECT_EQ(ini.text(), "[Main]\r\nName = \"Plot One\"\r\nScale=10\r\n[Other]\r\nx=1\r\n\r\n[New]\r\nkey=a value\r\n");
    EXPECT_EQ(run(cli() + " ini set " + ini.dir + "/no/dir.ini s k v 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " ini set " + ini.path + " s k 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " ini frob 2>/dev/null").status, 2);

    // Values longer than the first buffer come out whole.
    const std::string big(10000, 'v');
    EXPECT_EQ(run(cli() + " ini set " + ini.path + " Big k " + big).status, 0);
    EXPECT_EQ(run(cli() + " ini get " + ini.path + " big K").out, big + "\n");
}

TEST(CliUsers, ListsTheOrdinaryAccounts) {
    auto plain = run(cli() + " users");
    EXPECT_EQ(plain.status, 0);
    auto full = run(cli() + " users --full-names");
    EXPECT_EQ(full.status, 0);
    // One line per account in both forms; the full form adds a tab and the full name.
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), std::count(full.out.begin(), full.out.end(), '\n'));
    EXPECT_EQ(std::count(full.out.begin(), full.out.end(), '\t'), std::count(full.out.begin(), full.out.end(), '\n'));
    EXPECT_EQ(run(cli() + " users --bogus 2>/dev/null").status, 2);
}

TEST(CliQuotePath, WholeAndPerComponent) {
    EXPECT_EQ(run(cli() + " quote-path 'C:\\Program Files\\My App\\run.exe'").out,
              "\"C:\\Program Files\\My App\\run.exe\"\n");
    EXPECT_EQ(run(cli() + " quote-path --per-component 'C:\\Program Files\\My App\\run.exe'").out,
              "C:\\\"Program Files\"\\\"My App\"\\run.exe\n");
    EXPECT_EQ(run(cli() + " quote-path /usr/bin").out, "/usr/bin\n");
    EXPECT_EQ(run(cli() + " quote-path 2>/dev/null").status, 2);
}
