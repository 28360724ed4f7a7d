#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "orvane.h"

// The heap meets these requests in full; tests/frame/alloc_failure_test.cpp covers a
// heap that refuses.
TEST(Buffers, AllocateResizeAndFree) {
    unsigned obtained = 77;
    EXPECT_EQ(tqMisc_callocBuffer(0, &obtained), nullptr);
    EXPECT_EQ(obtained, 77u);  // a zero request leaves the count alone
    void* block = tqMisc_callocBuffer(1000, &obtained);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 1000u);
    EXPECT_EQ(tqMisc_isDataNull(static_cast<unsigned char*>(block), 1000), 1);
    std::memset(block, 'x', 1000);
    block = tqMisc_reallocBuffer(block, 1 << 20, &obtained);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 1u << 20);
    EXPECT_EQ(std::string(static_cast<char*>(block), 1000), std::string(1000, 'x'));
    EXPECT_EQ(tqMisc_freeBuffer(&block), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(tqMisc_freeBuffer(&block), 0);  // twice is harmless
    EXPECT_EQ(tqMisc_freeBuffer(nullptr), 0);
    block = tqMisc_reallocBuffer(nullptr, 100, &obtained);  // a fresh block
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(obtained, 100u);
    tqMisc_freeBuffer(&block);
}

TEST(Buffers, IsDataNullExaminesEveryByte) {
    unsigned char bytes[4097] = {};
    EXPECT_EQ(tqMisc_isDataNull(nullptr, 10), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, 0), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, -5), 1);
    EXPECT_EQ(tqMisc_isDataNull(bytes, 1), 1);
    for (int pos : {0, 1, 9, 4096}) {
        bytes[pos] = 0x80;
        EXPECT_EQ(tqMisc_isDataNull(bytes, pos + 1), 0) << pos;
        EXPECT_EQ(tqMisc_isDataNull(bytes, pos), 1) << pos;  // the byte lies outside
        bytes[pos] = 0;
    }
}
