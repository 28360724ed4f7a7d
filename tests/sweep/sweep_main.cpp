// Runs the sweep inside a temp folder of its own, so the functions that create or
// write files (directories, profiles, streams) leave nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace {

class TempFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chdir(pattern), 0);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::filesystem::path dir_;
};

const auto* const kTempFolder = ::testing::AddGlobalTestEnvironment(new TempFolder);

}  // namespace
