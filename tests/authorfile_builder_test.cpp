// The builder that every other test makes its author files and tables with:
// a wrong byte here would have those tests agree with a wrong converter.

#include "author_file_builder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

using authorfile::block_size;
using authorfile::Builder;
using authorfile::Bytes;

// Bytes spelled as two-digit hex numbers and 'quoted ASCII', separated by blanks.
Bytes spelled(std::string_view spelling) {
  Bytes bytes;
  for (std::size_t pos = 0; (pos = spelling.find_first_not_of(' ', pos)) != std::string_view::npos;) {
    if (spelling[pos] == '\'') {
      const std::size_t close = spelling.find('\'', pos + 1);
      bytes.insert(bytes.end(), spelling.begin() + pos + 1, spelling.begin() + close);
      pos = close + 1;
    } else {
      bytes.push_back(static_cast<unsigned char>(std::stoul(std::string(spelling.substr(pos, 2)), nullptr, 16)));
      pos += 2;
    }
  }
  return bytes;
}

TEST(AuthorFileTranslate, TurnsEscapesIntoBytes) {
  const std::pair<std::string_view, Bytes> cases[] = {
      {"MH=NIN A)/EIDE", spelled("'MH=NIN A)/EIDE'")},
      {"a~~b", spelled("'a~b'")},
      {"~[z 1 line 1]MH", {0x91, 0x81, 'M', 'H'}},
      {"~[line 0]", {0x88, 0x80}},
      {"~[line 7]~[line 8]", {0x87, 0x88, 0x88}},
      {"~[line 127]~[line 128]", {0x88, 0xFF, 0x8B, 0x81, 0x80}},
      {"~[line 16383]", {0x8B, 0xFF, 0xFF}},
      {"~[x 3 y 130]", {0xB3, 0xAB, 0x81, 0x82}},
      {"~[ytext Prol]", {0xAF, 0xD0, 0xF2, 0xEF, 0xEC, 0xFF}},
      {"~[ztext 1a]", {0x9F, 0xB1, 0xE1, 0xFF}},
      {"a~[ B1 ff\t80 ]b", {'a', 0xB1, 0xFF, 0x80, 'b'}},
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(authorfile::translate(text), bytes) << text;
}

// The content sizes of each block, and the work its start header names.
std::vector<std::pair<std::size_t, int>> blocks_of(const Bytes& file) {
  EXPECT_EQ(file.size() % block_size, 0u);
  std::vector<std::pair<std::size_t, int>> blocks;
  for (std::size_t start = 0; start < file.size(); start += block_size) {
    std::size_t end = start + block_size;
    while (file[end - 1] == 0) --end;
    const bool last = start + block_size == file.size();
    EXPECT_EQ(file[end - 1], 0xFE);
    EXPECT_EQ(last, file[end - 2] == 0xF0) << "block " << start / block_size;
    EXPECT_EQ(Bytes(file.begin() + start, file.begin() + start + 9), spelled("EF 80 B0 B0 B1 B2 FF EF 81"));
    const int work = (file[start + 9] - 0xB0) * 100 + (file[start + 10] - 0xB0) * 10 + file[start + 11] - 0xB0;
    blocks.emplace_back(end - start - 13 - (last ? 2 : 1), work);
  }
  return blocks;
}

// Plans read "w2" (start work 2), "b" (fresh block) or a unit size; units are filled with 'A'.
TEST(AuthorFileLayout, PlacesUnitsAndWorkHeadersByTheRoomLeft) {
  const std::pair<const char*, std::vector<std::pair<std::size_t, int>>> cases[] = {
      {"w1 8000 178 10", {{8178, 1}, {10, 1}}},  // a block that is not last fills to its last byte
      {"w1 8000 178", {{8000, 1}, {178, 1}}},    // the last one keeps room for F0 FE
      {"w1 8000 177", {{8177, 1}}},
      {"w1 8000 w2 172 10", {{8178, 1}, {10, 2}}},  // a work header inline with its first unit
      {"w1 8000 w2 173 10", {{8000, 1}, {183, 2}}},  // or at the next block with it
      {"w1 10 w2 w3 10 w4", {{38, 1}}},
      {"w1 10 b 10", {{10, 1}, {10, 1}}},
      {"w1 10 b w2 10", {{10, 1}, {10, 2}}},
      {"w1 10 20000", {{10, 1}, {8178, 1}, {8178, 1}, {3644, 1}}},  // an oversized unit, cut
      {"w7 8000 w305 10 b 10 b w999 10", {{8016, 7}, {10, 305}, {10, 999}}},
  };
  for (const auto& [plan, blocks] : cases) {
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
    EXPECT_EQ(blocks_of(builder.finish()), blocks) << plan;
  }
  Bytes small = spelled("EF 80 B0 B0 B1 B2 FF EF 81 B0 B0 B1 FF 82 'MH' F0 FE");
  small.resize(block_size, 0);
  EXPECT_EQ(authorfile::build("~author 12\n~work 1\n~[line 2]MH\n"), small);
}

// The tables' lines leave the author file as it is.
TEST(AuthorFileSource, BuildsWhatTheBuilderBuilds) {
  EXPECT_EQ(authorfile::build("~# a comment\n~author 12\n~name N\n\n~work 1\r\n~title T\n~levels a b\n~outoforder\n"
                              "~[z 1 line 1]MH\n  \n~block\n~work 2\nA\n"),
            Builder(12).work(1).unit("~[z 1 line 1]MH").block().work(2).unit("A").finish());
}

const char* const two_works =
    "~author 5\n~name &1Theocritus& Bucol.\n~synonym Theocritus\n~language G\n"
    "~work 1\n~title Idyllia\n~levels Idyll line\n~[z 1]A\n~[line 2]B\n~outoforder\n~[z 1 line 40]C\n~[z 2 line 1]D\n"
    "~work 2\n~title Epigrammata\n~levels Epigram line\n~[ytext Prol]E\n";

TEST(AuthorFileIdTable, WritesSmallSourcesByteForByte) {
  const std::pair<const char*, const char*> cases[] = {
      {two_works,
       "01 00 95 00 00 EF 80 B0 B0 B0 B5 FF"  // author 0005, 0x95 bytes up to the end entry
       " 10 00 14 '&1Theocritus& Bucol.'"
       " 02 00 33 00 00 EF 81 B0 B0 B1 FF"  // work 001 in block 0, 0x33 bytes
       " 10 01 07 'Idyllia' 11 01 05 'Idyll' 11 00 04 'line'"
       " 03 00 00 08 91 81 09 92 81"  // from z 1 line 1 to z 2 line 1 in block 0
       " 0D 00 00 91 88 A8"           // z 1 line 40 out of order
       " 02 00 3F 00 00 EF 81 B0 B0 B2 FF"
       " 10 01 0B 'Epigrammata' 11 01 07 'Epigram' 11 00 04 'line'"
       " 03 00 00 08 AF D0 F2 EF EC FF 91 81 09 AF D0 F2 EF EC FF 91 81"  // y 'Prol' resets z and line
       " 00"},
      {"~author 1\n~work 3\nPLAIN\n~work 4\n",  // works without citations are cited at line 1
       "01 00 30 00 00 EF 80 B0 B0 B0 B1 FF"
       " 02 00 12 00 00 EF 81 B0 B0 B3 FF 03 00 00 08 81 09 81"
       " 02 00 12 00 00 EF 81 B0 B0 B4 FF 03 00 00 08 81 09 81 00"},
  };
  for (const auto& [source, table] : cases) EXPECT_EQ(authorfile::build_files(source).id_table, spelled(table));
}

// Up to the first citation, but for the lengths: the sample's run on to a
// table's end that the dump does not show.
TEST(AuthorFileIdTable, BeginsAsTheSampleTableDoes) {
  std::ifstream in(AUTHORFILE_SAMPLES_DIR "/tlg0005-head.idt", std::ios::binary);
  const Bytes sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const Bytes table = authorfile::build_files(
      "~author 5\n~name &1Theocritus& Bucol.\n~work 1\n~title Idyllia\n~levels Idyll line\n~[z 1]A\n").id_table;
  ASSERT_EQ(sample.size(), 237u);
  ASSERT_GT(table.size(), 0x4Bu);
  for (std::size_t i = 0; i < 0x4B; ++i) EXPECT_TRUE(table[i] == sample[i] || i == 1 || i == 2 || i == 0x24 || i == 0x25) << i;
}

TEST(AuthorFileTable, ListsTheAuthorsInTheOrderGiven) {
  const Bytes expected = spelled(
      "'*TLG' 00 00 00 58"  // the library heading with the whole table's length
      " 'TLG0005 &1Theocritus& Bucol.' 80 'Theocritus' 83 'G' FF"  // 42 bytes: even already
      " 'TLG0012 &1Homerus&' FF FF 'TLG0001 ' FF FF '*END' 00 00 00 00");
  EXPECT_EQ(authorfile::author_table(
                {authorfile::build_files(two_works).author, {12, "&1Homerus&", {}, ""}, {1, "", {}, ""}}),
            expected);
}

}  // namespace
