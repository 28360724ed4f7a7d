#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_tool.hpp"

#define ORVANE_PLUGIND ORVANE_TOOLS_BIN_DIR "/orvane-plugind"
#include "pluginclient/servers.hpp"

using testtools::cli;
using testtools::run;

TEST(CliPlugin, SendGetAndFailures) {
    char tmpl[] = "/tmp/orvane-cliplug-XXXXXX";
    const struct Scratch {
        std::string dir;
        ~Scratch() { std::filesystem::remove_all(dir); }
    } scratch{::mkdtemp(tmpl)};
    plugtest::Daemon daemon(scratch.dir);
    const std::string at = " 127.0.0.1 " + daemon.port() + " ";
    const std::string file = scratch.dir + "/in.txt";
    std::ofstream(file) << "file content\n";

    EXPECT_EQ(run(cli() + " plugin send" + at + "echo2 --text 'hi ' " + file).out, "hi file content\n");
    EXPECT_EQ(run("printf abc | " + cli() + " plugin send" + at + "sum -").out,
              "352441c2 a9993e364706816aba3e25717850c26c9cd0d89d 3\n");

    auto stored = run(cli() + " plugin send" + at + "store " + file);
    ASSERT_EQ(stored.status, 0);
    ASSERT_FALSE(stored.out.empty());
    const std::string name = stored.out.substr(0, stored.out.size() - 1);
    const std::string back = scratch.dir + "/back.txt";
    EXPECT_EQ(run(cli() + " plugin get" + at + "fetch " + back + " --text " + name).status, 0);
    std::ifstream in(back);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "file content\n");

    EXPECT_EQ(run(cli() + " plugin get" + at + "fetch " + back + " --text no-such-file 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " plugin send" + at + "nope 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " plugin send 127.0.0.1 0 echo 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " plugin send 127.0.0.1 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " plugin bogus 2>/dev/null").status, 2);
}
