// Finding a work in the author file: where works begin, what the search
// refuses, and how little of the file it reads on the way.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>

#include "author_file_builder.h"
#include "conversion.h"
#include "files.h"
#include "input/work_list.h"
#include "scrivel.h"

namespace scrivel::testing {
namespace {

using authorfile::block_size;
using authorfile::Builder;
using authorfile::Bytes;

std::string repeat(const std::string& s, int n) {
  std::string all;
  for (int i = 0; i < n; ++i) all += s;
  return all;
}

// A unit that fills most of a block, so that the next one opens a new block.
std::string long_unit(char letter) { return std::string(6000, letter); }

std::size_t header_offset(const Bytes& file, int work, std::size_t from = 7) {
  const unsigned char header[] = {0xEF, 0x81, static_cast<unsigned char>(0xB0 + work / 100),
                                  static_cast<unsigned char>(0xB0 + work / 10 % 10),
                                  static_cast<unsigned char>(0xB0 + work % 10)};
  return std::search(file.begin() + from, file.end(), std::begin(header), std::end(header)) - file.begin();
}

// Each work opens with `"9`, whose Error 104 names the offset two bytes on:
// the decoding began right after the work's header.
std::string opening_error(std::size_t header) {
  char text[48];
  std::snprintf(text, sizeof text, "Error 104: after \", offset:%zX\n", header + 8);
  return text;
}

TEST(WorkSearch, FindsWorksWhereverTheyBegin) {
  // Work 2 begins inside block 0 and runs into block 1, whose start header
  // already shows it; work 3 begins inside the last block; work 4 opens a
  // block of its own, so the block before it holds no header of it.
  const Bytes file = authorfile::build("~author 1\n~work 1\n\"9A\n~work 2\n\"9" + long_unit('B') + "\n" + long_unit('G') +
                                       "\n~work 3\n\"9D\n~block\n~work 4\n\"9" + long_unit('Z') + "\n~work 5\n\"9Q\n");
  ASSERT_EQ(file.size(), 3 * block_size);
  const struct {
    int work;
    std::size_t header;
    std::string body;
  } cases[] = {
      {1, 7, "α"},
      {2, header_offset(file, 2), repeat("β", 6000) + repeat("γ", 6000)},
      {3, header_offset(file, 3), "δ"},
      {4, 2 * block_size + 7, repeat("ζ", 6000)},
      {5, header_offset(file, 5), "θ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.work);
    const Conversion result = convert(file, Format::html, 1, c.work);
    EXPECT_EQ(result.outcome.status, 0);
    EXPECT_EQ(notes_of(result.messages), opening_error(c.header));
    EXPECT_EQ(body_of(result.document, Format::html), c.body);
  }
  // The same file cut short after work 5's first letter: its last block is short.
  const Bytes cut(file.begin(), file.begin() + header_offset(file, 5) + 9);
  EXPECT_TRUE(notes_of(convert(cut, Format::html, 1, 5).messages).starts_with(opening_error(header_offset(file, 5))));
}

// The first work's header opens block 0, and block 1's start header names it
// again: the work is read from block 0.
TEST(WorkSearch, ReadsAFirstWorkThatRunsOnFromItsStart) {
  const Bytes file = Builder(1).work(1).unit("A").unit(long_unit('B')).unit(long_unit('G')).work(2).unit("D").finish();
  EXPECT_EQ(body_of(convert(file, Format::html, 1, 1).document, Format::html),
            "α" + repeat("β", 6000) + repeat("γ", 6000));
}

// A walk that runs off the file's end, every block's number being below the
// one wanted, finds no block of its own either: not even for work -1.
TEST(WorkSearch, ReportsAWorkThatIsNotThere) {
  const Bytes file = Builder(1).work(2).unit("A").work(4).unit("B").finish();
  Bytes below = Builder(1).work(1).unit("A").finish();
  below[10] = 0xAF;  // the digits 0, -1, 1 of the start header: work -9
  for (const auto& [searched, work] :
       std::vector<std::pair<Bytes, int>>{{file, 0}, {file, -3}, {file, 3}, {file, 5}, {file, 999}, {below, -1}}) {
    SCOPED_TRACE(work);
    const Conversion result = convert(searched, Format::html, 1, work);
    EXPECT_EQ(result.outcome.status, 0);
    EXPECT_EQ(result.outcome.reports.fatal_error, 3);
    EXPECT_EQ(notes_of(result.messages), "Error 003: EF 81 not found (wrong work-number?)\n");
    EXPECT_EQ(result.document, "");
  }
}

TEST(WorkSearch, RefusesABlockWithoutItsStartHeader) {
  Bytes file = Builder(1).work(1).unit(long_unit('A')).unit(long_unit('B')).work(2).unit("C").finish();
  const auto error_of = [](const Bytes& f, int work) {
    const Conversion result = convert(f, Format::html, 1, work);
    EXPECT_EQ(result.outcome.status, 1);
    return notes_of(result.messages);
  };
  EXPECT_EQ(error_of(Bytes(file.begin(), file.begin() + 5), 1), "Error 001: Unexpected data, count=7\n");
  EXPECT_EQ(error_of({}, 1), "Error 001: Unexpected data, count=7\n");
  file[block_size + 8] = 0x41;
  EXPECT_EQ(error_of(file, 2), "Error 001: Unexpected data, count=2007\n");
  file[8] = 0x41;
  EXPECT_EQ(error_of(file, 1), "Error 001: Unexpected data, count=7\n");
}

// The numbers of the works that the list of works holds.
std::vector<int> listed(const Bytes& file) {
  std::vector<int> works;
  for (const ListedWork& work : list_works(to_string(file)).works) works.push_back(work.work);
  return works;
}

TEST(WorkSearch, LooksOnlyAtWholeHeadersInTheBytesOfTheBlock) {
  const std::string not_found = "Error 003: EF 81 not found (wrong work-number?)\n";
  // A header of work 2 must end before the block's last byte, for the
  // search and for the list of works alike.
  Bytes file = Builder(1).work(1).unit("A").finish();
  const unsigned char late_header[] = {0xEF, 0x81, 0xB0, 0xB0, 0xB2};
  std::copy(std::begin(late_header), std::end(late_header), file.begin() + 8187);
  EXPECT_EQ(notes_of(convert(file, Format::html, 1, 2).messages), not_found);
  EXPECT_EQ(listed(file), std::vector<int>{1});
  std::copy(std::begin(late_header), std::end(late_header), file.begin() + 8186);
  EXPECT_EQ(notes_of(convert(file, Format::html, 1, 2).messages).find(not_found), std::string::npos);
  EXPECT_EQ(listed(file), (std::vector<int>{1, 2}));
  // An EF just before a header's own EF hides nothing.
  file[8185] = 0xEF;
  EXPECT_EQ(notes_of(convert(file, Format::html, 1, 2).messages).find(not_found), std::string::npos);
  EXPECT_EQ(listed(file), (std::vector<int>{1, 2}));

  // Block 0 holds a header of work 2 at index 20, which the walk read into
  // the buffer; the last block is only 13 bytes long and says work 1. What
  // stands in the buffer beyond those 13 bytes is not that block's data.
  file = Builder(1).work(1).unit("AAAAAAA").work(2).unit("B").finish();
  ASSERT_EQ(header_offset(file, 2), 20u);
  const Bytes block_start(file.begin(), file.begin() + 13);
  file.resize(block_size);
  file.insert(file.end(), block_start.begin(), block_start.end());
  EXPECT_EQ(notes_of(convert(file, Format::html, 1, 2).messages), not_found);
}

// An author file in memory that counts the bytes read of each block, and
// whose seeks may fail after a number of them.
class RecordingInput : public InputFile {
 public:
  explicit RecordingInput(const Bytes& file) : data_(to_string(file)), input_(data_) {}
  bool seek(std::uint64_t offset) override {
    if (seeks_left == 0) return false;
    --seeks_left;
    position_ = offset;
    return input_.seek(offset);
  }
  std::size_t read(unsigned char* dest, std::size_t n) override {
    const std::size_t got = input_.read(dest, n);
    for (std::size_t i = 0; i < got; ++i) ++bytes_read[(position_ + i) / block_size];
    position_ += got;
    return got;
  }

  std::map<std::uint64_t, std::size_t> bytes_read;  // by block
  int seeks_left = -1;                              // -1: no limit

 private:
  std::string data_;
  MemoryInput input_;
  std::uint64_t position_ = 0;
};

// Work 1 fills blocks 0 to 19; work 2 begins inside block 19 and runs
// through blocks 20 and 21, where work 3 begins.
Bytes many_blocks() {
  Builder builder(1);
  builder.work(1);
  for (int i = 0; i < 20; ++i) builder.unit(long_unit('A'));
  return builder.work(2).unit("B").unit(long_unit('G')).unit(long_unit('D')).work(3).unit("Z").finish();
}

Conversion convert_recorded(RecordingInput& input, int work) {
  MemoryFiles documents;
  std::ostringstream messages;
  Conversion result;
  result.outcome = convert(input, {1, work, Format::html, Normalization::none, "tlg0001.txt", {}, {}}, documents, messages);
  result.messages = messages.str();
  if (!documents.outputs.empty()) result.document = documents.outputs.begin()->second;
  return result;
}

TEST(WorkSearch, ReadsOnlyTheStartOfEachBlockBeforeTheWork) {
  const Bytes file = many_blocks();
  ASSERT_EQ(file.size(), 22 * block_size);
  ASSERT_EQ(header_offset(file, 2) / block_size, 19u);
  RecordingInput input(file);
  const Conversion result = convert_recorded(input, 2);
  EXPECT_EQ(result.outcome.status, 0);
  EXPECT_EQ(result.messages, "reading tlg0001.txt work 2\n3 blocks were read\n");
  EXPECT_EQ(body_of(result.document, Format::html), "β" + repeat("γ", 6000) + repeat("δ", 6000));
  for (std::uint64_t block = 0; block < 19; ++block) EXPECT_LE(input.bytes_read[block], 32u) << "block " << block;
  EXPECT_GE(input.bytes_read[19], block_size);  // the block where the work begins, loaded whole
}

TEST(WorkSearch, ReportsASeekThatFails) {
  // The walk seeks blocks 1 to 20; the seek back to block 19 fails.
  RecordingInput input(many_blocks());
  input.seeks_left = 20;
  const Conversion result = convert_recorded(input, 2);
  EXPECT_EQ(result.outcome.status, 1);
  EXPECT_EQ(result.outcome.reports.fatal_error, 2);
  EXPECT_EQ(result.messages, "reading tlg0001.txt work 2\nError 002: cannot 'fseek' at 26000\n");
  EXPECT_EQ(result.document, "");
}

}  // namespace
}  // namespace scrivel::testing
