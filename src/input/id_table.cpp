#include "input/id_table.h"

#include <charconv>

#include "byte.h"
#include "input/id_data.h"

namespace scrivel {
namespace {

// The entry types of an ID table.
enum EntryType : byte {
  table_end = 0,
  new_author = 1,
  new_work = 2,
  new_section = 3,
  first_citation = 8,
  last_citation = 9,
  block_final_citation = 10,
  exception_start = 11,
  exception_end = 12,
  exception_line = 13,
  description = 16,
  level_name = 17,
};

// A name's level in a description entry: the author's name or the work's title.
constexpr byte author_level = 0;
constexpr byte work_level = 1;
// Level names count from the line up (the table's z, y, x, w, v); scrivel's
// levels run the other way, and have none for v.
constexpr std::size_t named_levels = 4;

// Walks the entries, keeping what they say and the first fault.
class TableReader {
 public:
  explicit TableReader(std::string_view table) : bytes_(reinterpret_cast<const byte*>(table.data())), size_(table.size()) {}

  IdTable read() {
    while (!table_.fault && at_ < size_) {
      const std::size_t start = at_;
      const byte type = bytes_[at_++];
      if (type == table_end) return std::move(table_);
      entry(type, start);
    }
    if (!table_.fault) fail(size_, "the table is cut short: it has no end entry");
    return std::move(table_);
  }

 private:
  void entry(byte type, std::size_t start) {
    switch (type) {
      case new_author: author(); break;
      case new_work: work(); break;
      case new_section: number(2); break;
      case first_citation:
      case last_citation:
      case block_final_citation:
      case exception_end: skip_id_data(); break;
      case exception_start:
      case exception_line:
        number(2);
        skip_id_data();
        break;
      case description: name(start); break;
      case level_name: level(start); break;
      default: fail(start, "unknown entry type " + std::to_string(type));
    }
  }

  void author() {
    number(2);  // the length of the author's entries
    number(2);  // the block: 0
    table_.author = header_string(id::author_code);
  }
  void work() {
    number(2);
    IdWork work;
    work.block = static_cast<int>(number(2));
    const std::size_t id_start = at_;
    const std::string digits = header_string(id::work_code);
    if (table_.fault) return;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
      fail(id_start, "a work without its number");
      return;
    }
    if (std::from_chars(digits.data(), digits.data() + digits.size(), work.number).ec != std::errc{}) {
      fail(id_start, "a work number too large: " + digits);
      return;
    }
    table_.works.push_back(std::move(work));
  }
  void name(std::size_t start) {
    const byte level = static_cast<byte>(number(1));
    const std::string text = counted_text();
    if (table_.fault) return;
    if (level == author_level) {
      table_.author_name = text;
    } else if (level == work_level && !table_.works.empty()) {
      table_.works.back().title = text;
    } else {
      fail(start, level == work_level ? "a title before any work" : "a name of unknown level " + std::to_string(level));
    }
  }
  void level(std::size_t start) {
    const std::size_t from_line = number(1);
    const std::string text = counted_text();
    if (table_.fault) return;
    if (table_.works.empty()) {
      fail(start, "a level's name before any work");
    } else if (from_line < named_levels) {
      table_.works.back().level_names[named_levels - 1 - from_line] = text;
    } else if (from_line > named_levels) {
      fail(start, "a level's name of unknown level " + std::to_string(from_line));
    }
  }

  // A big-endian number of `n` bytes; 0 after a fault when the table ends first.
  std::size_t number(std::size_t n) {
    if (!has(n)) return 0;
    std::size_t value = 0;
    for (std::size_t i = 0; i < n; ++i) value = value << 8 | bytes_[at_++];
    return value;
  }
  // A text of the length that its first byte gives.
  std::string counted_text() {
    const std::size_t length = number(1);
    if (!has(length)) return "";
    std::string text(reinterpret_cast<const char*>(bytes_ + at_), length);
    at_ += length;
    return text;
  }
  // ID data ends at the first byte without its high bit.
  void skip_id_data() {
    while (at_ < size_ && id::has_high_bit(bytes_[at_])) ++at_;
  }
  // The string of the escape code `code` in the ID data here (the author's
  // or the work's number), without its high bits; the rest of the ID data
  // is passed over.
  std::string header_string(byte code) {
    const std::size_t start = at_;
    std::string text;
    if (at_ + 1 < size_ && bytes_[at_] == id::escape && bytes_[at_ + 1] == code) {
      for (at_ += 2; at_ < size_ && bytes_[at_] != id::string_end && id::has_high_bit(bytes_[at_]); ++at_)
        text += id::character_of(bytes_[at_]);
      if (at_ >= size_ || bytes_[at_] != id::string_end) fail(start, "a number without its end");
    }
    skip_id_data();
    return text;
  }

  bool has(std::size_t n) {
    if (n <= size_ - at_) return true;
    fail(at_, "a length past the end of the table");
    at_ = size_;
    return false;
  }
  void fail(std::size_t offset, std::string what) {
    if (!table_.fault) table_.fault = TableFault{offset, std::move(what)};
  }

  const byte* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
  IdTable table_;
};

}  // namespace

IdTable read_id_table(std::string_view table) { return TableReader(table).read(); }

}  // namespace scrivel
