#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "output/citation.h"
#include "output/reference.h"
#include "profile.h"

namespace scrivel {

namespace detail {
// "urn:cts:", the corpus's namespace and ":", spelled out once at compile time.
inline constexpr std::string_view urn_start = "urn:cts:";
inline constexpr auto urn_namespace_text = [] {
  std::array<char, urn_start.size() + profile::cts_namespace.size() + 1> text{};
  auto end = std::copy(urn_start.begin(), urn_start.end(), text.begin());
  end = std::copy(profile::cts_namespace.begin(), profile::cts_namespace.end(), end);
  *end = ':';
  return text;
}();
}  // namespace detail

// The CTS names of an author (the text group, tlg0012) and of a work
// (tlg001), and the URN of a work, urn:cts:greekLit:tlg0012.tlg001.
inline constexpr std::string_view urn_namespace{detail::urn_namespace_text.data(), detail::urn_namespace_text.size()};
std::string text_group_name(int author);
std::string work_name(int work);
std::string work_urn(int author, int work);
// The name of scrivel's edition of a work in the language of its texts,
// scrivel-grc1, which follows the work's URN.
std::string edition_name();

// The passage of a CTS URN: the values of the levels, each as a URN writes
// it. A value keeps ASCII letters and digits and writes every other byte as
// "_" and two hex digits (33(?) is 33_28_3F_29), since CTS reserves ".",
// ":", "@", "#", "[", "]" and "-", and the CTS collections' HookTest refuses
// any reference character but letters, digits and "_": so no value holds
// the "." that joins them, and each reads back. A byte above 0x7F is no
// character, and stands as the replacement character.
class Passage {
 public:
  // Room for the line's value, encoded.
  static constexpr std::size_t value_room = 9 * (CiteLevel::text_size + 16);

  // Takes a citation's levels. Those above the line are taken again only
  // when a code changed one of them (or at the first citation): returns
  // whether they were.
  bool cite(const Citation& citation) {
    keep_line(citation[Level::line]);
    if (citation.changed == Level::line && known_) return false;
    take_upper_levels(citation);
    return true;
  }
  // The line code 0x80 is the next line: the line's number plus one, with
  // its letter or text dropped.
  void next_line();

  // A level above the line: whether the URN holds it (x when given, y and z
  // when they have a number or a text, and the value is not empty), and its
  // value, which x gives by its number alone.
  bool holds(Level level) const { return upper_[static_cast<int>(level)].held; }
  std::string_view value(Level level) const { return upper_[static_cast<int>(level)].value; }
  // Whether the line's value belongs in the passage: a given number, a
  // letter or a text; and that value, written at `out` (room: value_room).
  bool holds_line() const {
    return line_.number > 0 || line_.text[0] != '\0' || line_.form == CiteLevel::Form::number_letter;
  }
  // A number alone, as most lines have, needs no encoding.
  char* put_line(char* out) const {
    if (line_.form == CiteLevel::Form::number && line_.number >= 0) return put_number(out, line_.number);
    return put_encoded_line(out);
  }
  const CiteLevel& line() const { return line_; }
  // The whole passage: the values held, joined by "."; empty where none is.
  std::string text() const;

 private:
  struct Upper {
    bool held = false;
    std::string value;
  };
  void take_upper_levels(const Citation& citation);
  char* put_encoded_line(char* out) const;
  void keep_line(const CiteLevel& line) {
    line_.number = line.number;
    line_.form = line.form;
    line_.letter = line.letter;
    if (line.text[0] != '\0' || line_.text[0] != '\0') std::strcpy(line_.text, line.text);
  }

  std::array<Upper, 3> upper_;
  bool known_ = false;
  CiteLevel line_;
};

}  // namespace scrivel
