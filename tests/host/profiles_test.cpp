#include <sys/sysmacros.h>

#include "orvane.h"
#include "temp_dir.hpp"

using hosttest::readFile;
using hosttest::TempDir;

namespace {

// A value read into a buffer of exactly `size` (so that a byte more is caught); the result
// must count the characters copied.
std::string get(const std::string& file, const char* section, const char* key, const char* def = "-",
                unsigned size = 256) {
    std::vector<char> buf(size, '#');
    const int n = oxProfile_getProfileString(section, key, def, buf.data(), size, file.c_str());
    EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(buf.data())) << key;
    return buf.data();
}

// The sections (section NULL) or a section's keys in a buffer of `size`: the result, then
// the bytes up to the closing NULs.
std::string list(const std::string& file, const char* section, unsigned size = 256) {
    std::vector<char> buf(size, '#');
    const int n = oxProfile_getProfileString(section, section ? nullptr : "ignored", "-", buf.data(), size, file.c_str());
    return std::to_string(n) + ":" + std::string(buf.data(), std::min<std::size_t>(n + 2u, size));
}

const char* kSample =
    "; settings\r\norphan=before any section\r\n"
    "[Main]\r\n  Name =  Plot One  \r\nquoted=\"  padded  \"\r\nsingle='x'\r\nflag\r\n"
    "\r\n; a comment = not a key\r\nname=second of a name\r\n"
    "[other]\r\n[MAIN]\r\nlate=not seen\r\n"
    "[bytes]\r\nlatin=caf\xe9\xff\r\nlast=no line end";

}  // namespace

TEST(ProfileRead, ValuesDefaultsListsAndFileShapes) {
    TempDir tmp;
    const std::string file = tmp.put("a.ini", kSample);
    const char* const cases[][3] = {
        {"main", "NAME", "Plot One"}, {"Main", "quoted", "  padded  "}, {"Main", "single", "x"},
        {"Main", "flag", "-"}, {"Main", "late", "-"},  // a key without '=' has no value; only the first [Main] counts
        {"Main", "; a comment", "-"}, {"", "orphan", "-"},
        {"bytes", "latin", "caf\xe9\xff"}, {"bytes", "last", "no line end"},
    };
    for (const auto& c : cases) EXPECT_EQ(get(file, c[0], c[1]), c[2]);
    EXPECT_EQ(get(file, "Main", "none", "fallback  \t"), "fallback");
    EXPECT_EQ(get(tmp / "missing.ini", "Main", "Name", "dflt") + get(tmp.path, "Main", "Name", "dflt"), "dfltdflt");
    EXPECT_EQ(get(file, "Main", "Name", "-", 5) + "|" + get(file, "Main", "Name", "-", 1), "Plot|");  // cut to size - 1
    // Lists count like the platform's: the last NUL not counted; one that does not fit is
    // cut to size - 2 and ends in two NULs.
    const std::string sections("17:Main\0other\0bytes\0\0", 22);
    EXPECT_EQ(list(file, nullptr), sections);
    EXPECT_EQ(list(file, "main"), std::string("24:Name\0quoted\0single\0flag\0\0", 29));
    EXPECT_EQ(list(file, nullptr, 18), sections.substr(0, 21));  // exactly fitting: the last NUL in 18
    EXPECT_EQ(list(file, nullptr, 17), std::string("15:Main\0other\0byte\0\0", 20));
    EXPECT_EQ(list(file, nullptr, 2) + list(tmp / "missing.ini", nullptr, 8), std::string("0:\0\0" "0:\0\0", 8));

    tmp.put("a.ini", "[s]\nk=" + std::string(1 << 20, 'v') + "\n[t]\nk=2\n");  // a 1 MiB line
    EXPECT_EQ(get(file, "t", "k"), "2");
    EXPECT_EQ(get(file, "s", "k", "-", (1 << 20) + 1).size(), 1u << 20);
    // A NULL default is refused (unlike the platform), as is a buffer of no size.
    char buf[8] = "keep";
    EXPECT_EQ(oxProfile_getProfileString("s", "k", nullptr, buf, 8, file.c_str()), 0);
    EXPECT_EQ(oxProfile_getProfileString("s", "k", "d", buf, 0, file.c_str()), 0);
    EXPECT_STREQ(buf, "keep");
}

TEST(ProfileWrite, ChangesOnlyTheValueKeepsEveryOtherByteAndFollowsLinks) {
    TempDir tmp;
    const std::string file = tmp.put("a.ini", kSample);
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
    EXPECT_EQ(get(file, "new", "K") + get(file, "main", "added"), "v1");
    // Refused writes (NULL arguments: see the sweep) leave the file as it is.
    for (const auto& [section, key, value] : {std::tuple{"main", "k", "two\nlines"}, {"a]b", "k", "v"}, {"main", "a=b", "v"}})
        EXPECT_EQ(oxProfile_writeProfileString(section, key, value, file.c_str()), EINVAL) << section << key;
    EXPECT_EQ(readFile(file), expected);

    // New files, LF files and links.
    const std::string fresh = tmp / "new.ini";
    ASSERT_EQ(oxProfile_writeProfileString("S", "k", "1", fresh.c_str()) + oxProfile_writeProfileString("S", "j", "2", fresh.c_str()), 0);
    EXPECT_EQ(readFile(fresh), "[S]\nk=1\nj=2\n");
    tmp.put("lf.ini", "[S]\nk=1\n\n[T]\nx=1\n");
    ASSERT_EQ(oxProfile_writeProfileString("s", "j", "2", (tmp.path + "\\lf.ini").c_str()), 0);
    EXPECT_EQ(readFile(tmp / "lf.ini"), "[S]\nk=1\nj=2\n\n[T]\nx=1\n");

    std::filesystem::create_symlink("lf.ini", tmp / "link.ini");
    ASSERT_EQ(oxProfile_writeProfileString("T", "x", "9", (tmp / "link.ini").c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(tmp / "link.ini"));
    EXPECT_EQ(get(tmp / "lf.ini", "T", "x"), "9");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path), {}), 4);  // no temporary left
}

TEST(ProfileWrite, ReadOnlyAndMissingPlacesFailCleanly) {
    TempDir tmp;
    const std::string file = tmp.put("ro.ini", "[S]\nk=1\n");
    ::chmod(file.c_str(), 0444);
    // A pipe or a device is neither waited on nor replaced by a plain file. The device is a
    // node of our own (where we may make one): a fault must not replace the real /dev/null.
    const std::string fifo = tmp / "fifo.ini", device = tmp / "null";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(get(fifo, "S", "k", "dflt"), "dflt");
    std::vector<std::pair<std::string, int>> refused{
        {file, EACCES}, {tmp / "no/such/dir.ini", ENOENT}, {tmp.path, EISDIR}, {fifo, EINVAL}};
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) refused.emplace_back(device, EINVAL);
    for (const auto& [path, result] : refused)
        EXPECT_EQ(oxProfile_writeProfileString("S", "k", "2", path.c_str()), result) << path;
    EXPECT_EQ(readFile(file), "[S]\nk=1\n");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    // A folder the writer may not write into: tried as an unprivileged user when the
    // tests run as root, who may write anywhere.
    const std::string dir = tmp / "locked";
    ::mkdir(dir.c_str(), 0755);
    ::chmod(tmp.put("locked/a.ini", "[S]\nk=1\n").c_str(), 0666);
    ::chmod(dir.c_str(), 0555);
    ::chmod(tmp.path.c_str(), 0755);
    const int status = hosttest::inChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 100;
        return oxProfile_writeProfileString("S", "k", "2", (dir + "/a.ini").c_str());
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), EACCES);
    EXPECT_EQ(readFile(dir + "/a.ini"), "[S]\nk=1\n");
}
