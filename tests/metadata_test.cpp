// The corpus's metadata: the ID tables and the author table, read entry by
// entry, with what a damaged table still gives and the first fault in it;
// and the names in them as plain text.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "input/author_table.h"
#include "input/config.h"
#include "input/id_table.h"
#include "scrivel.h"

namespace scrivel::testing {
namespace {

using namespace std::string_literals;

std::string from_hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

// The first 237 bytes of the ID table of author 0005 (Theocritus), as the
// format description prints them.
const std::string sample = [] {
  std::ifstream in(AUTHORFILE_SAMPLES_DIR "/tlg0005-head.idt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}();

TEST(IdTable, ReadsTheSampleOfTheFormatDescription) {
  ASSERT_EQ(sample.size(), 237u);
  const IdTable table = read_id_table(sample);
  EXPECT_EQ(table.author, "0005");
  EXPECT_EQ(plain_text_of_name(table.author_name), "Theocritus Bucol.");
  std::vector<std::tuple<int, std::string, int, std::array<std::string, 4>>> works;
  for (const IdWork& w : table.works) works.emplace_back(w.number, w.title, w.block, w.level_names);
  EXPECT_EQ(works, (decltype(works){{1, "Idyllia", 0, {"", "", "Idyll", "line"}},
                                    {2, "Epigrammata", 20, {"", "", "Epigram", "line"}}}));
  // The sample is the start of a longer table.
  ASSERT_TRUE(table.fault);
  EXPECT_EQ(table.fault->offset, 237u);
}

TEST(Names, ReadAsPlainTextStartingInLatinType) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"&1Theocritus& Bucol.", "Theocritus Bucol."},
      {"Idyllia", "Idyllia"},
      {"$*)ILIA/S", "Ἰλιάς"},
      {"$*(/OMHROS& Epic.", "Ὅμηρος Epic."},
      {"2 Peter", "2 Peter"},
      {"Pindarus $*PU/QIA", "Pindarus Πύθια"},
      {"", ""},
      {"A\xB7" "B", "A?B"},
      // A terminal would take these for commands: a list on it must not pass them on.
      {"&1A\x1B[31m\x07" "B", "A\uFFFD[31m\uFFFDB"},
  };
  for (const auto& [name, plain] : cases) {
    EXPECT_EQ(plain_text_of_name(name), plain) << name;
    // A batch keeps every work's names to its end: each must keep only its own bytes.
    EXPECT_LT(plain_text_of_name(name).capacity(), 64u) << name;
  }
}

// An ID table: an author, a work with a title and two level names, the end.
std::string small_id_table() {
  return from_hex("0100000000ef80b0b0b0b7ff1000054175746f72"
                  "0200000003ef81b0b0b1ff100105546974756c"
                  "1101046265696e1100046c696e65"
                  "0300030891ff0a8b8187"
                  "00");
}

// Two authors, the first of odd length with its padding, a library heading first.
std::string small_author_table() {
  return "*TLG\0\0\0\x44"s + "TLG0007 Autor\x80Syn.\x83Greek\xff\xff" + "TLG0012 $*(/OMHROS& Epic.\xff" + "*END\0\0\0\0"s;
}

// What a table keeps before its first fault: the works of an ID table, the
// entries of the author table.
using Kept = std::pair<std::optional<TableFault>, std::size_t>;
Kept kept_by_id_table(std::string_view table) {
  const IdTable read = read_id_table(table);
  return {read.fault, read.works.size()};
}
Kept kept_by_author_table(std::string_view table) {
  const AuthorTable read = read_author_table(table);
  return {read.fault, read.entries.size()};
}

// Each damage is named once, where it stands, and what came before it is kept.
TEST(Tables, NameTheFirstDamageAndKeepWhatCameBefore) {
  const std::string ids = small_id_table(), authors = small_author_table();
  const std::size_t second_name = ids.find("\x11\x00\x04line", 0), second_author = authors.find("TLG0012");
  const struct {
    std::string name;
    Kept (*read)(std::string_view);
    std::string table;
    std::size_t offset;
    std::string what;  // "": not looked at
    std::size_t kept;
  } cases[] = {
      {"an unknown entry type", kept_by_id_table, ids.substr(0, second_name) + "\x05" + ids.substr(second_name),
       second_name, "unknown entry type 5", 1},
      {"a name's length past the end", kept_by_id_table, ids.substr(0, second_name) + from_hex("110020") + "line",
       second_name + 3, "a length past the end of the table", 1},
      {"an ID table cut short", kept_by_id_table, ids.substr(0, ids.size() - 1), ids.size() - 1,
       "the table is cut short: it has no end entry", 1},
      {"a work without its number", kept_by_id_table, from_hex("0200000000ef81ff00"), 5, "a work without its number", 0},
      {"a work number past an int", kept_by_id_table, from_hex("0200100000ef81b9b9b9b9b9b9b9b9b9b9ff00"), 5,
       "a work number too large: 9999999999", 0},
      {"a title before any work", kept_by_id_table, from_hex("1001024142") + "\0"s, 0, "a title before any work", 0},
      {"a name without its end", kept_by_author_table, authors.substr(0, second_author + 12), second_author + 8, "", 1},
      {"an unknown field", kept_by_author_table,
       authors.substr(0, second_author + 25) + "\x90" + authors.substr(second_author + 25), second_author + 25, "", 1},
      {"an author table cut short", kept_by_author_table, authors.substr(0, authors.size() - 8), authors.size() - 8,
       "", 2},
      {"an entry cut short in its file name", kept_by_author_table, authors.substr(0, second_author + 4),
       second_author, "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [fault, kept] = c.read(c.table);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->offset, c.offset);
    EXPECT_EQ(c.what.empty() ? "" : fault->what, c.what);
    EXPECT_EQ(kept, c.kept);
  }
}

// TLG0005 in any case.
TEST(AuthorTable, KnowsAnAuthorFilesNameInAnyCase) {
  EXPECT_EQ(author_number_of("TLG0005"), 5);
  EXPECT_EQ(author_number_of("tLg2000"), 2000);
  EXPECT_EQ(author_number_of("LAT0474"), std::nullopt);
  EXPECT_EQ(author_number_of("TLG05"), std::nullopt);
  EXPECT_EQ(author_number_of("TLG00x5"), std::nullopt);
}

}  // namespace
}  // namespace scrivel::testing
