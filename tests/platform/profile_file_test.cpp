// The profile writer under a crash and a full disk, in child processes; the reader's rules
// that the exported calls cannot show.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <random>
#include <thread>

#include "host/temp_dir.hpp"
#include "platform/profile_file.hpp"

namespace profile = orvane::platform::profile;
using hosttest::readFile;

namespace {

const std::string kOld = "; keep me\n[S]\nk=old\n[T]\nx=1\n";
std::size_t entries(const std::string& dir) { return std::distance(std::filesystem::directory_iterator(dir), {}); }

}  // namespace

TEST(ProfileWriter, KilledHalfWayTheFileIsOldOrNew) {
    hosttest::TempDir dir;
    const std::string file = dir.put("a.ini", kOld), big(200000, 'b');
    // Killed with the new text written beside the file, before the rename: the old file is
    // whole, and the finished temporary (.a.ini.*~) stays beside it.
    const int status = hosttest::inChild([&] { return profile::setValue(file, "S", "k", big, [](const char*) { ::raise(SIGKILL); }); });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(entries(dir.path), 2u);
    EXPECT_EQ(profile::setValue(file, "S", "k", "new"), 0);
    EXPECT_EQ(readFile(file), "; keep me\n[S]\nk=new\n[T]\nx=1\n");
    // Killed at any moment while flipping between two texts.
    std::mt19937 rng(11);
    for (int round = 0; round < 6; ++round) {
        dir.put("a.ini", kOld);
        const auto flip = [&] {
            for (;;) profile::setValue(file, "S", "k", big), profile::setValue(file, "S", "k", "old");
            return 0;
        };
        hosttest::inChild(flip, [&](pid_t child) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 40));
            ::kill(child, SIGKILL);
        });
        const std::string now = readFile(file);
        EXPECT_TRUE(now == kOld || now == "; keep me\n[S]\nk=" + big + "\n[T]\nx=1\n") << round << ": " << now.size();
    }
}

TEST(ProfileWriter, FullDiskLeavesTheOldFileAndNoTemporary) {
    hosttest::TempDir dir;
    const std::string file = dir.put("a.ini", kOld);
    const int status = hosttest::inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);  // a file size limit makes the write fail as a full disk would
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return profile::setValue(file, "S", "k", std::string(10000, 'n'));
    });
    EXPECT_EQ(std::pair(WIFEXITED(status), WEXITSTATUS(status)), std::pair(true, EFBIG));
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(entries(dir.path), 1u);
}

TEST(ProfileText, DuplicatesCommentsAndHeadersWithoutBracket) {
    const std::string text = "[a]\nk=1\nk=2\n[ b \nk = 3 \n[A]\nk=4\nj=5\n";
    EXPECT_EQ(profile::find(text, "A", "K")->value, "1");
    EXPECT_EQ(profile::find(text, " b ", "k")->value, "3");
    EXPECT_FALSE(profile::find(text, "a", "j"));
    EXPECT_EQ(std::pair(profile::keyNames(text, "a").size(), profile::sectionNames(text).size()), std::pair(1ul, 2ul));
    EXPECT_EQ(profile::withValue(text, "a", "k", "9"), "[a]\nk=9\nk=2\n[ b \nk = 3 \n[A]\nk=4\nj=5\n");
    EXPECT_EQ(profile::withValue(text, "b", "k", ""), "[a]\nk=1\nk=2\n[ b \nk =  \n[A]\nk=4\nj=5\n");
    EXPECT_EQ(profile::withValue("", "s", "k", "v"), "[s]\nk=v\n");
    EXPECT_EQ(profile::withValue("[s]", "s", "k", "v"), "[s]\nk=v");
    EXPECT_EQ(profile::withValue("[s]\n\n", "t", "k", "v"), "[s]\n\n[t]\nk=v\n");  // one blank line before
    EXPECT_EQ(std::string(profile::unquoted("'a\"")) + "|" + std::string(profile::unquoted("\"")), "'a\"|\"");
}
