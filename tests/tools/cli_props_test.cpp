#include <gtest/gtest.h>

#include <string>

#include "platform/sample_files.hpp"
#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

// The LibreOffice documents beside the platform tests.
std::string data(const std::string& name) {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("/tools/")) + "/platform/data/" + name;
}

std::string props(const std::string& args) { return "TZ=UTC " + cli() + " props " + args; }

}  // namespace

TEST(CliProps, NamedValuesAndTheirStatus) {
    const std::string doc = "'" + data("props-basic.doc") + "'";
    auto r = run(props(doc + " Title Created Sheet Approved"));
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("Bridge deck, level 3\n14:5:9:0 3/11/2008\n42.500000\nTRUE\n", r.out);
    r = run(props(doc + " Title 'No such'"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Bridge deck, level 3\n\n", r.out);
    EXPECT_EQ(2, run(cli() + " props 2>/dev/null").status);
}

TEST(CliProps, ListingShowsEveryPropertyOfTheThreeSets) {
    auto r = run(props("'" + data("props-basic.doc") + "'"));
    EXPECT_EQ(0, r.status);
    for (const char* line : {"Title\tBridge deck, level 3\n", "Edit Time\t1:2:3:0 1/1/1601\n",
                             "Revision Number\t7\n", "Project\tNorth Bridge\n", "Rejected\tFALSE\n",
                             "title\tlower-case user title\n"})
        EXPECT_NE(std::string::npos, r.out.find(line)) << line;
    // Only what the file carries: no row for an absent table name.
    EXPECT_EQ(std::string::npos, r.out.find("Template"));
    EXPECT_EQ(0u, r.out.find("Title\t"));
}

TEST(CliProps, DiagnosticsOfFilesThatCannotBeRead) {
    testcfb::TempDir dir;
    auto r = run(props("'" + dir.file("missing.dgn") + "' Title"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("File not found.\n", r.out);
    r = run(props("'" + data("props-basic.fodt") + "'"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Not a compound file.\n", r.out);
}

TEST(CliIsDgn, ExitStatusTellsWhetherAllAreDesignFiles) {
    testcfb::TempDir dir;
    const std::string dgn = dir.file("a.dgn");
    testcfb::writeFile(dgn, testcfb::designFile(4, 100));
    const std::string doc = "'" + data("props-basic.doc") + "'";
    auto r = run(cli() + " isdgn '" + dgn + "'");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(dgn + ": V8 design file\n", r.out);
    r = run(cli() + " isdgn '" + dgn + "' " + doc);
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.out.find("props-basic.doc: not a V8 design file\n"));
    EXPECT_EQ(2, run(cli() + " isdgn 2>/dev/null").status);
}
