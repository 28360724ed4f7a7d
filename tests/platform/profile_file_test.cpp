// The profile writer under a crash and a full disk, in child processes.
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

}  // namespace

TEST(ProfileWriter, KilledBeforeTheRenameLeavesTheOldFileWhole) {
    hosttest::TempDir dir;
    const std::string file = dir.put("a.ini", kOld);
    const int status = hosttest::inChild([&] {
        return profile::setValue(file, "S", "k", std::string(100000, 'n'), [](const char*) { ::raise(SIGKILL); });
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readFile(file), kOld);
    // The finished temporary stays beside it, named .a.ini.*~
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 2);
    EXPECT_EQ(profile::setValue(file, "S", "k", "new"), 0);
    EXPECT_EQ(readFile(file), "; keep me\n[S]\nk=new\n[T]\nx=1\n");
}

TEST(ProfileWriter, KilledAtAnyMomentTheFileIsOldOrNew) {
    hosttest::TempDir dir;
    const std::string file = dir / "a.ini", big(200000, 'b');
    std::mt19937 rng(11);
    for (int round = 0; round < 6; ++round) {
        dir.put("a.ini", kOld);
        hosttest::inChild(
            [&] {
                for (;;) {  // flip between the two texts until killed
                    profile::setValue(file, "S", "k", big);
                    profile::setValue(file, "S", "k", "old");
                }
                return 0;
            },
            [&](pid_t child) {
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
        // A file size limit makes the write fail as a full disk would.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return profile::setValue(file, "S", "k", std::string(10000, 'n'));
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(readFile(file), kOld);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

TEST(ProfileText, DuplicatesCommentsAndHeadersWithoutBracket) {
    const std::string text = "[a]\nk=1\nk=2\n[ b \nk = 3 \n[A]\nk=4\nj=5\n";
    EXPECT_EQ(profile::find(text, "A", "K")->value, "1");
    EXPECT_EQ(profile::find(text, " b ", "k")->value, "3");
    EXPECT_FALSE(profile::find(text, "a", "j"));
    EXPECT_EQ(profile::keyNames(text, "a").size(), 1u);
    EXPECT_EQ(profile::sectionNames(text).size(), 2u);
    EXPECT_EQ(profile::withValue(text, "a", "k", "9"), "[a]\nk=9\nk=2\n[ b \nk = 3 \n[A]\nk=4\nj=5\n");
    EXPECT_EQ(profile::withValue(text, "b", "k", ""), "[a]\nk=1\nk=2\n[ b \nk =  \n[A]\nk=4\nj=5\n");
    EXPECT_EQ(profile::withValue("", "s", "k", "v"), "[s]\nk=v\n");
    EXPECT_EQ(profile::withValue("[s]", "s", "k", "v"), "[s]\nk=v");
    EXPECT_EQ(profile::withValue("[s]\n\n", "t", "k", "v"), "[s]\n\n[t]\nk=v\n");  // one blank line before
    EXPECT_EQ(profile::unquoted("'a\""), "'a\"");
    EXPECT_EQ(profile::unquoted("\""), "\"");
}
