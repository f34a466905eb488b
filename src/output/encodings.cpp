#include "output/encodings.h"

#include <array>

namespace scrivel {
namespace {

using CodePointForms = std::array<EncodedCharacter, encoded_limit>;
using LetterForms = std::array<EncodedCharacter, letter_count>;

constexpr EncodedCharacter rtf_escape(int c) {
  EncodedCharacter e{};
  int n = 0;
  e.text[n++] = '\\';
  e.text[n++] = 'u';
  char digits[4];
  int count = 0;
  for (int v = c; v > 0 || count == 0; v /= 10) digits[count++] = static_cast<char>('0' + v % 10);
  while (count > 0) e.text[n++] = digits[--count];
  e.text[n++] = '?';
  e.length = static_cast<char>(n);
  return e;
}

constexpr EncodedCharacter utf8_form(int c) {
  EncodedCharacter e{};
  if (c < 0x80) {
    e.text[0] = static_cast<char>(c);
    e.length = 1;
  } else if (c < 0x800) {
    e.text[0] = static_cast<char>(0xC0 | c >> 6);
    e.text[1] = static_cast<char>(0x80 | (c & 0x3F));
    e.length = 2;
  } else {
    e.text[0] = static_cast<char>(0xE0 | c >> 12);
    e.text[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    e.text[2] = static_cast<char>(0x80 | (c & 0x3F));
    e.length = 3;
  }
  return e;
}

template <typename Encode>
constexpr CodePointForms code_point_forms(Encode encode) {
  CodePointForms forms{};
  for (int c = 0; c < encoded_limit; ++c) forms[c] = encode(c);
  return forms;
}

// Every letter with every set of diacritics, ready to copy, so that writing
// a letter is one lookup and one eight-byte copy. In NFC a letter keeps its
// one character where NFC gives one that is no ASCII (the tonos forms for
// the oxia ones); the rest is left to the renderer's slower path.
template <typename Encode>
constexpr LetterForms letter_forms(Encode encode, Normalization normalization) {
  LetterForms forms{};
  for (int i = 0; i < letter_count; ++i) {
    if (normalization == Normalization::none) {
      if (letter_code_points[i] != 0) forms[i] = encode(letter_code_points[i]);
      continue;
    }
    const NfcForm nfc = nfc_of_letter(i);
    if (nfc.length == 1 && nfc.code_points[0] >= 0x80) forms[i] = encode(nfc.code_points[0]);
  }
  return forms;
}

constexpr CodePointForms rtf_code_points = code_point_forms(rtf_escape);
constexpr LetterForms rtf_letters = letter_forms(rtf_escape, Normalization::none);
constexpr LetterForms rtf_nfc_letters = letter_forms(rtf_escape, Normalization::nfc);
constexpr CodePointForms utf8_code_points = code_point_forms(utf8_form);
constexpr LetterForms utf8_letters = letter_forms(utf8_form, Normalization::none);
constexpr LetterForms utf8_nfc_letters = letter_forms(utf8_form, Normalization::nfc);

}  // namespace

CharacterForms rtf_escapes(Normalization normalization) {
  return {rtf_code_points.data(), (normalization == Normalization::nfc ? rtf_nfc_letters : rtf_letters).data()};
}

CharacterForms utf8_forms(Normalization normalization) {
  return {utf8_code_points.data(), (normalization == Normalization::nfc ? utf8_nfc_letters : utf8_letters).data()};
}

}  // namespace scrivel
