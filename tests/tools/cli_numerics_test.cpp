#include <gtest/gtest.h>

#include <string>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

// A file of `size` random bytes in the test's temporary directory, quoted for the shell.
std::string makeFile(const std::string& name, long size) {
    std::string path = ::testing::TempDir() + name;
    path = std::string(1, '\'') + path + '\'';
    run("head -c " + std::to_string(size) + " /dev/urandom > " + path);
    return path;
}

std::string firstWord(const std::string& s) { return s.substr(0, s.find(' ')); }

}  // namespace

TEST(CliChecksums, Crc32MatchesGzipTrailerAndSha1MatchesSha1sum) {
    const std::string check = ::testing::TempDir() + "numerics_check.txt";
    run("printf 123456789 > '" + check + "'");
    EXPECT_EQ(run(cli() + " crc32 '" + check + "'").out, "cbf43926  " + check + "\n");
    EXPECT_EQ(run("printf 123456789 | " + cli() + " crc32 -").out, "cbf43926  -\n");
    // Several 1 MiB pieces: gzip keeps the same CRC-32 in its trailer.
    const std::string big = makeFile("numerics_big.bin", 3 * 1048576 + 4321);
    const std::string gz = run("gzip -c " + big + " | tail -c 8 | head -c 4 | od -An -tx4 | tr -d ' \\n'").out;
    EXPECT_EQ(firstWord(run(cli() + " crc32 " + big).out), gz);
    auto missing = run(cli() + " crc32 '" + check + "' /no/such/file 2>/dev/null");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "cbf43926  " + check + "\n");
    EXPECT_EQ(run(cli() + " crc32 2>/dev/null").status, 2);

    for (const std::string& f : {makeFile("numerics_empty.bin", 0), makeFile("numerics_small.bin", 56), big})
        EXPECT_EQ(run(cli() + " sha1 " + f).out, run("sha1sum " + f).out);
    EXPECT_EQ(firstWord(run("cat " + big + " | " + cli() + " sha1 -").out), firstWord(run("sha1sum " + big).out));
    EXPECT_EQ(run(cli() + " sha1 /no/such/file 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " sha1 / 2>/dev/null").status, 1);
}

TEST(CliRanges, IntegerAndDoubleListsComeOutCanonical) {
    EXPECT_EQ(run(cli() + " ranges '7,1-3,2'").out, "1-3,7\n");
    EXPECT_EQ(run(cli() + " ranges --low 2 --high 10 '7, 1-3,2, 30'").out, "2-3,7\n");
    EXPECT_EQ(run(cli() + " ranges --precision 1 '4-4.5, 1-5,2-3, 6,5-1'").out, "1.0-5.0, 6.0\n");
    EXPECT_EQ(run("printf '3, 1.5-2, 1.75\\n' | " + cli() + " ranges").out, "1.5-2.0, 3.0\n");
    EXPECT_EQ(run(cli() + " ranges --double '2,1'").out, "1.0, 2.0\n");
    EXPECT_EQ(run(cli() + " ranges --low 5 --high 2 1 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " ranges --precision x 1 2>/dev/null").status, 2);
}
