#include <gtest/gtest.h>

#include "orvane.h"
#include "temp_dir.hpp"

// Each table is read into a block prefilled with 0xEE: the bytes read land in place, and
// the rest (past the 768 too) stay as they were.
TEST(ColourTable, ShortFullLongAndUnreadableFiles) {
    hosttest::TempDir tmp;
    const std::vector<unsigned char> untouched(TQ_COLOUR_TABLE_BYTES + 64, 0xEE);
    const auto load = [&](const char* path) {
        std::vector<unsigned char> block = untouched;
        EXPECT_EQ(msapiFile_readColourTableToRGBArray(block.data(), path), 0);
        return block;
    };
    for (std::size_t size : {0u, 1u, 2u, 4u, 6u, 767u, 768u, 1000u}) {  // 1 and 2: shorter than one entry
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 1);
        std::vector<unsigned char> expected = untouched;
        std::copy_n(bytes.begin(), std::min<std::size_t>(size, TQ_COLOUR_TABLE_BYTES), expected.begin());
        EXPECT_EQ(load(tmp.put("table.tbl", bytes).c_str()), expected) << size;
    }
    // A missing file, a folder, a pipe (not waited on), no name (the sweep has the rest of NULL),
    // and a file that a writer holds locked.
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    const int fd = ::open((tmp / "table.tbl").c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &lock), 0);
    for (const std::string& path : {tmp / "missing", tmp.path, tmp / "fifo", std::string(), tmp / "table.tbl"})
        EXPECT_EQ(load(path.empty() ? nullptr : path.c_str()), untouched) << path;
    ::close(fd);
}
