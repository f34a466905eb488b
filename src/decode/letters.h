#pragma once

#include <array>
#include <string_view>

#include "input/byte_source.h"

namespace scrivel {

// The Beta Code letters are the capitals A to Z: the vowels (rho goes with
// them, for its breathing) and the consonants. J counts as a consonant
// although it is no Greek letter. Each letter's capital code point stands
// at its position in vow2 or cons2; the small letter is 0x20 above it.
inline constexpr std::string_view vow1 = "AEHIOUWR";
inline constexpr std::array<int, 8> vow2 = {0x0391, 0x0395, 0x0397, 0x0399, 0x039F, 0x03A5, 0x03A9, 0x03A1};
inline constexpr std::string_view cons1 = "BCDFGKLMNPQSTVXYZ";
inline constexpr std::array<int, 17> cons2 = {0x0392, 0x039E, 0x0394, 0x03A6, 0x0393, 0x039A, 0x039B, 0x039C, 0x039D,
                                              0x03A0, 0x0398, 0x03A3, 0x03A4, 0x03DC, 0x03A7, 0x03A8, 0x0396};
inline constexpr int small_offset = 0x20;
inline constexpr int digamma = 0x03DC;  // one form for small and capital
inline constexpr int sigma = 0x03C3;
inline constexpr int final_sigma = 0x03C2;

enum class LetterClass : byte { other, vowel, consonant, diacritic, asterisk };

// The class of every byte, which the decoder asks for each byte of the text.
inline constexpr std::array<LetterClass, 256> letter_classes = [] {
  std::array<LetterClass, 256> classes{};
  for (int c = 'B'; c <= 'Z'; ++c) classes[c] = LetterClass::consonant;
  for (const char c : vow1) classes[static_cast<byte>(c)] = LetterClass::vowel;
  for (const char c : std::string_view(")(/\\=+|")) classes[static_cast<byte>(c)] = LetterClass::diacritic;
  classes['*'] = LetterClass::asterisk;
  return classes;
}();

// In a Latin run no byte is a letter or a diacritic sign.
inline constexpr std::array<LetterClass, 256> no_letters{};

// Position of each letter in vow1 or cons1.
inline constexpr std::array<byte, 256> letter_positions = [] {
  std::array<byte, 256> positions{};
  for (std::size_t i = 0; i < vow1.size(); ++i) positions[static_cast<byte>(vow1[i])] = static_cast<byte>(i);
  for (std::size_t i = 0; i < cons1.size(); ++i) positions[static_cast<byte>(cons1[i])] = static_cast<byte>(i);
  return positions;
}();

// Each letter without diacritics, small (row 0) and capital (row 1); 0 for
// what is no letter. The small sigma is the medial one; at a word's end the
// final form takes its place.
inline constexpr std::array<std::array<int, 128>, 2> plain_letters = [] {
  std::array<std::array<int, 128>, 2> letters{};
  for (std::size_t i = 0; i < cons1.size(); ++i) {
    letters[1][static_cast<byte>(cons1[i])] = cons2[i];
    letters[0][static_cast<byte>(cons1[i])] = cons2[i] + small_offset;
  }
  for (std::size_t i = 0; i < vow1.size(); ++i) {
    letters[1][static_cast<byte>(vow1[i])] = vow2[i];
    letters[0][static_cast<byte>(vow1[i])] = vow2[i] + small_offset;
  }
  letters[0]['V'] = letters[1]['V'] = digamma;
  letters[0]['J'] = letters[1]['J'] = 'J';  // no Greek letter: it stands as the Latin one
  return letters;
}();

}  // namespace scrivel
