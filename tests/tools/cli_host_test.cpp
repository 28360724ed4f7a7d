#include <regex>

#include "host/temp_dir.hpp"
#include "run_tool.hpp"

namespace {

// The tool run with `args`, its standard error dropped.
testtools::Outcome orvane(const std::string& args) {
    return testtools::run(testtools::cli() + " " + args + " 2>/dev/null");
}

}  // namespace

TEST(CliIni, GetSetAndList) {
    hosttest::TempDir tmp;
    const std::string ini = tmp.put("a.ini", "[Main]\r\nName = \"Plot One\"\r\nScale=2\r\n[Other]\r\nx=1\r\n") + " ";
    EXPECT_EQ(orvane("ini get " + ini + "main name").out, "Plot One\n");
    const auto missing = orvane("ini get " + ini + "main none");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(orvane("ini get " + ini + "main none 'the default'").out, "the default\n");
    EXPECT_EQ(orvane("ini list " + ini).out, "Main\nOther\n");
    EXPECT_EQ(orvane("ini list " + ini + "MAIN").out, "Name\nScale\n");

    EXPECT_EQ(orvane("ini set " + ini + "Main Scale 10").status, 0);
    EXPECT_EQ(orvane("ini set " + ini + "New key 'a value'").status, 0);
    EXPECT_EQ(hosttest::readFile(tmp / "a.ini"),
              "[Main]\r\nName = \"Plot One\"\r\nScale=10\r\n[Other]\r\nx=1\r\n\r\n[New]\r\nkey=a value\r\n");
    EXPECT_EQ(orvane("ini set " + tmp.path + "/no/dir.ini s k v").status, 1);
    // Values longer than the first buffer come out whole.
    const std::string big(10000, 'v');
    EXPECT_EQ(orvane("ini set " + ini + "Big k " + big).status, 0);
    EXPECT_EQ(orvane("ini get " + ini + "big K").out, big + "\n");
}

TEST(CliHost, UsersQuotePathAndUsageErrors) {
    // One line per account in both forms; the full form adds a tab and the full name.
    const auto plain = orvane("users"), full = orvane("users --full-names");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(full.status, 0);
    EXPECT_EQ(std::regex_replace(full.out, std::regex("\t[^\n]*"), ""), plain.out);
    EXPECT_EQ(std::count(full.out.begin(), full.out.end(), '\t'), std::count(full.out.begin(), full.out.end(), '\n'));

    const std::string app = "'C:\\Program Files\\My App\\run.exe'";
    EXPECT_EQ(orvane("quote-path " + app).out, "\"C:\\Program Files\\My App\\run.exe\"\n");
    EXPECT_EQ(orvane("quote-path --per-component " + app).out, "C:\\\"Program Files\"\\\"My App\"\\run.exe\n");
    EXPECT_EQ(orvane("quote-path /usr/bin").out, "/usr/bin\n");
    for (const char* args : {"ini frob", "ini set a.ini s k", "users --bogus", "quote-path"})
        EXPECT_EQ(orvane(args).status, 2) << args;
}
