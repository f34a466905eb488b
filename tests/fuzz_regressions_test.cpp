// Every input in fuzz/regressions/ (see its README), replayed: each must
// convert into sound documents, list soundly or read as sound tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz_support.h"

namespace scrivel::fuzzing {
namespace {

std::vector<std::filesystem::path> inputs_in(const std::string& target) {
  std::vector<std::filesystem::path> inputs;
  const std::filesystem::path directory = std::filesystem::path(SCRIVEL_FUZZ_DIR) / "regressions" / target;
  if (std::filesystem::is_directory(directory))
    for (const auto& entry : std::filesystem::directory_iterator(directory)) inputs.push_back(entry.path());
  EXPECT_FALSE(inputs.empty()) << "no inputs to replay in " << directory;
  return inputs;
}

std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(FuzzRegressions, AuthorFiles) {
  for (const auto& path : inputs_in("author_file")) {
    const std::string file = read_bytes(path);
    EXPECT_EQ(conversion_fault(file, first_work_number(file)), "") << path;
  }
}

TEST(FuzzRegressions, WorkContents) {
  for (const auto& path : inputs_in("work_content")) {
    const authorfile::Bytes file = lay_out_content(read_bytes(path));
    EXPECT_EQ(conversion_fault(as_text(file.data(), file.size()), 1), "") << path;
  }
}

TEST(FuzzRegressions, Listings) {
  for (const auto& path : inputs_in("list")) EXPECT_EQ(listing_fault(read_bytes(path)), "") << path;
}

TEST(FuzzRegressions, MetadataTables) {
  for (const auto& path : inputs_in("metadata")) EXPECT_EQ(metadata_fault(read_bytes(path)), "") << path;
}

}  // namespace
}  // namespace scrivel::fuzzing
