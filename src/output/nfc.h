#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "greek/letters.h"
#include "output/nfc_data.h"

// Documents are written in Unicode NFC. The forms come from tables that
// tools/nfc/generate_nfc derived from ICU, so that the program itself needs
// no Unicode library and writes the same forms on every machine.

namespace scrivel {

// A character's NFC form: up to five code points.
struct NfcForm {
  std::array<int, 5> code_points{};
  int length = 0;
};

namespace nfc_detail {

// The tables pad each form with zeros, which no NFC form of theirs holds.
template <typename Entry>
constexpr NfcForm form_of(const Entry& entry) {
  static_assert(Entry{}.form.size() <= NfcForm{}.code_points.size(), "the tables hold a form longer than NfcForm does");
  NfcForm nfc;
  for (const int code_point : entry.form)
    if (code_point != 0) nfc.code_points[nfc.length++] = code_point;
  return nfc;
}

// Where each key's entry stands in its table, plus one; 0 where NFC leaves
// the key's characters as they are. Looking a key up costs one step, which
// keeps the tables that callers build at compile time within the compilers'
// limits on constant evaluation.
using Place = std::uint16_t;
static_assert(nfc_data::code_point_forms.size() < 65536 && nfc_data::letter_forms.size() < 65536);

inline constexpr int code_point_limit = 0x2100;

inline constexpr std::array<Place, code_point_limit> code_point_places = [] {
  std::array<Place, code_point_limit> places{};
  for (std::size_t place = 0; place < nfc_data::code_point_forms.size(); ++place)
    places[nfc_data::code_point_forms[place].code_point] = static_cast<Place>(place + 1);
  return places;
}();

// The table lists letters before a word's end only: without a precomposed
// character a letter is written the same at a word's end.
inline constexpr std::array<Place, letter_count> letter_places = [] {
  std::array<Place, letter_count> places{};
  for (std::size_t place = 0; place < nfc_data::letter_forms.size(); ++place) {
    const int index = nfc_data::letter_forms[place].index;
    places[index] = places[index + word_end_step] = static_cast<Place>(place + 1);
  }
  return places;
}();

}  // namespace nfc_detail

// The NFC form of one code point below U+2100 (itself where NFC keeps it).
constexpr NfcForm nfc_of_code_point(int code_point) {
  if (const int place = nfc_detail::code_point_places[code_point]; place != 0)
    return nfc_detail::form_of(nfc_data::code_point_forms[place - 1]);
  return NfcForm{{code_point}, 1};
}

// The NFC form of what the composer writes for letter `index`: its precomposed
// character, or where there is none, the sequence of uncomposed_letter(index).
constexpr NfcForm nfc_of_letter(int index) {
  if (const int code_point = letter_code_points[index]; code_point != 0) return nfc_of_code_point(code_point);
  if (const int place = nfc_detail::letter_places[index]; place != 0)
    return nfc_detail::form_of(nfc_data::letter_forms[place - 1]);
  const UncomposedLetter letter = uncomposed_letter(index);
  return NfcForm{letter.code_points, letter.length};
}

}  // namespace scrivel
