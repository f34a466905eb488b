#include "author_file_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using authorfile::AuthorEntry;
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

// Bytes spelled as two-digit hex numbers and 'quoted ASCII', separated by blanks.
Bytes spelled(std::string_view spelling) {
  Bytes bytes;
  std::size_t pos = 0;
  while ((pos = spelling.find_first_not_of(' ', pos)) != std::string_view::npos) {
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

// Reads ID data as the format describes it, in the notation's level names: `91 88 A8` is
// "z 1 line 40"; "malformed" when a code lacks its operands or a string its FF.
std::string describe_id(const Bytes& id) {
  static constexpr std::array<const char*, 5> levels{"line", "z", "y", "x", "v"};  // left nibble 8..C
  std::size_t i = 0;
  const auto take = [&] { return static_cast<unsigned>(id.at(i++) & 0x7F); };
  const auto fourteen_bits = [&] {
    const unsigned high = take();
    return high << 7 | take();
  };
  const auto string = [&] {
    std::string text = "\"";
    for (unsigned char c = id.at(i++); c != 0xFF; c = id.at(i++)) text += static_cast<char>(c & 0x7F);
    return text + "\"";
  };
  std::string out;
  try {
    while (i < id.size()) {
      const unsigned code = id[i++];
      const unsigned level = code >> 4, form = code & 0x0F;
      if (!out.empty()) out += ' ';
      if (level == 0xE) {
        out += static_cast<char>('a' + take());
        out += ' ' + string();
        continue;
      }
      if (level < 0x8 || level > 0xC || form == 0xE) return "malformed";
      out += std::string(levels[level - 8]) + ' ';
      if (form == 0) out += '+';
      if (form >= 1 && form <= 7) out += std::to_string(form);
      if (form >= 8 && form <= 0xA) out += std::to_string(take());
      if (form >= 0xB && form <= 0xD) out += std::to_string(fourteen_bits());
      if (form == 0x9 || form == 0xC) out += static_cast<char>(take());
      if (form == 0xA || form == 0xD || form == 0xF) out += string();
    }
  } catch (const std::out_of_range&) {
    return "malformed";
  }
  return out;
}

// An ID table entry, walked by its type.
struct Entry {
  std::size_t offset;
  unsigned type;
  std::size_t length = 0;  // types 1 and 2
  std::string text;        // the rest, described: "block 0", "level 1 'Idyll'", the ID
};

std::size_t two_bytes(const Bytes& table, std::size_t at) {
  return std::size_t{table.at(at)} << 8 | table.at(at + 1);
}

// Walks the table to its end entry (type 0) or, cut off like the sample, to its last byte.
std::vector<Entry> walk(const Bytes& table) {
  std::vector<Entry> entries;
  std::size_t pos = 0;
  while (pos < table.size()) {
    Entry entry{pos, table[pos], 0, {}};
    ++pos;
    std::string fields;
    if (entry.type == 1 || entry.type == 2) {
      entry.length = two_bytes(table, pos);
      pos += 2;
    }
    if (entry.type == 1 || entry.type == 2 || entry.type == 3 || entry.type == 11 || entry.type == 13) {
      fields = "block " + std::to_string(two_bytes(table, pos));
      pos += 2;
    }
    if (entry.type == 16 || entry.type == 17) {
      const std::size_t size = table.at(pos + 1);
      fields = "level " + std::to_string(table.at(pos)) + " '" +
               std::string(table.begin() + static_cast<std::ptrdiff_t>(pos + 2),
                           table.begin() + static_cast<std::ptrdiff_t>(pos + 2 + size)) + "'";
      pos += 2 + size;
    }
    const std::size_t id_start = pos;
    while (pos < table.size() && table[pos] >= 0x80) ++pos;
    if (pos > id_start) {
      const std::string id = describe_id(Bytes(table.begin() + static_cast<std::ptrdiff_t>(id_start),
                                                table.begin() + static_cast<std::ptrdiff_t>(pos)));
      fields += (fields.empty() ? "" : " ") + id;
    }
    entry.text = std::to_string(entry.type) + (fields.empty() ? "" : " " + fields);
    entries.push_back(entry);
    if (entry.type == 0) break;
  }
  return entries;
}

std::vector<std::string> described(const std::vector<Entry>& entries) {
  std::vector<std::string> texts;
  for (const Entry& entry : entries) texts.push_back(entry.text);
  return texts;
}

// An author's length runs to the end entry, a work's to the next author, work or the end.
void expect_lengths_reach_the_next_entry_of_their_level(const std::vector<Entry>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].type != 1 && entries[i].type != 2) continue;
    std::size_t next = i + 1;
    while (next < entries.size() && !(entries[next].type == 0 || entries[next].type == 1 ||
                                      (entries[i].type == 2 && entries[next].type == 2))) {
      ++next;
    }
    ASSERT_LT(next, entries.size()) << entries[i].text;
    EXPECT_EQ(entries[i].length, entries[next].offset - entries[i].offset) << entries[i].text;
  }
}

const char* const two_works =
    "~author 5\n"
    "~name &1Theocritus& Bucol.\n"
    "~synonym Theocritus\n"
    "~language G\n"
    "~work 1\n"
    "~title Idyllia\n"
    "~levels Idyll line\n"
    "~[z 1]A\n"
    "~[line 2]B\n"
    "~outoforder\n"
    "~[z 1 line 40]C\n"
    "~[z 2 line 1]D\n"
    "~work 2\n"
    "~title Epigrammata\n"
    "~levels Epigram line\n"
    "~[ytext Prol]E\n";

TEST(AuthorFileIdTable, WritesSmallSourcesByteForByte) {
  const struct {
    const char* name;
    const char* source;
    const char* table;
  } cases[] = {
      {"two works with names, titles, levels and an out-of-order line", two_works,
       "01 00 95 00 00 EF 80 B0 B0 B0 B5 FF"  // author 0005, 0x95 bytes up to the end entry
       " 10 00 14 '&1Theocritus& Bucol.'"
       " 02 00 33 00 00 EF 81 B0 B0 B1 FF"  // work 001 at 0x23, in block 0, 0x33 bytes
       " 10 01 07 'Idyllia' 11 01 05 'Idyll' 11 00 04 'line'"
       " 03 00 00 08 91 81"  // the section begins in block 0 at z 1 line 1
       " 09 92 81"           // and ends at z 2 line 1
       " 0D 00 00 91 88 A8"  // z 1 line 40 stands out of order in block 0
       " 02 00 3F 00 00 EF 81 B0 B0 B2 FF"  // work 002 at 0x56, inline in block 0
       " 10 01 0B 'Epigrammata' 11 01 07 'Epigram' 11 00 04 'line'"
       " 03 00 00 08 AF D0 F2 EF EC FF 91 81"  // y 'Prol' resets z and line to 1
       " 09 AF D0 F2 EF EC FF 91 81"
       " 00"},
      {"no names: the entries all the same", "~author 12\n~work 1\n~[line 2]MH\n",
       "01 00 1E 00 00 EF 80 B0 B0 B1 B2 FF"
       " 02 00 12 00 00 EF 81 B0 B0 B1 FF 03 00 00 08 82 09 82"
       " 00"},
      {"works without citations are cited at line 1", "~author 1\n~work 3\nPLAIN\n~work 4\n",
       "01 00 30 00 00 EF 80 B0 B0 B0 B1 FF"
       " 02 00 12 00 00 EF 81 B0 B0 B3 FF 03 00 00 08 81 09 81"
       " 02 00 12 00 00 EF 81 B0 B0 B4 FF 03 00 00 08 81 09 81"
       " 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(authorfile::build_files(c.source).id_table, spelled(c.table));
  }
}

TEST(AuthorFileIdTable, BeginsAsTheSampleTableDoes) {
  std::ifstream in(AUTHORFILE_SAMPLES_DIR "/tlg0005-head.idt", std::ios::binary);
  const Bytes sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_EQ(sample.size(), 237u);
  const Bytes table = authorfile::build_files(
      "~author 5\n~name &1Theocritus& Bucol.\n~work 1\n~title Idyllia\n~levels Idyll line\n~[z 1]A\n")
                          .id_table;
  // Up to the first citation's type byte, but for the lengths: the sample's run on to its
  // table's end, which the dump does not show.
  const std::size_t first_citation = 0x4B, author_length = 1, work_length = 0x24;
  ASSERT_GT(table.size(), first_citation);
  for (std::size_t i = 0; i < first_citation; ++i) {
    if (i == author_length || i == author_length + 1 || i == work_length || i == work_length + 1) continue;
    EXPECT_EQ(table[i], sample[i]) << "offset " << i;
  }
}

TEST(AuthorFileIdTable, FollowsWorksAcrossBlocks) {
  // Work 1: units of 200 bytes, 40 to a block, lines 200 to 299 in blocks 0 to 2, with line 5
  // out of order in block 1; work 2 inline in block 2; work 3 at a fresh block; work 4 inline
  // in block 3, its last unit too large for a block, cut over blocks 4 to 6.
  std::string source = "~author 7\n~name &1Auctor&\n~work 1\n~title Carmina\n~levels book line\n";
  source += "~[z 1 line 200]" + std::string(196, 'A') + "\n";
  for (int line = 201; line < 300; ++line) {
    if (line == 250) {
      source += "~outoforder\n~[line 5]" + std::string(199, 'A') + "\n";
    } else {
      source += "~[line " + std::to_string(line) + "]" + std::string(197, 'A') + "\n";
    }
  }
  source += "~work 2\n~[line 1]B\n~block\n~work 3\n~[line 1]C\n";
  source += "~work 4\n~[line 9]D\n~[line 10]" + std::string(20000, 'A') + "\n";
  const authorfile::AuthorFiles files = authorfile::build_files(source);

  const std::vector<Entry> entries = walk(files.id_table);
  const std::vector<std::string> expected{
      "1 block 0 a \"0007\"", "16 level 0 '&1Auctor&'",
      "2 block 0 b \"001\"", "16 level 1 'Carmina'", "17 level 1 'book'", "17 level 0 'line'",
      "3 block 0", "8 z 1 line 200", "10 z 1 line 239", "10 z 1 line 279", "9 z 1 line 299",
      "13 block 1 z 1 line 5",
      "2 block 2 b \"002\"", "3 block 2", "8 line 1", "9 line 1",
      "2 block 3 b \"003\"", "3 block 3", "8 line 1", "9 line 1",
      "2 block 3 b \"004\"", "3 block 3", "8 line 9", "10 line 9", "10 line 10", "10 line 10", "9 line 10",
      "0"};
  EXPECT_EQ(described(entries), expected);
  EXPECT_EQ(entries.back().offset + 1, files.id_table.size());
  expect_lengths_reach_the_next_entry_of_their_level(entries);

  // Each work's header stands in the block its entry names.
  ASSERT_EQ(files.text.size(), 7 * block_size);
  for (const auto& [work, block] : {std::pair{1, 0}, {2, 2}, {3, 3}, {4, 3}}) {
    const auto begin = files.text.begin() + static_cast<std::ptrdiff_t>(block * block_size + 7);
    const Bytes header = spelled("EF 81 B0 B0 B" + std::to_string(work) + " FF");
    EXPECT_NE(std::search(begin, begin + block_size - 7, header.begin(), header.end()), begin + block_size - 7)
        << "work " << work;
  }
}

TEST(AuthorFileSource, MetadataLeavesTheAuthorFileAsItIs) {
  std::string plain;
  std::istringstream lines(two_works);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("~author") || line.starts_with("~work") || line.starts_with("~[")) plain += line + "\n";
  }
  EXPECT_EQ(authorfile::build_files(two_works).text, authorfile::build(plain));
  EXPECT_EQ(authorfile::build(two_works), authorfile::build(plain));
}

TEST(AuthorFileSource, ReportsNotationErrorsWithTheirLine) {
  const struct {
    const char* source;
    std::string message_start;
  } cases[] = {
      {"~name &1Homerus&\n", "line 1: ~name before ~author"},
      {"~author 1\n~title Idyllia\n~work 1\n", "line 2: a title before the first work"},
      {"~author 1\n~levels book line\n", "line 2: a list of levels before the first work"},
      {"~author 1\n~work 1\n~levels a b c d e f\n", "line 3: a work has 1 to 5 citation levels, not 6"},
      {"~author 1\n~work 1\n~levels\n", "line 3: a work has 1 to 5 citation levels, not 0"},
      {"~author 1\n~work 1\n~levels book line\n~levels line\n", "line 4: the work has its levels already"},
      {"~author 1\n~work 1\n~title A\nX\n~title B\n", "line 5: the work has a title already"},
      {"~author 1\n~work 1\n~title\n", "line 3: a title must be 1 to 255 characters of printable ASCII, not ''"},
      {"~author 1\n~work 1\n~title *\xCE\xB1\n", "line 3: a title must be 1 to 255 characters"},
      {"~author 1\n~work 1\n~title A\tB\n", "line 3: a title must be"},
      {"~author 1\n~name A\n~name B\n", "line 3: the author has a name already"},
      {"~author 1\n~work 1\n~name A\n", "line 3: ~name after the first ~work (it belongs to the author)"},
      {"~author 1\n~synonym A\n~synonym B\n~synonym C\n~synonym D\n~synonym E\n~synonym F\n",
       "line 7: an author has at most five synonyms"},
      {"~author 1\n~language G\n~language L\n", "line 3: the author has a language already"},
      {"~author 1\n~outoforder\n", "line 2: ~outoforder before the first ~work"},
      {"~author 1\n~work 1\n~outoforder 3\n", "line 3: ~outoforder takes no value"},
      {"~author 1\n~work 1\n~outoforder\n~outoforder\n", "line 4: a second ~outoforder before its line"},
      {"~author 1\n~work 1\n~outoforder\n~work 2\nA\n", "line 4: ~outoforder with no line of its work after it"},
      {"~author 1\n~work 1\nA\n~outoforder\n", "line 4: ~outoforder at the end of the source"},
  };
  for (const auto& c : cases) {
    try {
      authorfile::build_files(c.source);
      ADD_FAILURE() << "no error for " << c.source;
    } catch (const BuildError& error) {
      EXPECT_EQ(std::string(error.what()).substr(0, c.message_start.size()), c.message_start) << c.source;
    }
  }
}

TEST(AuthorFileTable, ListsTheAuthorsInTheOrderGiven) {
  const std::vector<AuthorEntry> authors{
      {5, "&1Theocritus& Bucol.", {"Theocritus"}, "G"},
      {12, "&1Homerus&", {}, ""},
      {1, "", {}, ""},
  };
  const Bytes expected = spelled(
      "'*TLG' 00 00 00 58"  // the library heading with the whole table's length
      " 'TLG0005 &1Theocritus& Bucol.' 80 'Theocritus' 83 'G' FF"  // 42 bytes: even already
      " 'TLG0012 &1Homerus&' FF FF"
      " 'TLG0001 ' FF FF"
      " '*END' 00 00 00 00");
  EXPECT_EQ(authorfile::author_table(authors), expected);
  EXPECT_EQ(authorfile::build_files(two_works).author, authors.front());
}

TEST(AuthorFileTable, RejectsWhatItCannotStore) {
  EXPECT_THROW(authorfile::author_table({{10000, "A", {}, ""}}), BuildError);
  EXPECT_THROW(authorfile::author_table({{1, "*\xCE\xB1", {}, ""}}), BuildError);
  EXPECT_THROW(authorfile::author_table({{1, "A", {}, "G\x83"}}), BuildError);
  EXPECT_THROW(authorfile::author_table({{1, "A", {"1", "2", "3", "4", "5", "6"}, ""}}), BuildError);
}

}  // namespace
