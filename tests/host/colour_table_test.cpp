#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "orvane.h"

namespace {

using Table = std::array<unsigned char, TQ_COLOUR_TABLE_BYTES>;

// Reads `bytes` as a table file into an array prefilled with 0xEE, inside a larger block
// whose bytes past the 768 must stay as they were.
Table load(const std::string& dir, const std::string& bytes) {
    const std::string path = dir + "/table.tbl";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    std::array<unsigned char, TQ_COLOUR_TABLE_BYTES + 64> block;
    block.fill(0xEE);
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(block.data(), path.c_str()), 0);
    for (std::size_t i = TQ_COLOUR_TABLE_BYTES; i < block.size(); ++i) EXPECT_EQ(block[i], 0xEE) << i;
    Table t;
    std::copy_n(block.begin(), t.size(), t.begin());
    return t;
}

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + 1);
    return s;
}

}  // namespace

TEST(ColourTable, ShortFullAndLongFiles) {
    char name[] = "/tmp/orvane-colours-XXXXXX";
    const std::string dir = ::mkdtemp(name);
    // 1 and 2 bytes: shorter than one entry, only those bytes of entry 0 change.
    for (std::size_t size : {0u, 1u, 2u, 4u, 6u, 767u, 768u, 1000u}) {
        SCOPED_TRACE(size);
        const std::string bytes = pattern(size);
        const Table t = load(dir, bytes);
        for (std::size_t i = 0; i < t.size(); ++i)  // read bytes in place, the rest untouched
            ASSERT_EQ(t[i], i < size ? static_cast<unsigned char>(bytes[i]) : 0xEE) << i;
    }

    Table t;
    t.fill(0xEE);
    const Table before = t;
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(t.data(), (dir + "/missing").c_str()), 0);
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(t.data(), dir.c_str()), 0);  // a folder
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(t.data(), nullptr), 0);
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(nullptr, (dir + "/table.tbl").c_str()), 0);
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(t.data(), fifo.c_str()), 0);  // no wait for a writer
    EXPECT_EQ(t, before);

    // A writer holding the file locked keeps the reader out.
    const std::string locked = dir + "/table.tbl";
    const int fd = ::open(locked.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    EXPECT_EQ(msapiFile_readColourTableToRGBArray(t.data(), locked.c_str()), 0);
    EXPECT_EQ(t, before);
    ::close(fd);
    std::filesystem::remove_all(dir);
}
