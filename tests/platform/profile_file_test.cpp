// The profile writer under a crash and a full disk, in child processes; the reader's rules
// that the exported calls cannot show.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "host/temp_dir.hpp"
#include "platform/profile_file.hpp"

namespace profile = orvane::platform::profile;
using hosttest::readFile;

namespace {

const std::string kOld = "; keep me\n[S]\nk=old\n[T]\nx=1\n";
std::size_t entries(const std::string& dir) { return std::distance(std::filesystem::directory_iterator(dir), {}); }

}  // namespace

TEST(ProfileWriter, KilledHalfWayOrOnAFullDiskTheOldFileStaysWhole) {
    hosttest::TempDir dir;
    const std::string file = dir.put("a.ini", kOld), big(200000, 'b');
    // Killed with the new text written beside the file, before the rename: the old file is
    // whole, and the finished temporary (.a.ini.*~) stays beside it.
    int status = hosttest::inChild([&] { return profile::setValue(file, "S", "k", big, [](const char*) { ::raise(SIGKILL); }); });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(entries(dir.path), 2u);
    EXPECT_EQ(profile::setValue(file, "S", "k", "new"), 0);
    EXPECT_EQ(readFile(file), "; keep me\n[S]\nk=new\n[T]\nx=1\n");

    // A full disk: the old file stays, and no temporary.
    dir.put("a.ini", kOld);
    status = hosttest::inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);  // a file size limit makes the write fail as a full disk would
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return profile::setValue(file, "S", "k", std::string(10000, 'n'));
    });
    EXPECT_EQ(std::pair(WIFEXITED(status), WEXITSTATUS(status)), std::pair(true, EFBIG));
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(entries(dir.path), 2u);  // the one the kill left, no new one
}

// (Duplicate sections and keys, values without "=", new files and sections: profiles_test.cpp.)
TEST(ProfileText, HeadersWithoutBracketBlankLinesAndQuotes) {
    EXPECT_EQ(profile::find("[a]\nk=1\n[ b \nk = 3 \n", " b ", "k")->value, "3");  // the header is the rest of the line
    EXPECT_EQ(profile::withValue("[s]\n\n", "t", "k", "v"), "[s]\n\n[t]\nk=v\n");  // one blank line before a new section
    EXPECT_EQ(std::string(profile::unquoted("'a\"")) + "|" + std::string(profile::unquoted("\"")), "'a\"|\"");
}
