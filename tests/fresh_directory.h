// What the tests on disk share: a fixture that runs each test in a fresh
// directory of its own with a corpus/ folder, and the files they read back.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace scrivel::testing {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline std::set<std::string> files_in(const std::filesystem::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.insert(entry.path().filename().string());
  return names;
}

class InFreshDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    previous_ = fs::current_path();
    directory_ = fs::temp_directory_path() / ("scrivel-" + std::string(test->test_suite_name()) + "-" +
                                              std::to_string(::getpid()) + "-" + test->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_ / "corpus");
    fs::current_path(directory_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(directory_);
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path directory_;
};

}  // namespace scrivel::testing
