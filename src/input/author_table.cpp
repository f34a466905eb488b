#include "input/author_table.h"

#include "byte.h"

namespace scrivel {
namespace {

// An entry: the file name in 8 bytes padded with blanks; the name up to the
// first byte above 0x7F; fields, each opened by its byte and ended by the
// next byte above 0x7F; 0xFF. Entries start on even offsets, so a second
// 0xFF pads one of odd length.
constexpr std::size_t file_name_size = 8;
constexpr byte synonym_field = 0x80;
constexpr byte remarks_field = 0x81;
constexpr byte file_size_field = 0x82;
constexpr byte language_field = 0x83;
constexpr byte entry_end = 0xFF;
// A library heading: `*`, three letters and a 4-byte length; `*END` ends the table.
constexpr char heading_mark = '*';
constexpr std::string_view table_end = "*END";
constexpr std::size_t heading_size = 8;

bool above_ascii(char ch) { return static_cast<byte>(ch) > 0x7F; }

class AuthorTableReader {
 public:
  explicit AuthorTableReader(std::string_view table) : table_(table) {}

  AuthorTable read() {
    while (!result_.fault) {
      if (at_ % 2 != 0) ++at_;  // the padding of an entry of odd length
      if (at_ >= table_.size()) {
        fail(table_.size(), "the table is cut short: it has no *END");
        break;
      }
      if (table_[at_] != heading_mark) {
        entry();
      } else if (table_.substr(at_).starts_with(table_end)) {
        break;
      } else {
        at_ += heading_size;
      }
    }
    return std::move(result_);
  }

 private:
  void entry() {
    const std::size_t start = at_;
    if (table_.size() - at_ < file_name_size) {
      fail(start, "an entry cut short in its file name");
      return;
    }
    AuthorEntry author;
    const std::string_view padded = table_.substr(at_, file_name_size);
    author.file_name = padded.substr(0, padded.find_last_not_of(' ') + 1);
    at_ += file_name_size;
    author.name = text_up_to_a_code("a name without its end");
    while (!result_.fault && field(author)) continue;
    if (!result_.fault) result_.entries.push_back(std::move(author));
  }
  // Reads the field here into `author`; false at the entry's end.
  bool field(AuthorEntry& author) {
    const std::size_t start = at_;
    const byte code = static_cast<byte>(table_[at_++]);
    switch (code) {
      case entry_end: return false;
      case synonym_field: author.synonyms.push_back(text_up_to_a_code("a synonym without its end")); return true;
      case language_field: author.language = text_up_to_a_code("a language code without its end"); return true;
      case remarks_field:
      case file_size_field: text_up_to_a_code("a field without its end"); return true;
      default: fail(start, "unknown field " + std::to_string(code)); return false;
    }
  }
  // The text from here up to the next byte above 0x7F, where it stops.
  std::string text_up_to_a_code(const char* fault) {
    const std::size_t start = at_;
    while (at_ < table_.size() && !above_ascii(table_[at_])) ++at_;
    if (at_ >= table_.size()) fail(start, fault);
    return std::string(table_.substr(start, at_ - start));
  }
  void fail(std::size_t offset, std::string what) {
    if (!result_.fault) result_.fault = TableFault{offset, std::move(what)};
  }

  std::string_view table_;
  std::size_t at_ = 0;
  AuthorTable result_;
};

}  // namespace

AuthorTable read_author_table(std::string_view table) { return AuthorTableReader(table).read(); }

}  // namespace scrivel
