#include <chrono>
#include <thread>

#include "orvane.h"
#include "temp_dir.hpp"

using hosttest::TempDir;

namespace {

// A call's result, a space, and what it left in a path buffer that held "kept".
template <class Call>
std::string outcome(Call call) {
    char out[TQ_PATH_CHARS] = "kept";
    const int result = call(out);
    return std::to_string(result) + " " + out;
}

}  // namespace

TEST(PathText, ParentsAndQuotingWithDrivesSharesAndBothSeparators) {
    const std::string longest = "C:\\" + std::string(256, 'a');  // 259 characters fit
    const struct { std::string path; int add; std::string parent; } cases[] = {
        {"C:\\dir\\file.txt", 0, "C:\\dir"}, {"C:\\dir\\", 0, "C:\\dir"},  // the empty last component goes
        {"C:\\dir", 0, "C:\\"}, {"/usr", 1, "/"},  // the root keeps its separator and gets no second one
        {"C:\\", 1, "C:\\"}, {"/", 1, "/"}, {"file.txt", 1, ""}, {"a/b", 1, "a/"}, {"/usr/lib", 1, "/usr/"},
        {"\\\\server\\share", 1, "\\\\server\\share"}, {"//server/share/x", 0, "//server/share"},
        {"\\\\server\\share\\a.txt", 1, "\\\\server\\share\\"}, {"C:/a\\b/c", 0, "C:/a\\b"},
        {"C:/a/b", 1, "C:/a\\"},  // a drive asks for a backslash
        {std::string(300, 'a') + "\\b", 0, ""}, {longest + "\\f", 0, longest},  // 300 would not fit in 260
    };
    for (const auto& c : cases)
        EXPECT_EQ(outcome([&](char* out) { return oxWinAPI_getParentDir(out, c.path.c_str(), c.add); }), "0 " + c.parent) << c.path;
    char same[TQ_PATH_CHARS] = "C:\\dir\\file.txt";  // in place
    oxWinAPI_getParentDir(same, same, 0);
    EXPECT_STREQ(same, "C:\\dir");
    EXPECT_EQ(outcome([](char* out) { return oxWinAPI_getParentDir(out, nullptr, 1); }), "0 kept");

    // Components are read through a 260-character window: 259 stay whole, longer ones
    // are cut into pieces with a separator between.
    const std::string app = "C:\\Program Files\\My App\\run.exe", c259(259, 'c'), c260(260, 'c');
    const struct { std::string path; int perComponent; std::string quoted; } quotes[] = {
        {app, 1, "C:\\\"Program Files\"\\\"My App\"\\run.exe"}, {app, 0, "\"" + app + "\""},
        {"\"C:\\My Dir\\a.txt\"", 0, "\"C:\\My Dir\\a.txt\""},  // one pair only
        {"C:\\Temp\\a.txt", 0, "C:\\Temp\\a.txt"}, {"C:\\Temp\\a.txt", 1, "C:\\Temp\\a.txt"},
        {"C:\\Temp\\", 1, "C:\\Temp"}, {"C:\\Temp\\", 0, "C:\\Temp\\"},  // per component: trailing separator dropped
        {"\\\\server\\share", 1, "\\\\server\\share"},
        {"/opt/My App/a\\b c", 1, "/opt/\"My App\"/a\\\"b c\""},  // the path's own separators
        {"C:\\" + c259 + "\\x", 1, "C:\\" + c259 + "\\x"}, {"C:\\" + c260 + "\\x", 1, "C:\\" + c260 + "\\\\x"},
        {"C:\\" + c260 + "c", 1, "C:\\" + c260 + "\\c"}, {"", 1, "kept"},
    };
    for (const auto& c : quotes) {
        std::string out = "kept" + std::string(c.path.size() * 3 + 4, '\0'), same = c.path;
        same.resize(out.size(), '\0');  // quoted in place too
        EXPECT_EQ(tqFile_quotePathA(out.data(), c.path.c_str(), c.perComponent), 0);
        tqFile_quotePathA(same.data(), same.data(), c.perComponent);
        EXPECT_EQ((std::pair<std::string, std::string>(out.c_str(), same.c_str())), std::pair(c.quoted, c.path.empty() ? "" : c.quoted))
            << c.path;
    }
}

TEST(Folders, MakeDirectoryAndFileTimes) {
    TempDir tmp;
    const std::string file = tmp.put("file", "x"), longest(255, 'n');  // the longest name the file system takes
    for (const auto& [path, result] :
         {std::pair<std::string, int>{tmp / "a\\b/c", 0}, {tmp / "a", 0}, {tmp / "t/u/", 0}, {file + "/sub/deeper", -1},
          {"", -1}, {"/", 0}, {tmp / longest + "/" + longest, 0}, {tmp / longest + "n", -1}})
        EXPECT_EQ(oxWinAPI_makeDirectory(path.c_str()), result) << path;
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "a/b/c") && std::filesystem::is_directory(tmp / "t/u"));

    // File times: the first match in sorted order; '[' is plain; no match leaves the outputs.
    for (const auto& [name, mtime] : {std::pair<std::string, time_t>{"b.txt", 2000000}, {"a.txt", 1000000},
                                      {"x[1].dat", 3000000}, {".hidden", 4000000}, {"late", time_t{1} << 33}}) {
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, tmp.put(name, "x").c_str(), times, 0), 0);
    }
    int created = 7, modified = 7;
    const auto times = [&](const std::string& pattern, int* c = nullptr) {
        EXPECT_EQ(oxWinAPI_getFileTimes(pattern.c_str(), c, &modified), 0);
        return modified;
    };
    EXPECT_EQ(times(tmp / "x[1].*"), 3000000);
    EXPECT_EQ(times(tmp / "*"), 4000000);       // ".hidden" sorts first; "." and ".." are not files
    EXPECT_EQ(times(tmp / "late"), INT_MAX);    // beyond 2038: clamped, not wrapped
    EXPECT_EQ(times(tmp.path + "\\*.txt", &created), 1000000);
    EXPECT_GT(created, 1000000);  // birth (or change) time: now
    created = modified = 7;
    times(tmp / "*.none", &created), times(tmp / "missing", &created);
    EXPECT_EQ(std::pair(created, modified), std::pair(7, 7));
}

// (NULL buffers: the sweep checks the results.)
TEST(HostInformation, NamesShortPathsAndStandardFolders) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    *::strchrnul(host, '.') = '\0';
    EXPECT_EQ(outcome([](char* out) { return oxWinAPI_getComputerNameA(out, 0); }), std::string("0 ") + host);
    EXPECT_EQ(outcome(tqWin32_getComputerName), "0 TEST");

    TempDir tmp;
    const std::string deep = tmp / std::string(200, 'd') + "/" + std::string(200, 'e');
    std::filesystem::create_directories(deep);
    const std::string none = tmp / "none";
    const std::pair<const char*, std::string> cases[] = {
        {tmp.path.c_str(), "0 " + tmp.path}, {none.c_str(), std::to_string(ENOENT) + " "},
        {deep.c_str(), std::to_string(ENAMETOOLONG) + " "}, {nullptr, "32768 kept"}};
    for (const auto& [path, result] : cases)
        EXPECT_EQ(outcome([&](char* out) { return tqWin32_getShortPathName(path, out); }), result);

    // The standard folders follow XDG.
    const std::string savedHome = ::getenv("HOME") ? ::getenv("HOME") : "/root";
    const auto folders = [] {
        return outcome(oxWinAPI_fileGetUserAppDataPath) + "|" + outcome(oxWinAPI_fileGetAllUsersAppDataPath) + "|" +
               outcome(oxWinAPI_fileGetProgramFilesPath);
    };
    ::setenv("XDG_DATA_HOME", "/data/home//", 1);
    ::setenv("XDG_DATA_DIRS", "relative:/srv/share/:/usr/share", 1);
    EXPECT_EQ(folders(), "0 /data/home|0 /srv/share|0 /opt");
    ::unsetenv("XDG_DATA_DIRS");
    ::setenv("XDG_DATA_HOME", ("/" + std::string(300, 'x')).c_str(), 1);
    EXPECT_EQ(outcome(oxWinAPI_fileGetUserAppDataPath), std::to_string(static_cast<int>(0x80004005u)) + " kept");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/someone/", 1);
    EXPECT_EQ(folders(), "0 /home/someone/.local/share|0 /usr/local/share|0 /opt");
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(Launch, RunsWithoutShellOrWaitAndLeavesNoZombie) {
    TempDir tmp;
    const std::string script = tmp.put("record", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.t\"\nmv \"$0.t\" \"$0.out\"\n");
    ::chmod(script.c_str(), 0755);
    EXPECT_EQ(tqFile_launchApplication(script.c_str(), "one \"two three\" $HOME;x", 0, nullptr, nullptr), 0);
    for (int i = 0; i < 500 && !std::filesystem::exists(script + ".out"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(hosttest::readFile(script + ".out"), "one|two three|$HOME;x|");  // no shell expansion of any kind
    // The intermediate process has been reaped and the program belongs to init.
    EXPECT_EQ((std::pair{::waitpid(-1, nullptr, WNOHANG), errno}), std::pair(-1, ECHILD));

    char text[256] = "kept";
    EXPECT_EQ(tqFile_launchApplication((tmp / "missing").c_str(), nullptr, 1, nullptr, text), ENOENT);
    EXPECT_STREQ(text, "No such file or directory");
    // A document needs the desktop opener; without one on PATH the launch says so.
    const std::string savedPath = ::getenv("PATH") ? ::getenv("PATH") : "";
    ::setenv("PATH", tmp.path.c_str(), 1);
    EXPECT_EQ(tqFile_launchApplication(tmp.put("doc.txt", "text").c_str(), nullptr, 1, nullptr, nullptr), ENOENT);
    ::setenv("PATH", savedPath.c_str(), 1);
}
