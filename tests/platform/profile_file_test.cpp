// The profile writer under a crash and a full disk, in child processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "platform/profile_file.hpp"

namespace profile = orvane::platform::profile;

namespace {

struct Dir {
    Dir() {
        char name[] = "/tmp/orvane-profile-XXXXXX";
        path = ::mkdtemp(name) ? name : "";
    }
    ~Dir() { std::filesystem::remove_all(path); }
    std::string path;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

int entriesIn(const std::string& dir) {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

const std::string kOld = "; keep me\n[S]\nk=old\n[T]\nx=1\n";

}  // namespace

TEST(ProfileWriter, KilledBeforeTheRenameLeavesTheOldFileWhole) {
    Dir dir;
    const std::string file = dir.path + "/a.ini";
    std::ofstream(file) << kOld;
    const pid_t child = ::fork();
    if (child == 0) {
        profile::setValue(file, "S", "k", std::string(100000, 'n'), [](const char*) { ::raise(SIGKILL); });
        ::_exit(0);
    }
    const int status = waitFor(child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(slurp(file), kOld);
    EXPECT_EQ(entriesIn(dir.path), 2);  // the finished temporary stays beside it, named .a.ini.*~
    EXPECT_EQ(profile::setValue(file, "S", "k", "new"), 0);
    EXPECT_EQ(slurp(file), "; keep me\n[S]\nk=new\n[T]\nx=1\n");
}

TEST(ProfileWriter, KilledAtAnyMomentTheFileIsOldOrNew) {
    Dir dir;
    const std::string file = dir.path + "/a.ini";
    const std::string big(200000, 'b');
    const std::string newText = "; keep me\n[S]\nk=" + big + "\n[T]\nx=1\n";
    std::mt19937 rng(11);
    for (int round = 0; round < 6; ++round) {
        std::ofstream(file, std::ios::trunc) << kOld;
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;) {  // flip between the two texts until killed
                profile::setValue(file, "S", "k", big);
                profile::setValue(file, "S", "k", "old");
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 40));
        ::kill(child, SIGKILL);
        waitFor(child);
        const std::string now = slurp(file);
        EXPECT_TRUE(now == kOld || now == newText) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST(ProfileWriter, FullDiskLeavesTheOldFileAndNoTemporary) {
    Dir dir;
    const std::string file = dir.path + "/a.ini";
    std::ofstream(file) << kOld;
    const pid_t child = ::fork();
    if (child == 0) {
        // A file size limit makes the write fail as a full disk would.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(profile::setValue(file, "S", "k", std::string(10000, 'n')));
    }
    const int status = waitFor(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(slurp(file), kOld);
    EXPECT_EQ(entriesIn(dir.path), 1);
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
    EXPECT_EQ(profile::unquoted("\"a\""), "a");
    EXPECT_EQ(profile::unquoted("'a\""), "'a\"");
    EXPECT_EQ(profile::unquoted("\""), "\"");
}
