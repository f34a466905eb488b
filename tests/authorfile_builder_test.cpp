#include "author_file_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

using authorfile::block_size;
using authorfile::BuildError;
using authorfile::Builder;
using authorfile::Bytes;

constexpr std::size_t header_size = 13;

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Both headers of a block of author 12 whose current work is `work`.
Bytes block_headers(int work) {
  const auto digit = [](int d) { return static_cast<unsigned char>(0xB0 + d); };
  return {0xEF, 0x80, 0xB0, 0xB0, 0xB1, 0xB2, 0xFF, 0xEF, 0x81, digit(work / 100), digit(work / 10 % 10),
          digit(work % 10), 0xFF};
}

// The content of block k: what lies between the headers and the closing FE (or F0 FE),
// after checking that only zeros follow the closing bytes.
Bytes block_content(const Bytes& file, std::size_t k) {
  const auto begin = file.begin() + static_cast<std::ptrdiff_t>(k * block_size);
  const auto end = begin + block_size;
  const auto fe = std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(begin),
                               [](unsigned char b) { return b != 0; }).base() - 1;
  EXPECT_EQ(*fe, 0xFE) << "block " << k;
  const bool last = (k + 1) * block_size == file.size();
  EXPECT_EQ(last, *(fe - 1) == 0xF0) << "block " << k;
  return Bytes(begin + header_size, last ? fe - 1 : fe);
}

std::vector<Bytes> contents(const Bytes& file) {
  EXPECT_EQ(file.size() % block_size, 0u);
  std::vector<Bytes> result;
  for (std::size_t k = 0; k * block_size < file.size(); ++k) result.push_back(block_content(file, k));
  return result;
}

Bytes start_headers(const Bytes& file, std::size_t k) {
  const auto begin = file.begin() + static_cast<std::ptrdiff_t>(k * block_size);
  return Bytes(begin, begin + header_size);
}

// Plans read "w2" (start work 2), "b" (fresh block) or a unit size; units are filled with 'A'.
struct LayoutCase {
  const char* name;
  const char* plan;
  std::vector<std::size_t> content_sizes;
  std::vector<int> start_works;
};

Bytes build_plan(const char* plan) {
  Builder builder(12);
  std::istringstream steps(plan);
  for (std::string step; steps >> step;) {
    if (step == "b") {
      builder.block();
    } else if (step[0] == 'w') {
      builder.work(std::stoi(step.substr(1)));
    } else {
      builder.raw(Bytes(std::stoul(step), 'A'));
    }
  }
  return builder.finish();
}

TEST(AuthorFileLayout, PlacesUnitsAndWorkHeadersByTheRoomLeft) {
  const LayoutCase cases[] = {
      {"a block that is not last fills to its last byte", "w1 8000 178 10", {8178, 10}, {1, 1}},
      {"the last block keeps room for F0 FE", "w1 8000 178", {8000, 178}, {1, 1}},
      {"the last block fills up to F0 FE", "w1 8000 177", {8177}, {1}},
      {"inline work header fits with its first unit", "w1 8000 w2 172 10", {8178, 10}, {1, 2}},
      {"work moves to the next block with its first unit", "w1 8000 w2 173 10", {8000, 183}, {1, 2}},
      {"empty works keep just their headers", "w1 10 w2 w3 10 w4", {38}, {1}},
      {"~block starts the next unit at a fresh block", "w1 10 b 10", {10, 10}, {1, 1}},
      {"~block before a work makes its start header the work's", "w1 10 b w2 10", {10, 10}, {1, 2}},
      {"an oversized unit is cut at each block's end", "w1 10 20000", {10, 8178, 8178, 3644}, {1, 1, 1, 1}},
      {"three-digit works, inline and at block starts", "w7 8000 w305 10 b 10 b w999 10", {8016, 10, 10}, {7, 305, 999}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = build_plan(c.plan);
    std::vector<std::size_t> sizes;
    for (const Bytes& content : contents(file)) sizes.push_back(content.size());
    EXPECT_EQ(sizes, c.content_sizes);
    for (std::size_t k = 0; k < c.start_works.size() && k < sizes.size(); ++k) {
      EXPECT_EQ(start_headers(file, k), block_headers(c.start_works[k])) << "block " << k;
    }
  }
}

TEST(AuthorFileTranslate, TurnsEscapesIntoBytes) {
  const struct {
    std::string_view text;
    Bytes bytes;
  } cases[] = {
      {"MH=NIN A)/EIDE", bytes_of("MH=NIN A)/EIDE")},
      {"a~~b", bytes_of("a~b")},
      {"~[z 1 line 1]MH", {0x91, 0x81, 'M', 'H'}},
      {"~[line 0]", {0x88, 0x80}},
      {"~[line 7]~[line 8]", {0x87, 0x88, 0x88}},
      {"~[line 12]", {0x88, 0x8C}},
      {"~[line 127]~[line 128]", {0x88, 0xFF, 0x8B, 0x81, 0x80}},
      {"~[line 200]", {0x8B, 0x81, 0xC8}},
      {"~[line 16383]", {0x8B, 0xFF, 0xFF}},
      {"~[x 3 y 130]", {0xB3, 0xAB, 0x81, 0x82}},
      {"~[ytext Prol]", {0xAF, 0xD0, 0xF2, 0xEF, 0xEC, 0xFF}},
      {"~[ztext 1a]", {0x9F, 0xB1, 0xE1, 0xFF}},
      {"a~[ B1 ff\t80 ]b", {'a', 0xB1, 0xFF, 0x80, 'b'}},
      {"~[]", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(authorfile::translate(c.text), c.bytes) << c.text;
}

TEST(AuthorFileTranslate, RejectsMalformedEscapes) {
  for (const char* text : {"~", "A~B", "~[line 1", "~[line]", "~[line 16384]", "~[line -1]", "~[line 1x]",
                           "~[q 1]", "~[B]", "~[1FF]", "~[ytext]", "~[ytext \xCE\xB1]"}) {
    EXPECT_THROW(authorfile::translate(text), BuildError) << text;
  }
}

TEST(AuthorFileSource, BuildsWhatTheBuilderBuilds) {
  const std::string source =
      "~# a comment\n~author 12\n\n~work 1\r\n~[z 1 line 1]MH=NIN\n  \n~[line 2]OU)LOME/NHN\n"
      "~block\n~work 2\n~[z 1 line 1]A)/NDRA\n";
  const Bytes expected = Builder(12)
                             .work(1)
                             .unit("~[z 1 line 1]MH=NIN")
                             .unit("~[line 2]OU)LOME/NHN")
                             .block()
                             .work(2)
                             .unit("~[z 1 line 1]A)/NDRA")
                             .finish();
  EXPECT_EQ(authorfile::build(source), expected);
  EXPECT_EQ(authorfile::single_work("~[z 1 line 1]MH=NIN\n~[line 2]OU)LOME/NHN\n", 12, 1),
            Builder(12).work(1).unit("~[z 1 line 1]MH=NIN").unit("~[line 2]OU)LOME/NHN").finish());
}

TEST(AuthorFileSource, LaysOutASmallFileExactly) {
  const Bytes file = authorfile::build("~author 12\n~work 1\n~[line 2]MH\n");
  Bytes expected = block_headers(1);
  expected.insert(expected.end(), {0x82, 'M', 'H', 0xF0, 0xFE});
  expected.resize(block_size, 0);
  EXPECT_EQ(file, expected);
}

TEST(AuthorFileBuilder, RejectsNumbersOutOfRangeAndMissingWorks) {
  EXPECT_THROW(Builder(-1), BuildError);
  EXPECT_THROW(Builder(10000), BuildError);
  EXPECT_THROW(Builder(1).work(1000), BuildError);
  EXPECT_THROW(Builder(1).raw({'A'}), BuildError);
  EXPECT_THROW(Builder(1).block().finish(), BuildError);
}

}  // namespace
