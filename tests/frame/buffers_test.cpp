#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "orvane.h"

TEST(Buffers, CallocGivesZeroedBlockOfFullRequest) {
    unsigned obtained = 77;
    EXPECT_EQ(tqMisc_callocBuffer(0, &obtained), nullptr);
    EXPECT_EQ(obtained, 77u);  // a zero request leaves the count alone

    void* block = tqMisc_callocBuffer(1000, &obtained);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 1000u);
    EXPECT_EQ(tqMisc_isDataNull(static_cast<unsigned char*>(block), 1000), 1);
    tqMisc_freeBuffer(&block);
    EXPECT_EQ(block, nullptr);
}

TEST(Buffers, ReallocKeepsContentsAndStartsFresh) {
    unsigned obtained = 0;
    void* block = tqMisc_reallocBuffer(nullptr, 100, &obtained);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 100u);
    std::memset(block, 'x', 100);
    block = tqMisc_reallocBuffer(block, 1 << 20, &obtained);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 1u << 20);
    const std::vector<char> expected(100, 'x');
    EXPECT_EQ(std::memcmp(block, expected.data(), 100), 0);
    block = tqMisc_reallocBuffer(block, 10, &obtained);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block, "xxxxxxxxxx", 10), 0);
    EXPECT_EQ(tqMisc_freeBuffer(&block), 0);
}

TEST(Buffers, FreeIsHarmlessOnNullAndTwice) {
    EXPECT_EQ(tqMisc_freeBuffer(nullptr), 0);
    void* none = nullptr;
    EXPECT_EQ(tqMisc_freeBuffer(&none), 0);
    unsigned obtained;
    void* block = tqMisc_callocBuffer(8, &obtained);
    EXPECT_EQ(tqMisc_freeBuffer(&block), 0);
    EXPECT_EQ(tqMisc_freeBuffer(&block), 0);
    EXPECT_EQ(block, nullptr);
}

TEST(Buffers, IsDataNullExaminesEveryByte) {
    unsigned char bytes[4097] = {};
    EXPECT_EQ(tqMisc_isDataNull(nullptr, 10), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, 0), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, -5), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, 10), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, 1), 1);
    for (int pos : {0, 1, 9, 4096}) {
        bytes[pos] = 0x80;
        EXPECT_EQ(tqMisc_isDataNull(bytes, pos + 1), 0) << pos;
        EXPECT_EQ(tqMisc_isDataNull(bytes, pos), 1) << pos;  // the byte lies outside
        bytes[pos] = 0;
    }
}
