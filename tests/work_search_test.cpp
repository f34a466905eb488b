// Finding a work in the author file, and handing out its bytes across blocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "author_file_builder.h"
#include "files.h"
#include "input/byte_source.h"
#include "conversion.h"

namespace scrivel::testing {
namespace {

using authorfile::Builder;
using authorfile::Bytes;

// A unit that fills most of a block, so that the next one opens a new block.
std::string long_unit(char letter) { return std::string(6000, letter); }

// A byte source over an author file held in memory, its messages captured.
struct SourceOver {
  explicit SourceOver(const Bytes& file) : input(open(files, file)), source(*input, messages) {}
  static std::unique_ptr<InputFile> open(MemoryFiles& files, const Bytes& file) {
    files.inputs["f"] = to_string(file);
    return files.open_input("f");
  }

  MemoryFiles files;
  std::unique_ptr<InputFile> input;
  std::ostringstream out;
  Messages messages{out};
  ByteSource source;
};

struct Search {
  bool found;
  std::uint32_t count;
  int bo;
  std::string messages;
};

Search search(const Bytes& file, int work) {
  SourceOver s(file);
  try {
    const bool found = s.source.find_work(work);
    return {found, s.source.count, s.source.bo, s.out.str()};
  } catch (const FatalExit&) {
    return {false, 0, -1, s.out.str()};
  }
}

std::uint32_t header_offset(const Bytes& file, int work, std::size_t from = 0) {
  const unsigned char header[] = {0xEF, 0x81, static_cast<unsigned char>(0xB0 + work / 100),
                                  static_cast<unsigned char>(0xB0 + work / 10 % 10),
                                  static_cast<unsigned char>(0xB0 + work % 10)};
  const auto at = std::search(file.begin() + from, file.end(), std::begin(header), std::end(header));
  return static_cast<std::uint32_t>(at - file.begin());
}

TEST(WorkSearch, FirstWorkStartsAtItsBlockHeader) {
  const Search s = search(Builder(1).work(1).unit("A").finish(), 1);
  EXPECT_TRUE(s.found);
  EXPECT_EQ(s.bo, 6);
  EXPECT_EQ(s.count, 6u);
}

TEST(WorkSearch, FindsWorksWhereverTheyBegin) {
  // Work 2 begins inside block 0 and runs into block 1, whose start header
  // already shows it; work 3 begins inside the last block; work 4 opens a
  // block of its own, so the block before it holds no header of it.
  const Bytes file = Builder(1)
                         .work(1).unit("A")
                         .work(2).unit(long_unit('B')).unit(long_unit('C'))
                         .work(3).unit("D")
                         .block().work(4).unit(long_unit('E'))
                         .work(5).unit("F")
                         .finish();
  ASSERT_EQ(file.size(), 3 * authorfile::block_size);
  for (const int work : {2, 3, 5}) {
    SCOPED_TRACE(work);
    const Search s = search(file, work);
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.count + 1, header_offset(file, work, 7));
  }
  // The same file cut short after work 5's first letter: its last block is short.
  const Bytes cut(file.begin(), file.begin() + header_offset(file, 5, 7) + 7);
  EXPECT_TRUE(search(cut, 5).found);
  const Search at_block_start = search(file, 4);
  EXPECT_TRUE(at_block_start.found);
  EXPECT_EQ(at_block_start.count, 2 * 8192u + 6);
  EXPECT_EQ(at_block_start.bo, 6);
}

TEST(WorkSearch, ReportsAWorkThatIsNotThere) {
  const Bytes file = Builder(1).work(2).unit("A").work(4).unit("B").finish();
  for (const int work : {0, -3, 3, 5, 999}) {
    SCOPED_TRACE(work);
    const Search s = search(file, work);
    EXPECT_FALSE(s.found);
    EXPECT_EQ(s.messages, "Error 003: EF 81 not found (wrong work-number?)\n");
  }
}

TEST(WorkSearch, RefusesABlockWithoutItsStartHeader) {
  Bytes file = Builder(1).work(1).unit(long_unit('A')).unit(long_unit('B')).work(2).unit("C").finish();
  EXPECT_EQ(search(Bytes(file.begin(), file.begin() + 5), 1).messages, "Error 001: Unexpected data, count=7\n");
  EXPECT_EQ(search({}, 1).messages, "Error 001: Unexpected data, count=7\n");
  file[8192 + 8] = 0x41;
  EXPECT_EQ(search(file, 2).messages, "Error 001: Unexpected data, count=2007\n");
  file[8] = 0x41;
  EXPECT_EQ(search(file, 1).messages, "Error 001: Unexpected data, count=7\n");
}

TEST(WorkSearch, IgnoresAHeaderTooNearTheBlockEnd) {
  Bytes file = Builder(1).work(1).unit("A").finish();
  const unsigned char late_header[] = {0xEF, 0x81, 0xB0, 0xB0, 0xB2};
  std::copy(std::begin(late_header), std::end(late_header), file.begin() + 8187);
  EXPECT_FALSE(search(file, 2).found);
  std::copy(std::begin(late_header), std::end(late_header), file.begin() + 8186);
  EXPECT_TRUE(search(file, 2).found);
}

TEST(WorkSearch, LooksOnlyAtTheBytesOfAShortLastBlock) {
  // Block 0 holds a header of work 2 at index 20, which the walk read into
  // the buffer; the last block is only 13 bytes long and says work 1. What
  // stands in the buffer beyond those 13 bytes is not that block's data.
  Bytes file = Builder(1).work(1).unit("AAAAAAA").work(2).unit("B").finish();
  ASSERT_EQ(header_offset(file, 2, 7), 20u);
  const Bytes block_start(file.begin(), file.begin() + 13);
  file.resize(8192);
  file.insert(file.end(), block_start.begin(), block_start.end());
  EXPECT_FALSE(search(file, 2).found);
}

TEST(ByteSource, HandsOutBytesAcrossBlocksKeepingTheOffset) {
  const Bytes file = Builder(1).work(1).unit(long_unit('A')).unit(long_unit('B')).finish();
  SourceOver s(file);
  ByteSource& source = s.source;
  ASSERT_TRUE(source.find_work(1));
  byte c = 0;
  for (std::uint32_t offset = 7; offset < 8192 + 20; ++offset) {
    source.getnextc(&c);
    ASSERT_EQ(source.count, offset);
    ASSERT_EQ(c, file[offset]);
  }
  EXPECT_EQ(source.blocks_read, 1);
}

TEST(ByteSource, StopsAtTheEndOfTheData) {
  Bytes file = Builder(1).work(1).unit("AB").finish();
  file.resize(15);  // the headers and "AB", then nothing: a short last block
  SourceOver s(file);
  ByteSource& source = s.source;
  ASSERT_TRUE(source.find_work(1));
  byte c = 0;
  for (int i = 7; i < 15; ++i) source.getnextc(&c);
  EXPECT_EQ(c, 'B');
  EXPECT_THROW(source.getnextc(&c), EndOfData);
  EXPECT_EQ(source.count, 14u);
  EXPECT_EQ(source.blocks_read, 0);
}

}  // namespace
}  // namespace scrivel::testing
