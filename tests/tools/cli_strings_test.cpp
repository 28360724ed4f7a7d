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

TEST(CliMatch, ExitStatusLevelsAndCase) {
    EXPECT_EQ(run(cli() + " match '*.txt' a.txt b.txt").status, 0);
    EXPECT_EQ(run(cli() + " match '*.txt' a.txt b.doc").status, 1);
    EXPECT_EQ(run(cli() + " match '*.txt' A.TXT").status, 1);
    EXPECT_EQ(run(cli() + " match --ignore-case '*.txt' A.TXT").status, 0);
    EXPECT_EQ(run(cli() + " match '[a-c]x' bx").status, 1);  // level 1: "[" is a plain character
    EXPECT_EQ(run(cli() + " match --level 3 '[red,green]!' 'green!'").status, 0);
    EXPECT_EQ(run(cli() + " match -v 'a?' a1 a-").out, "1\ta1\n0\ta-\n");
    EXPECT_EQ(run(cli() + " match '*' 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " match --level 9 a a 2>/dev/null").status, 2);
}

TEST(CliList, SizeEntryAndMember) {
    EXPECT_EQ(run(cli() + " list size 'a, b, c'").out, "3\n");
    EXPECT_EQ(run(cli() + " list size --sep ';' --quote \"'\" \"'a;b';c\"").out, "2\n");
    EXPECT_EQ(run(cli() + " list entry 1 'red, green , blue'").out, "green\n");
    EXPECT_EQ(run(cli() + " list entry 5 'red, green'").status, 1);
    EXPECT_EQ(run(cli() + " list member green 'red, Green'").status, 1);
    EXPECT_EQ(run(cli() + " list member -i green 'red, Green'").status, 0);
    EXPECT_EQ(run(cli() + " list bogus 2>/dev/null").status, 2);
}
