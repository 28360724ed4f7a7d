#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "orvane.h"
#include "temp_dir.hpp"

using hosttest::TempDir;

namespace {

std::string parentOf(const std::string& path, int addBackslash) {
    char out[TQ_PATH_CHARS];
    std::strcpy(out, "untouched");
    oxWinAPI_getParentDir(out, path.c_str(), addBackslash);
    return out;
}

std::string quote(const std::string& path, int perComponent) {
    std::string out(path.size() * 3 + 8, 'x');
    tqFile_quotePathA(out.data(), path.c_str(), perComponent);
    return out.c_str();
}

}  // namespace

TEST(ParentDir, DrivesSharesRootsAndBothSeparators) {
    EXPECT_EQ(parentOf("C:\\dir\\file.txt", 1), "C:\\dir\\");
    EXPECT_EQ(parentOf("C:\\dir\\file.txt", 0), "C:\\dir");
    EXPECT_EQ(parentOf("C:\\file.txt", 0), "C:\\");
    EXPECT_EQ(parentOf("C:\\dir", 1), "C:\\");
    EXPECT_EQ(parentOf("C:\\", 1), "C:\\");
    EXPECT_EQ(parentOf("C:\\dir\\", 0), "C:\\dir");  // the empty last component goes
    EXPECT_EQ(parentOf("file.txt", 1), "");
    EXPECT_EQ(parentOf("\\\\server\\share", 1), "\\\\server\\share");
    EXPECT_EQ(parentOf("\\\\server\\share\\a.txt", 1), "\\\\server\\share\\");
    EXPECT_EQ(parentOf("/usr/lib", 1), "/usr/");
    EXPECT_EQ(parentOf("/usr", 0), "/");
    EXPECT_EQ(parentOf("/", 1), "/");
    EXPECT_EQ(parentOf("C:/a\\b/c", 0), "C:/a\\b");
    EXPECT_EQ(parentOf("a/b", 1), "a/");
    EXPECT_EQ(parentOf("//server/share/x", 0), "//server/share");

    char same[TQ_PATH_CHARS] = "C:\\dir\\file.txt";  // in place
    oxWinAPI_getParentDir(same, same, 0);
    EXPECT_STREQ(same, "C:\\dir");
    EXPECT_EQ(oxWinAPI_getParentDir(nullptr, "C:\\a", 1), 0);
    std::strcpy(same, "kept");
    EXPECT_EQ(oxWinAPI_getParentDir(same, nullptr, 1), 0);
    EXPECT_STREQ(same, "kept");
    EXPECT_EQ(parentOf(std::string(300, 'a') + "\\b", 0), "");  // would not fit in 260
    const std::string longest = "C:\\" + std::string(256, 'a');  // 259 characters fit
    EXPECT_EQ(parentOf(longest + "\\f", 0), longest);
}

TEST(MakeDirectory, ChainsExistingFilesAndSeparators) {
    TempDir tmp;
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / "a\\b/c").c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "a/b/c"));
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / "a").c_str()), 0);
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / "t/u/").c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "t/u"));
    hosttest::writeFile(tmp / "file", "x");
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / "file/sub").c_str()), -1);
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / "file/sub/deeper").c_str()), -1);
    EXPECT_EQ(oxWinAPI_makeDirectory(nullptr), 0);
    EXPECT_EQ(oxWinAPI_makeDirectory(""), -1);
    EXPECT_EQ(oxWinAPI_makeDirectory("/"), 0);
    const std::string component(255, 'n');  // the longest name the file system takes
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / component + "/" + component).c_str()), 0);
    EXPECT_EQ(oxWinAPI_makeDirectory((tmp / std::string(256, 'n')).c_str()), -1);
}

TEST(FileTimes, FirstSortedMatchPlainBracketsAndUnchangedOutputs) {
    TempDir tmp;
    const auto touch = [&](const std::string& name, time_t mtime) {
        hosttest::writeFile(tmp / name, "x");
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (tmp / name).c_str(), times, 0), 0);
    };
    touch("b.txt", 2000000);
    touch("a.txt", 1000000);
    touch("x[1].dat", 3000000);
    touch(".hidden", 4000000);
    int created = -1, modified = -1;
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp.path + "\\*.txt").c_str(), &created, &modified), 0);
    EXPECT_EQ(modified, 1000000);
    EXPECT_GT(created, 1000000);  // birth (or change) time: now
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp / "x[1].*").c_str(), nullptr, &modified), 0);
    EXPECT_EQ(modified, 3000000);
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp / "*hidden").c_str(), nullptr, &modified), 0);
    EXPECT_EQ(modified, 4000000);
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp / "*").c_str(), nullptr, &modified), 0);
    EXPECT_EQ(modified, 4000000);  // ".hidden" sorts first; "." and ".." are not files
    created = modified = 7;
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp / "*.none").c_str(), &created, &modified), 0);
    EXPECT_EQ(created, 7);
    EXPECT_EQ(modified, 7);
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp / "missing").c_str(), &created, &modified), 0);
    EXPECT_EQ(modified, 7);
    EXPECT_EQ(oxWinAPI_getFileTimes(nullptr, &created, &modified), 0);
    touch("late", static_cast<time_t>(1) << 33);  // beyond 2038: clamped, not wrapped
    EXPECT_EQ(oxWinAPI_getFileTimes((tmp / "late").c_str(), nullptr, &modified), 0);
    EXPECT_EQ(modified, INT_MAX);
}

TEST(HostInformation, ComputerNamesAndShortPaths) {
    char host[256] = {}, name[256];
    ::gethostname(host, sizeof host - 1);
    *::strchrnul(host, '.') = '\0';
    EXPECT_EQ(oxWinAPI_getComputerNameA(name, 0), 0);
    EXPECT_STREQ(name, host);
    EXPECT_EQ(oxWinAPI_getComputerNameA(nullptr, 0), 0);
    EXPECT_EQ(tqWin32_getComputerName(name), 0);
    EXPECT_STREQ(name, "TEST");
    EXPECT_EQ(tqWin32_getComputerName(nullptr), 32768);

    TempDir tmp;
    char shortPath[TQ_PATH_CHARS] = "x";
    EXPECT_EQ(tqWin32_getShortPathName(tmp.path.c_str(), shortPath), 0);
    EXPECT_EQ(shortPath, tmp.path);
    std::strcpy(shortPath, "x");
    EXPECT_EQ(tqWin32_getShortPathName((tmp / "none").c_str(), shortPath), ENOENT);
    EXPECT_STREQ(shortPath, "");
    const std::string deep = tmp / std::string(200, 'd') + "/" + std::string(200, 'e');
    std::filesystem::create_directories(deep);
    EXPECT_EQ(tqWin32_getShortPathName(deep.c_str(), shortPath), ENAMETOOLONG);
    EXPECT_EQ(tqWin32_getShortPathName(nullptr, shortPath), 32768);
    EXPECT_EQ(tqWin32_getShortPathName("/", nullptr), 32768);
}

TEST(HostInformation, StandardFoldersFollowXdg) {
    char path[TQ_PATH_CHARS];
    const std::string savedHome = ::getenv("HOME") ? ::getenv("HOME") : "/root";
    ::setenv("XDG_DATA_HOME", "/data/home//", 1);
    ::setenv("XDG_DATA_DIRS", "relative:/srv/share/:/usr/share", 1);
    EXPECT_EQ(oxWinAPI_fileGetUserAppDataPath(path), 0);
    EXPECT_STREQ(path, "/data/home");
    EXPECT_EQ(oxWinAPI_fileGetAllUsersAppDataPath(path), 0);
    EXPECT_STREQ(path, "/srv/share");
    EXPECT_EQ(oxWinAPI_fileGetProgramFilesPath(path), 0);
    EXPECT_STREQ(path, "/opt");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");
    ::setenv("HOME", "/home/someone/", 1);
    EXPECT_EQ(oxWinAPI_fileGetUserAppDataPath(path), 0);
    EXPECT_STREQ(path, "/home/someone/.local/share");
    EXPECT_EQ(oxWinAPI_fileGetAllUsersAppDataPath(path), 0);
    EXPECT_STREQ(path, "/usr/local/share");
    ::setenv("HOME", savedHome.c_str(), 1);
    ::setenv("XDG_DATA_HOME", ("/" + std::string(300, 'x')).c_str(), 1);
    std::strcpy(path, "kept");
    EXPECT_EQ(oxWinAPI_fileGetUserAppDataPath(path), static_cast<int>(0x80004005u));
    EXPECT_STREQ(path, "kept");
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(oxWinAPI_fileGetProgramFilesPath(nullptr), static_cast<int>(0x80004003u));
}

TEST(QuotePath, WholeAndPerComponent) {
    const std::string app = "C:\\Program Files\\My App\\run.exe";
    EXPECT_EQ(quote(app, 1), "C:\\\"Program Files\"\\\"My App\"\\run.exe");
    EXPECT_EQ(quote(app, 0), "\"" + app + "\"");
    EXPECT_EQ(quote("\"C:\\My Dir\\a.txt\"", 0), "\"C:\\My Dir\\a.txt\"");  // one pair only
    EXPECT_EQ(quote("C:\\Temp\\a.txt", 0), "C:\\Temp\\a.txt");
    EXPECT_EQ(quote("C:\\Temp\\a.txt", 1), "C:\\Temp\\a.txt");
    EXPECT_EQ(quote("C:\\Temp\\", 1), "C:\\Temp");  // trailing separator dropped
    EXPECT_EQ(quote("C:\\Temp\\", 0), "C:\\Temp\\");
    EXPECT_EQ(quote("\\\\server\\share", 1), "\\\\server\\share");
    EXPECT_EQ(quote("/opt/My App/bin", 1), "/opt/\"My App\"/bin");  // the path's own separators
    EXPECT_EQ(quote("a\\b c/d", 1), "a\\\"b c\"/d");

    char same[64] = "C:\\My Dir\\x";  // in place
    tqFile_quotePathA(same, same, 1);
    EXPECT_STREQ(same, "C:\\\"My Dir\"\\x");
    std::strcpy(same, "a b");
    tqFile_quotePathA(same, same, 0);
    EXPECT_STREQ(same, "\"a b\"");

    // Components are read through a 260-character window: 259 stay whole, longer ones
    // are cut into pieces with a separator between.
    const std::string c259(259, 'c'), c260(260, 'c'), c261(261, 'c');
    EXPECT_EQ(quote("C:\\" + c259 + "\\x", 1), "C:\\" + c259 + "\\x");
    EXPECT_EQ(quote("C:\\" + c260 + "\\x", 1), "C:\\" + c260 + "\\\\x");
    EXPECT_EQ(quote("C:\\" + c261, 1), "C:\\" + c260 + "\\c");

    char untouched[8] = "keep";
    EXPECT_EQ(tqFile_quotePathA(untouched, "", 1), 0);
    EXPECT_EQ(tqFile_quotePathA(untouched, nullptr, 0), 0);
    EXPECT_STREQ(untouched, "keep");
    EXPECT_EQ(tqFile_quotePathA(nullptr, "a b", 0), 0);
}

TEST(Launch, RunsWithoutShellOrWaitAndLeavesNoZombie) {
    TempDir tmp;
    const std::string script = tmp / "record";
    hosttest::writeFile(script, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.out.tmp\"\nmv \"$0.out.tmp\" \"$0.out\"\n");
    ::chmod(script.c_str(), 0755);
    EXPECT_EQ(tqFile_launchApplication(script.c_str(), "one \"two three\" $HOME;x", 0, nullptr, nullptr), 0);
    std::string out;
    for (int i = 0; i < 500 && (out = hosttest::readFile(script + ".out")).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(out, "one|two three|$HOME;x|");  // no shell expansion of any kind
    // The intermediate process has been reaped and the program belongs to init.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    char text[256] = "kept";
    EXPECT_EQ(tqFile_launchApplication((tmp / "missing").c_str(), nullptr, 1, nullptr, text), ENOENT);
    EXPECT_STREQ(text, "No such file or directory");
    EXPECT_EQ(tqFile_launchApplication(nullptr, nullptr, 1, nullptr, text), 0);
    // A document needs the desktop opener; without one on PATH the launch says so.
    hosttest::writeFile(tmp / "doc.txt", "text");
    const std::string savedPath = ::getenv("PATH") ? ::getenv("PATH") : "";
    ::setenv("PATH", tmp.path.c_str(), 1);
    EXPECT_EQ(tqFile_launchApplication((tmp / "doc.txt").c_str(), nullptr, 1, nullptr, nullptr), ENOENT);
    ::setenv("PATH", savedPath.c_str(), 1);
}
