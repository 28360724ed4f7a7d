#include <gtest/gtest.h>

#include <string>

#include "platform/sample_files.hpp"
#include "run_tool.hpp"

using namespace testtools;

namespace {

// The LibreOffice documents beside the platform tests, quoted for the shell.
std::string data(const std::string& name) {
    const std::string here = __FILE__;
    return "'" + here.substr(0, here.rfind("/tools/")) + "/platform/data/" + name + "'";
}
std::string props(const std::string& args) { return "TZ=UTC " + cli() + " props " + args; }

}  // namespace

TEST(CliProps, NamedValuesListingAndDiagnostics) {
    const std::string doc = data("props-basic.doc");
    auto r = run(props(doc + " Title Created Sheet Approved"));
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("Bridge deck, level 3\n14:5:9:0 3/11/2008\n42.500000\nTRUE\n", r.out);
    r = run(props(doc + " Title 'No such'"));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("Bridge deck, level 3\n\n", r.out);
    EXPECT_EQ(2, run(cli() + " props 2>/dev/null").status);
    // Without names: every property of the three sets the file carries, no absent table name.
    r = run(props(doc));
    EXPECT_EQ(0, r.status);
    for (const char* line : {"Title\tBridge deck, level 3\n", "Edit Time\t1:2:3:0 1/1/1601\n", "Revision Number\t7\n",
                             "Project\tNorth Bridge\n", "Rejected\tFALSE\n", "title\tlower-case user title\n"})
        EXPECT_NE(std::string::npos, r.out.find(line)) << line;
    EXPECT_EQ(std::string::npos, r.out.find("Template"));
    EXPECT_EQ(0u, r.out.find("Title\t"));
    // Files that cannot be read: the library's diagnostic ends the line.
    testcfb::TempDir dir;
    for (const auto& [args, out] : {std::pair{"'" + dir.file("missing.dgn") + "' Title", "File not found.\n"},
                                    {data("props-basic.fodt"), "Not a compound file.\n"}}) {
        r = run(props(args));
        EXPECT_EQ(1, r.status) << args;
        EXPECT_EQ(out, r.out) << args;
    }
}

TEST(CliIsDgn, ExitStatusTellsWhetherAllAreDesignFiles) {
    testcfb::TempDir dir;
    const std::string dgn = dir.file("a.dgn");
    testcfb::writeFile(dgn, testcfb::designFile(4, 100));
    auto r = run(cli() + " isdgn '" + dgn + "'");
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(dgn + ": V8 design file\n", r.out);
    r = run(cli() + " isdgn '" + dgn + "' " + data("props-basic.doc"));
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.out.find("props-basic.doc: not a V8 design file\n"));
    EXPECT_EQ(2, run(cli() + " isdgn 2>/dev/null").status);
}
