#include <gtest/gtest.h>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

TEST(CliBasics, HelpVersionAndUnknownCommand) {
    auto help = run(cli() + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("tokens"), std::string::npos);
    auto version = run(cli() + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("orvane ", 0), 0u);
    EXPECT_EQ(run(cli() + " no-such-command 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " tokens --bogus x 2>/dev/null").status, 2);
}

TEST(CliTokens, ArgumentAndStandardInputGiveTheSameTokens) {
    auto arg = run(cli() + " tokens --strip 'alpha, beta ,gamma'");
    EXPECT_EQ(arg.status, 0);
    EXPECT_EQ(arg.out, "alpha\nbeta\ngamma\n");
    auto in = run("printf 'alpha, beta ,gamma\\n' | " + cli() + " tokens --strip");
    EXPECT_EQ(in.out, arg.out);
}

TEST(CliTokens, QuotesStoppersAndEscapedSets) {
    EXPECT_EQ(run(cli() + " tokens --quote \"'\" \"'x,y',z\"").out, "x,y\nz\n");
    EXPECT_EQ(run(cli() + " tokens --sep '' --stop + 'a+b'").out, "a\n+\nb\n");
    EXPECT_EQ(run(cli() + " tokens --sep '\\t' 'a\tb'").out, "a\nb\n");
}
