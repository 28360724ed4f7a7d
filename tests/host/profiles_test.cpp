#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "orvane.h"
#include "temp_dir.hpp"

using hosttest::readFile;
using hosttest::TempDir;
using hosttest::writeFile;

namespace {

std::string get(const std::string& file, const char* section, const char* key, const char* def = "-",
                unsigned size = 256, int* count = nullptr) {
    std::string buf(size, '#');
    const int n = oxProfile_getProfileString(section, key, def, buf.data(), size, file.c_str());
    if (count) *count = n;
    if (!section || !key) return buf.substr(0, static_cast<std::size_t>(n) + 2);  // with its closing NULs
    return buf.c_str();
}

const char* kSample =
    "; settings\r\n"
    "orphan=before any section\r\n"
    "[Main]\r\n"
    "  Name =  Plot One  \r\n"
    "quoted=\"  padded  \"\r\n"
    "single='x'\r\n"
    "half=\"open\r\n"
    "flag\r\n"
    "\r\n"
    "; a comment = not a key\r\n"
    "name=second of a name\r\n"
    "[other]\r\n"
    "k=v\r\n"
    "[MAIN]\r\n"
    "late=not seen\r\n"
    "[bytes]\r\n"
    "latin=caf\xe9\xff\r\n"
    "last=no line end";

}  // namespace

TEST(ProfileRead, ValuesDefaultsAndFileShapes) {
    TempDir tmp;
    const std::string file = tmp / "a.ini";
    writeFile(file, kSample);
    EXPECT_EQ(get(file, "main", "NAME"), "Plot One");
    EXPECT_EQ(get(file, "Main", "quoted"), "  padded  ");
    EXPECT_EQ(get(file, "Main", "single"), "x");
    EXPECT_EQ(get(file, "Main", "half"), "\"open");
    EXPECT_EQ(get(file, "Main", "flag"), "-");  // a key without '=' has no value
    EXPECT_EQ(get(file, "Main", "late"), "-");  // only the first [Main] counts
    EXPECT_EQ(get(file, "Main", "; a comment"), "-");
    EXPECT_EQ(get(file, "", "orphan"), "-");
    EXPECT_EQ(get(file, "bytes", "latin"), "caf\xe9\xff");
    EXPECT_EQ(get(file, "bytes", "last"), "no line end");
    EXPECT_EQ(get(file, "other", "k", "-", 256), "v");
    EXPECT_EQ(get(file, "Main", "none", "fallback  \t"), "fallback");
    EXPECT_EQ(get(tmp / "missing.ini", "Main", "Name", "dflt"), "dflt");
    EXPECT_EQ(get(tmp.path, "Main", "Name", "dflt"), "dflt");  // a directory reads as no file

    int n = 0;
    EXPECT_EQ(get(file, "Main", "Name", "-", 5, &n), "Plot");  // cut to size - 1
    EXPECT_EQ(n, 4);
    EXPECT_EQ(get(file, "Main", "Name", "-", 1, &n), "");
    EXPECT_EQ(n, 0);

    writeFile(file, "[s]\nk=" + std::string(1 << 20, 'v') + "\n[t]\nk=2\n");  // a 1 MiB line
    EXPECT_EQ(get(file, "t", "k"), "2");
    EXPECT_EQ(get(file, "s", "k", "-", (1 << 20) + 1).size(), 1u << 20);
}

TEST(ProfileRead, NameListsCountLikeThePlatform) {
    TempDir tmp;
    const std::string file = tmp / "a.ini";
    writeFile(file, kSample);
    int n = 0;
    EXPECT_EQ(get(file, nullptr, "ignored", "-", 256, &n), std::string("Main\0other\0bytes\0\0", 19));
    EXPECT_EQ(n, 17);
    EXPECT_EQ(get(file, "main", nullptr, "-", 256, &n), std::string("Name\0quoted\0single\0half\0flag\0\0", 31));
    EXPECT_EQ(n, 29);
    // Exactly fitting: 17 characters and the last NUL in 18.
    EXPECT_EQ(get(file, nullptr, nullptr, "-", 18, &n), std::string("Main\0other\0bytes\0\0", 19).substr(0, 18));
    EXPECT_EQ(n, 17);
    // One short: cut, two NULs at the end, size - 2.
    std::string cut(17, '#');
    EXPECT_EQ(oxProfile_getProfileString(nullptr, nullptr, "-", cut.data(), 17, file.c_str()), 15);
    EXPECT_EQ(cut, std::string("Main\0other\0byte\0\0", 17));
    char tiny[2] = {'#', '#'};
    EXPECT_EQ(oxProfile_getProfileString(nullptr, nullptr, "-", tiny, 2, file.c_str()), 0);
    EXPECT_EQ(tiny[0], '\0');
    EXPECT_EQ(tiny[1], '\0');
    EXPECT_EQ(get(tmp / "missing.ini", nullptr, nullptr, "-", 8, &n), std::string("\0\0", 2));
    EXPECT_EQ(n, 0);
}

TEST(ProfileRead, RefusedArguments) {
    char buf[8] = "keep";
    EXPECT_EQ(oxProfile_getProfileString("s", "k", nullptr, buf, 8, "/tmp/none.ini"), 0);
    EXPECT_STREQ(buf, "keep");  // unlike the platform, a NULL default is refused
    EXPECT_EQ(oxProfile_getProfileString("s", "k", "d", nullptr, 8, "/tmp/none.ini"), 0);
    EXPECT_EQ(oxProfile_getProfileString("s", "k", "d", buf, 0, "/tmp/none.ini"), 0);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(oxProfile_getProfileString("s", "k", "d", buf, 8, nullptr), 1);
    EXPECT_STREQ(buf, "d");
}

TEST(ProfileWrite, ChangesOnlyTheValueAndKeepsEveryOtherByte) {
    TempDir tmp;
    const std::string file = tmp / "a.ini";
    writeFile(file, kSample);
    ::chmod(file.c_str(), 0640);
    ASSERT_EQ(oxProfile_writeProfileString("MAIN", "name", "New Name", file.c_str()), 0);
    std::string expected = kSample;
    expected.replace(expected.find("Plot One"), 8, "New Name");
    EXPECT_EQ(readFile(file), expected);
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    ASSERT_EQ(oxProfile_writeProfileString("main", "flag", "on", file.c_str()), 0);
    expected.replace(expected.find("flag\r\n"), 4, "flag=on");
    ASSERT_EQ(oxProfile_writeProfileString("main", "added", "1", file.c_str()), 0);
    const std::string lastKey = "name=second of a name\r\n";
    expected.insert(expected.find(lastKey) + lastKey.size(), "added=1\r\n");  // after the section's last key
    ASSERT_EQ(oxProfile_writeProfileString("bytes", "more", "2", file.c_str()), 0);
    expected += "\r\nmore=2";  // the file had no final line end, and still has none
    ASSERT_EQ(oxProfile_writeProfileString("New", "k", "v", file.c_str()), 0);
    expected += "\r\n\r\n[New]\r\nk=v\r\n";
    EXPECT_EQ(readFile(file), expected);
    EXPECT_EQ(get(file, "new", "K"), "v");
    EXPECT_EQ(get(file, "main", "added"), "1");

    // Refused writes leave the file as it is.
    EXPECT_EQ(oxProfile_writeProfileString("main", nullptr, "v", file.c_str()), 0);
    EXPECT_EQ(oxProfile_writeProfileString("main", "name", nullptr, file.c_str()), 0);
    EXPECT_EQ(oxProfile_writeProfileString(nullptr, "k", "v", file.c_str()), EINVAL);
    EXPECT_EQ(oxProfile_writeProfileString("main", "k", "v", nullptr), EINVAL);
    EXPECT_EQ(oxProfile_writeProfileString("main", "k", "two\nlines", file.c_str()), EINVAL);
    EXPECT_EQ(oxProfile_writeProfileString("a]b", "k", "v", file.c_str()), EINVAL);
    EXPECT_EQ(oxProfile_writeProfileString("main", "a=b", "v", file.c_str()), EINVAL);
    EXPECT_EQ(readFile(file), expected);
}

TEST(ProfileWrite, NewFilesLineEndsAndLinks) {
    TempDir tmp;
    const std::string file = tmp / "new.ini";
    ASSERT_EQ(oxProfile_writeProfileString("S", "k", "1", file.c_str()), 0);
    ASSERT_EQ(oxProfile_writeProfileString("S", "j", "2", file.c_str()), 0);
    EXPECT_EQ(readFile(file), "[S]\nk=1\nj=2\n");
    writeFile(tmp / "lf.ini", "[S]\nk=1\n\n[T]\nx=1\n");
    ASSERT_EQ(oxProfile_writeProfileString("s", "j", "2", (tmp.path + "\\lf.ini").c_str()), 0);
    EXPECT_EQ(readFile(tmp / "lf.ini"), "[S]\nk=1\nj=2\n\n[T]\nx=1\n");

    std::filesystem::create_symlink("lf.ini", tmp / "link.ini");
    ASSERT_EQ(oxProfile_writeProfileString("T", "x", "9", (tmp / "link.ini").c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(tmp / "link.ini"));
    EXPECT_EQ(get(tmp / "lf.ini", "T", "x"), "9");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path), {}), 3);  // no temporary left
}

TEST(ProfileWrite, ReadOnlyAndMissingPlacesFailCleanly) {
    TempDir tmp;
    const std::string file = tmp / "ro.ini";
    writeFile(file, "[S]\nk=1\n");
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(oxProfile_writeProfileString("S", "k", "2", file.c_str()), EACCES);
    EXPECT_EQ(readFile(file), "[S]\nk=1\n");
    EXPECT_EQ(oxProfile_writeProfileString("S", "k", "2", (tmp / "no/such/dir.ini").c_str()), ENOENT);
    EXPECT_EQ(oxProfile_writeProfileString("S", "k", "2", tmp.path.c_str()), EISDIR);
    // A pipe is neither waited on nor replaced by a plain file.
    const std::string fifo = tmp / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(get(fifo, "S", "k", "dflt"), "dflt");
    EXPECT_EQ(oxProfile_writeProfileString("S", "k", "2", fifo.c_str()), EINVAL);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(oxProfile_writeProfileString("S", "k", "2", "/dev/null"), EINVAL);

    // A folder the writer may not write into: tried as an unprivileged user when the
    // tests run as root, who may write anywhere.
    const std::string dir = tmp / "locked";
    ::mkdir(dir.c_str(), 0755);
    writeFile(dir + "/a.ini", "[S]\nk=1\n");
    ::chmod((dir + "/a.ini").c_str(), 0666);
    ::chmod(dir.c_str(), 0555);
    ::chmod(tmp.path.c_str(), 0755);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        ::_exit(oxProfile_writeProfileString("S", "k", "2", (dir + "/a.ini").c_str()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
    EXPECT_EQ(readFile(dir + "/a.ini"), "[S]\nk=1\n");
}
