// Every command explains itself: `orvane NAME --help` (and -h, and `orvane help NAME`)
// answers with its usage, options and an example, exit 0. The manual pages are made of
// this text, so a command without it would leave a hole there too.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

// Command names from the overview: lines indented by exactly two blanks.
std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    std::istringstream in(run(cli() + " --help").out);
    std::string line;
    while (std::getline(in, line))
        if (line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ')
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

void expectFullHelp(const std::string& text, const std::string& usage, const std::string& exampleWord) {
    EXPECT_EQ(text.rfind("usage: " + usage, 0), 0u) << text;
    EXPECT_NE(text.find("\nOptions:\n  "), std::string::npos) << text;
    const auto example = text.find("\nExample:\n  ");
    ASSERT_NE(example, std::string::npos) << text;
    EXPECT_NE(text.find(exampleWord, example), std::string::npos) << text;
}

}  // namespace

TEST(CliHelp, EveryCommandAnswersHelpWithUsageOptionsAndExample) {
    const auto names = commandNames();
    ASSERT_GE(names.size(), 17u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        for (const char* form : {" --help", " -h"}) {
            const auto o = run(cli() + " " + name + form + " 2>&1");
            EXPECT_EQ(o.status, 0) << o.out;
            expectFullHelp(o.out, "orvane " + name + " ", "orvane " + name + " ");
        }
        EXPECT_EQ(run(cli() + " help " + name).out, run(cli() + " " + name + " --help").out);
    }
    EXPECT_EQ(run(cli() + " help no-such-command 2>/dev/null").status, 2);
}

TEST(CliHelp, PluginServerAnswersHelpAndVersion) {
    const std::string server = std::string(ORVANE_TOOLS_BIN_DIR) + "/orvane-plugind";
    const auto o = run(server + " --help 2>&1");
    EXPECT_EQ(o.status, 0);
    expectFullHelp(o.out, "orvane-plugind ", "orvane-plugind ");
    EXPECT_EQ(run(server + " --version").out.rfind("orvane-plugind ", 0), 0u);
    EXPECT_EQ(run(server + " --bogus 2>/dev/null").status, 2);
}
