#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "run_tool.hpp"

using testtools::cli;
using testtools::run;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t bigEndian(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

}  // namespace

TEST(CliFiles, ColoursAsHexAndAsPicture) {
    char tmpl[] = "/tmp/orvane-clicolours-XXXXXX";
    const struct Scratch {
        std::string dir;
        ~Scratch() { std::filesystem::remove_all(dir); }
    } scratch{::mkdtemp(tmpl)};
    std::string table;
    for (int i = 0; i < 768; ++i) table += static_cast<char>(i * 5);
    const std::string full = scratch.dir + "/full.tbl", part = scratch.dir + "/part.tbl";
    std::ofstream(full, std::ios::binary) << table;
    std::ofstream(part, std::ios::binary) << "\xff\x80\x01\x10";

    auto hex = run(cli() + " colours " + full);
    EXPECT_EQ(hex.status, 0);
    EXPECT_EQ(hex.out.size(), 256u * 7);
    EXPECT_EQ(hex.out.substr(0, 14), "00050a\n0f1419\n");
    EXPECT_EQ(hex.out.substr(255 * 7), "f1f6fb\n");
    hex = run(cli() + " colours " + part + " 2>/dev/null");  // unread bytes show as 0
    EXPECT_EQ(hex.status, 0);
    EXPECT_EQ(hex.out.substr(0, 21), "ff8001\n100000\n000000\n");
    const std::string tiny = scratch.dir + "/tiny.tbl";  // shorter than one entry
    std::ofstream(tiny, std::ios::binary) << "\xab\xcd";
    hex = run(cli() + " colours " + tiny + " 2>&1");
    EXPECT_EQ(hex.status, 0);
    EXPECT_NE(hex.out.find("holds 2 of 768 bytes"), std::string::npos);
    EXPECT_NE(hex.out.find("abcd00\n000000\n"), std::string::npos);

    // An indexed picture whose palette is the table: 16 swatches of N pixels a side.
    const std::string png = scratch.dir + "/sw.png";
    ASSERT_EQ(run(cli() + " colours --png " + png + " --cell 3 " + full).status, 0);
    const std::string bytes = slurp(png);
    ASSERT_GT(bytes.size(), 33u + 12 + 768);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(bigEndian(bytes, 16), 48u);
    EXPECT_EQ(bigEndian(bytes, 20), 48u);
    EXPECT_EQ(bytes[25], 3);  // colour type: palette
    const std::size_t plte = bytes.find("PLTE");
    ASSERT_NE(plte, std::string::npos);
    EXPECT_EQ(bigEndian(bytes, plte - 4), 768u);
    EXPECT_EQ(bytes.substr(plte + 4, 768), table);

    EXPECT_EQ(run(cli() + " colours " + scratch.dir + "/missing 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " colours " + scratch.dir + " 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " colours --png " + scratch.dir + "/no/such/dir.png " + full + " 2>/dev/null").status, 1);
    EXPECT_EQ(run(cli() + " colours 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " colours --cell 0 " + full + " 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " colours --png 2>/dev/null").status, 2);
    EXPECT_EQ(run(cli() + " colours a b 2>/dev/null").status, 2);
}
