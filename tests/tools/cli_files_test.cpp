#include "host/temp_dir.hpp"
#include "run_tool.hpp"

TEST(CliFiles, ColoursAsHexAndAsPicture) {
    hosttest::TempDir tmp;
    const auto colours = [](const std::string& args) { return testtools::run(testtools::cli() + " colours " + args); };
    std::string table;
    for (int i = 0; i < 768; ++i) table += static_cast<char>(i * 5);
    const std::string full = tmp.put("full.tbl", table);
    auto hex = colours(full);
    EXPECT_EQ(hex.status, 0);
    EXPECT_EQ(hex.out.size(), 256u * 7);
    EXPECT_EQ(hex.out.substr(0, 14), "00050a\n0f1419\n");
    EXPECT_EQ(hex.out.substr(255 * 7), "f1f6fb\n");
    // Short tables (the second shorter than one entry) are told on standard error, which
    // comes first here; unread bytes show as 0.
    using Text = std::pair<std::string, std::string>;
    for (const auto& [bytes, start] :
         {Text{"\xff\x80\x01\x10", "ff8001\n100000\n000000\n"}, Text{"\xab\xcd", "abcd00\n000000\n"}}) {
        hex = colours(tmp.put("part.tbl", bytes) + " 2>&1");
        EXPECT_EQ(hex.status, 0);
        EXPECT_NE(hex.out.find("holds " + std::to_string(bytes.size()) + " of 768 bytes"), std::string::npos);
        ASSERT_GE(hex.out.size(), 256u * 7);
        EXPECT_EQ(hex.out.substr(hex.out.size() - 256 * 7, start.size()), start);
    }

    // An indexed picture whose palette is the table: 16 swatches of N pixels a side.
    ASSERT_EQ(colours("--png " + tmp / "sw.png" + " --cell 3 " + full).status, 0);
    const std::string png = hosttest::readFile(tmp / "sw.png");
    ASSERT_GT(png.size(), 33u + 12 + 768);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 14), std::string("IHDR\0\0\0\x30\0\0\0\x30\x08\x03", 14));  // 48 x 48, 8-bit palette
    const std::size_t plte = png.find("PLTE");
    ASSERT_NE(plte, std::string::npos);
    EXPECT_EQ(png.substr(plte - 4, 8 + 768), std::string("\0\0\x03\0PLTE", 8) + table);

    const std::pair<std::string, int> failures[] = {
        {tmp / "missing", 1}, {tmp.path, 1}, {"--png " + tmp / "no/such/dir.png " + full, 1}, {"", 2},
        {"--cell 0 " + full, 2}, {"--png", 2}, {"a b", 2},
    };
    for (const auto& [args, status] : failures) EXPECT_EQ(colours(args + " 2>/dev/null").status, status) << args;
}
