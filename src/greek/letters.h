#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "byte.h"

namespace scrivel {

// The Beta Code letters are the capitals A to Z: the vowels (rho goes with
// them, for its breathing) and the consonants. J counts as a consonant
// although it is no Greek letter. Each letter's capital code point stands
// at its position in vowel_capitals or consonant_capitals; the small letter
// stands capital_to_small above it.
inline constexpr std::string_view beta_code_vowels = "AEHIOUWR";
inline constexpr std::array<int, 8> vowel_capitals = {0x0391, 0x0395, 0x0397, 0x0399, 0x039F, 0x03A5, 0x03A9, 0x03A1};
inline constexpr std::string_view beta_code_consonants = "BCDFGKLMNPQSTVXYZ";
inline constexpr std::array<int, 17> consonant_capitals = {0x0392, 0x039E, 0x0394, 0x03A6, 0x0393, 0x039A,
                                                           0x039B, 0x039C, 0x039D, 0x03A0, 0x0398, 0x03A3,
                                                           0x03A4, 0x03DC, 0x03A7, 0x03A8, 0x0396};
inline constexpr int capital_to_small = 0x20;
inline constexpr int digamma = 0x03DC;  // one form for small and capital
inline constexpr int sigma = 0x03C3;
inline constexpr int final_sigma = 0x03C2;

enum class LetterClass : byte { other, vowel, consonant, diacritic, asterisk };

// The class of every byte, which the decoder asks for each byte of the text.
inline constexpr std::array<LetterClass, 256> letter_classes = [] {
  std::array<LetterClass, 256> classes{};
  for (int c = 'B'; c <= 'Z'; ++c) classes[c] = LetterClass::consonant;
  for (const char c : beta_code_vowels) classes[static_cast<byte>(c)] = LetterClass::vowel;
  for (const char c : std::string_view(")(/\\=+|")) classes[static_cast<byte>(c)] = LetterClass::diacritic;
  classes['*'] = LetterClass::asterisk;
  return classes;
}();

// The diacritics that a letter carries, one bit each, named after the mark:
// ) psili, ( dasia, / oxeia, \\ vareia, = perispomeni, + dialytika,
// | ypogegrammeni.
using Diacritics = byte;
inline constexpr Diacritics psili = 1, dasia = 2, oxeia = 4, vareia = 8, perispomeni = 16, dialytika = 32,
                            ypogegrammeni = 64;

// The bit of each diacritic sign.
inline constexpr std::array<Diacritics, 256> diacritic_flags = [] {
  std::array<Diacritics, 256> flags{};
  flags[')'] = psili;
  flags['('] = dasia;
  flags['/'] = oxeia;
  flags['\\'] = vareia;
  flags['='] = perispomeni;
  flags['+'] = dialytika;
  flags['|'] = ypogegrammeni;
  return flags;
}();

// Every letter with every set of diacritics has an index in one table:
// capital or small, before a word's end or not (for sigma), the Beta Code
// capital, and the diacritics.
inline constexpr int letter_count = 2 * 2 * 26 * 128;
constexpr int letter_index(byte cap, byte word_end, byte letter, Diacritics diacritics) {
  return ((cap * 2 + word_end) * 26 + (letter - 'A')) * 128 + diacritics;
}
// What the capital and a word's end add to a letter's index.
inline constexpr int capital_step = letter_index(1, 0, 'A', 0);
inline constexpr int word_end_step = letter_index(0, 1, 'A', 0);
constexpr byte letter_of(int index) { return static_cast<byte>('A' + index / 128 % 26); }
constexpr bool is_capital(int index) { return index >= capital_step; }
constexpr Diacritics diacritics_of(int index) { return static_cast<Diacritics>(index % 128); }

namespace composition {

// Position of each Beta Code letter in beta_code_vowels or beta_code_consonants.
inline constexpr std::array<byte, 256> letter_positions = [] {
  std::array<byte, 256> positions{};
  for (std::size_t i = 0; i < beta_code_vowels.size(); ++i)
    positions[static_cast<byte>(beta_code_vowels[i])] = static_cast<byte>(i);
  for (std::size_t i = 0; i < beta_code_consonants.size(); ++i)
    positions[static_cast<byte>(beta_code_consonants[i])] = static_cast<byte>(i);
  return positions;
}();

// Small vowels with accent, diaeresis or iota subscript and no breathing, by
// accent index: 0 vareia, 1 oxeia, 2 vareia with ypogegrammeni or dialytika,
// 3 ypogegrammeni or dialytika alone, 4 oxeia with one of them, 5 perispomeni,
// 6 perispomeni with one of them. Epsilon and omicron take only 0 and 1.
inline constexpr std::array<int, 7> alpha_accented = {0x1F70, 0x1F71, 0x1FB2, 0x1FB3, 0x1FB4, 0x1FB6, 0x1FB7};
inline constexpr std::array<int, 2> epsilon_accented = {0x1F72, 0x1F73};
inline constexpr std::array<int, 7> eta_accented = {0x1F74, 0x1F75, 0x1FC2, 0x1FC3, 0x1FC4, 0x1FC6, 0x1FC7};
inline constexpr std::array<int, 7> iota_accented = {0x1F76, 0x1F77, 0x1FD2, 0x03CA, 0x1FD3, 0x1FD6, 0x1FD7};
inline constexpr std::array<int, 2> omicron_accented = {0x1F78, 0x1F79};
inline constexpr std::array<int, 7> upsilon_accented = {0x1F7A, 0x1F7B, 0x1FE2, 0x03CB, 0x1FE3, 0x1FE6, 0x1FE7};
inline constexpr std::array<int, 7> omega_accented = {0x1F7C, 0x1F7D, 0x1FF2, 0x1FF3, 0x1FF4, 0x1FF6, 0x1FF7};

// Capitals by the same accent index, in the order of beta_code_vowels without
// rho: with vareia (0), with oxeia (1), and with prosgegrammeni or dialytika
// alone (3; 0 where there is no such capital).
inline constexpr std::array<int, 7> capital_vareia = {0x1FBA, 0x1FC8, 0x1FCA, 0x1FDA, 0x1FF8, 0x1FEA, 0x1FFA};
inline constexpr std::array<int, 7> capital_oxeia = {0x1FBB, 0x1FC9, 0x1FCB, 0x1FDB, 0x1FF9, 0x1FEB, 0x1FFB};
inline constexpr std::array<int, 7> capital_with_mark = {0x1FBC, 0, 0x1FCC, 0x03AA, 0, 0x03AB, 0x1FFC};

// The small letter with psili; the other breathing and accent forms lie at fixed offsets from it.
inline constexpr std::array<int, 7> small_with_psili = {0x1F00, 0x1F10, 0x1F20, 0x1F30, 0x1F40, 0x1F50, 0x1F60};
// Offset of the ypogegrammeni forms, which the Greek Extended block keeps apart.
inline constexpr std::array<int, 7> ypogegrammeni_offset = {0x80, 0, 0x70, 0, 0, 0, 0x40};

constexpr bool has(Diacritics diacritics, Diacritics flag) { return (diacritics & flag) != 0; }

constexpr int accented_small(int vowel, int index) {
  switch (vowel) {
    case 0: return alpha_accented[index];
    case 1: return index < 2 ? epsilon_accented[index] : 0;
    case 2: return eta_accented[index];
    case 3: return iota_accented[index];
    case 4: return index < 2 ? omicron_accented[index] : 0;
    case 5: return upsilon_accented[index];
    default: return omega_accented[index];
  }
}

constexpr int accented_capital(int vowel, int index) {
  switch (index) {
    case 0: return capital_vareia[vowel];
    case 1: return capital_oxeia[vowel];
    case 3: return capital_with_mark[vowel];
    default: return 0;
  }
}

constexpr int composed_rho(int cap, Diacritics diacritics) {
  if (has(diacritics, psili)) return 0x1FE4;
  if (has(diacritics, dasia)) return cap ? 0x1FEC : 0x1FE5;
  return cap ? 0x03A1 : 0x03C1;
}

// The places among the breathing forms that Greek Extended leaves empty: no
// ε or ο takes a perispomeni, no capital υ a psili.
constexpr bool breathing_form_exists(int code_point) {
  switch (code_point) {
    case 0x1F16: case 0x1F17: case 0x1F1E: case 0x1F1F:
    case 0x1F46: case 0x1F47: case 0x1F4E: case 0x1F4F:
    case 0x1F58: case 0x1F5A: case 0x1F5C: case 0x1F5E: return false;
    default: return true;
  }
}

// From the small letter with psili: dasia one place on, one accent (the
// one that wins, as without a breathing) two, four or six, the capital
// eight; the forms with ypogegrammeni lie apart.
constexpr int vowel_with_breathing(int vowel, int cap, Diacritics diacritics) {
  int code_point = small_with_psili[vowel];
  if (has(diacritics, ypogegrammeni)) code_point += ypogegrammeni_offset[vowel];
  if (has(diacritics, dasia)) code_point += 1;
  if (has(diacritics, perispomeni)) {
    code_point += 6;
  } else if (has(diacritics, oxeia)) {
    code_point += 4;
  } else if (has(diacritics, vareia)) {
    code_point += 2;
  }
  if (cap) code_point += 8;
  return breathing_form_exists(code_point) ? code_point : 0;
}

// Perispomeni wins over oxeia, oxeia over vareia; ypogegrammeni and
// dialytika choose the combined forms.
constexpr int accent_index(Diacritics diacritics) {
  const bool with_mark = has(diacritics, ypogegrammeni) || has(diacritics, dialytika);
  int index = 3;
  if (has(diacritics, vareia)) index = with_mark ? 2 : 0;
  if (has(diacritics, oxeia)) index = with_mark ? 4 : 1;
  if (has(diacritics, perispomeni)) index = with_mark ? 6 : 5;
  return index;
}

// The precomposed code point of a vowel (its position in beta_code_vowels, rho
// last) with a set of diacritics, or 0 where Unicode has none.
constexpr int composed_vowel(int vowel, int cap, Diacritics diacritics) {
  if (beta_code_vowels[vowel] == 'R') return composed_rho(cap, diacritics);
  if (has(diacritics, psili) || has(diacritics, dasia)) return vowel_with_breathing(vowel, cap, diacritics);
  const int index = accent_index(diacritics);
  return cap ? accented_capital(vowel, index) : accented_small(vowel, index);
}

// A letter without diacritics; a consonant is the same with them or without.
constexpr int plain_letter(int cap, int word_end, byte letter) {
  if (letter == 'V') return digamma;
  const int position = letter_positions[letter];
  const int capital =
      letter_classes[letter] == LetterClass::vowel ? vowel_capitals[position] : consonant_capitals[position];
  const int code_point = cap ? capital : capital + capital_to_small;
  return code_point == sigma && word_end ? final_sigma : code_point;
}

constexpr int letter_code_point(int cap, int word_end, byte letter, Diacritics diacritics) {
  if (letter == 'J') return 0;
  if (diacritics != 0 && letter_classes[letter] == LetterClass::vowel)
    return composed_vowel(letter_positions[letter], cap, diacritics);
  return plain_letter(cap, word_end, letter);
}

}  // namespace composition

// The one precomposed character of every letter index, or 0 where there is
// none: J, which is no Greek letter, and vowels with marks that no
// precomposed letter carries.
inline constexpr std::array<std::uint16_t, letter_count> letter_code_points = [] {
  std::array<std::uint16_t, letter_count> code_points{};
  for (byte cap = 0; cap < 2; ++cap)
    for (byte word_end = 0; word_end < 2; ++word_end)
      for (byte letter = 'A'; letter <= 'Z'; ++letter)
        for (int diacritics = 0; diacritics < 128; ++diacritics)
          code_points[letter_index(cap, word_end, letter, static_cast<Diacritics>(diacritics))] =
              static_cast<std::uint16_t>(
                  composition::letter_code_point(cap, word_end, letter, static_cast<Diacritics>(diacritics)));
  return code_points;
}();

// What no precomposed character stands for, as the code points written in
// its place: J, which is no Greek letter, stands as the Latin one; a vowel
// whose marks no precomposed letter carries is the base letter and its marks
// in canonical order.
struct UncomposedLetter {
  std::array<int, 5> code_points{};
  int length = 0;

  constexpr void add(int code_point) { code_points[length++] = code_point; }
};

namespace composition {

inline constexpr int combining_psili = 0x0313;
inline constexpr int combining_dasia = 0x0314;
inline constexpr int combining_grave = 0x0300;
inline constexpr int combining_acute = 0x0301;
inline constexpr int combining_diaeresis = 0x0308;
inline constexpr int combining_perispomeni = 0x0342;
inline constexpr int combining_ypogegrammeni = 0x0345;

}  // namespace composition

constexpr UncomposedLetter uncomposed_letter(int index) {
  using namespace composition;
  UncomposedLetter letter;
  const byte beta = letter_of(index);
  if (beta == 'J') {
    letter.add('J');
    return letter;
  }
  const Diacritics diacritics = diacritics_of(index);
  const int capital = vowel_capitals[letter_positions[beta]];
  letter.add(is_capital(index) ? capital : capital + capital_to_small);
  if (has(diacritics, dialytika)) letter.add(combining_diaeresis);
  // Dasia wins over psili, as it does among the precomposed forms.
  if (has(diacritics, dasia)) {
    letter.add(combining_dasia);
  } else if (has(diacritics, psili)) {
    letter.add(combining_psili);
  }
  if (has(diacritics, perispomeni)) {
    letter.add(combining_perispomeni);
  } else if (has(diacritics, oxeia)) {
    letter.add(combining_acute);
  } else if (has(diacritics, vareia)) {
    letter.add(combining_grave);
  }
  if (has(diacritics, ypogegrammeni)) letter.add(combining_ypogegrammeni);
  return letter;
}

}  // namespace scrivel
