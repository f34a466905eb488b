#include "decode/composer.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace scrivel {
namespace {

// Small vowels with accent, diaeresis or iota subscript and no breathing, by
// accent index: 0 vareia, 1 oxeia, 2 vareia with ypogegrammeni or dialytika,
// 3 ypogegrammeni or dialytika alone, 4 oxeia with one of them, 5 perispomeni,
// 6 perispomeni with one of them. Epsilon and omicron take only 0 and 1.
constexpr std::array<int, 7> vtoa = {0x1F70, 0x1F71, 0x1FB2, 0x1FB3, 0x1FB4, 0x1FB6, 0x1FB7};
constexpr std::array<int, 2> vtoe = {0x1F72, 0x1F73};
constexpr std::array<int, 7> vtoh = {0x1F74, 0x1F75, 0x1FC2, 0x1FC3, 0x1FC4, 0x1FC6, 0x1FC7};
constexpr std::array<int, 7> vtoi = {0x1F76, 0x1F77, 0x1FD2, 0x03CA, 0x1FD3, 0x1FD6, 0x1FD7};
constexpr std::array<int, 2> vtoo = {0x1F78, 0x1F79};
constexpr std::array<int, 7> vtou = {0x1F7A, 0x1F7B, 0x1FE2, 0x03CB, 0x1FE3, 0x1FE6, 0x1FE7};
constexpr std::array<int, 7> vtow = {0x1F7C, 0x1F7D, 0x1FF2, 0x1FF3, 0x1FF4, 0x1FF6, 0x1FF7};

// Capitals with vareia (index 0) and oxeia (index 1), and with prosgegrammeni
// or dialytika alone (index 3; 0 where there is no such capital), in the
// order of vow1 without rho.
constexpr std::array<int, 7> capital_vareia = {0x1FBA, 0x1FC8, 0x1FCA, 0x1FDA, 0x1FF8, 0x1FEA, 0x1FFA};
constexpr std::array<int, 7> capital_oxeia = {0x1FBB, 0x1FC9, 0x1FCB, 0x1FDB, 0x1FF9, 0x1FEB, 0x1FFB};
constexpr std::array<int, 7> capital_index3 = {0x1FBC, 0, 0x1FCC, 0x03AA, 0, 0x03AB, 0x1FFC};

// The small letter with psili; the other breathing and accent forms lie at fixed offsets from it.
constexpr std::array<int, 7> with_psili = {0x1F00, 0x1F10, 0x1F20, 0x1F30, 0x1F40, 0x1F50, 0x1F60};
// Offset of the ypogegrammeni forms, which the Greek Extended block keeps apart.
constexpr std::array<int, 7> ypogegrammeni_offset = {0x80, 0, 0x70, 0, 0, 0, 0x40};

constexpr int combining_grave = 0x0300;
constexpr int combining_acute = 0x0301;
constexpr int combining_diaeresis = 0x0308;
constexpr int combining_perispomeni = 0x0342;
constexpr int combining_ypogegrammeni = 0x0345;

constexpr int accented_small(int vowel, int index) {
  switch (vowel) {
    case 0: return vtoa[index];
    case 1: return index < 2 ? vtoe[index] : 0;
    case 2: return vtoh[index];
    case 3: return vtoi[index];
    case 4: return index < 2 ? vtoo[index] : 0;
    case 5: return vtou[index];
    default: return vtow[index];
  }
}

constexpr int accented_capital(int vowel, int index) {
  switch (index) {
    case 0: return capital_vareia[vowel];
    case 1: return capital_oxeia[vowel];
    case 3: return capital_index3[vowel];
    default: return 0;
  }
}

using Flags = Composer::Flags;

constexpr bool has(Flags flags, Flags flag) { return (flags & flag) != 0; }

constexpr int rho(int cap, Flags flags) {
  if (has(flags, Composer::psFlag)) return 0x1FE4;
  if (has(flags, Composer::daFlag)) return cap ? 0x1FEC : 0x1FE5;
  return cap ? 0x03A1 : 0x03C1;
}

constexpr int breathing_vowel(int vowel, int cap, Flags flags) {
  int code_point = with_psili[vowel];
  if (has(flags, Composer::daFlag)) code_point += 1;
  if (has(flags, Composer::vaFlag)) code_point += 2;
  if (has(flags, Composer::ojFlag)) code_point += 4;
  if (has(flags, Composer::peFlag)) code_point += 6;
  if (has(flags, Composer::ypFlag)) code_point += ypogegrammeni_offset[vowel];
  if (cap) code_point += 8;
  return code_point;
}

// Perispomeni wins over oxeia, oxeia over vareia; ypogegrammeni and
// dialytika choose the combined forms.
constexpr int accent_index(Flags flags) {
  const bool with_mark = has(flags, Composer::ypFlag) || has(flags, Composer::diFlag);
  int index = 3;
  if (has(flags, Composer::vaFlag)) index = with_mark ? 2 : 0;
  if (has(flags, Composer::ojFlag)) index = with_mark ? 4 : 1;
  if (has(flags, Composer::peFlag)) index = with_mark ? 6 : 5;
  return index;
}

// The precomposed code point of a vowel (its position in vow1, rho last)
// with a set of diacritics, or 0 where Unicode has none.
constexpr int composed_vowel(int vowel, int cap, Flags flags) {
  if (vow1[vowel] == 'R') return rho(cap, flags);
  if (has(flags, Composer::psFlag) || has(flags, Composer::daFlag)) return breathing_vowel(vowel, cap, flags);
  const int index = accent_index(flags);
  return cap ? accented_capital(vowel, index) : accented_small(vowel, index);
}

// A letter's code point, or 0 where the slow path writes it.
constexpr int letter_code_point(int cap, int word_end, byte l, Flags flags) {
  if (l == 'J') return 0;
  if (flags != 0 && letter_classes[l] == LetterClass::vowel) return composed_vowel(letter_positions[l], cap, flags);
  // A consonant is the same with diacritics or without.
  const int code_point = plain_letters[cap][l];
  return code_point == sigma && word_end ? final_sigma : code_point;
}

}  // namespace

constexpr LetterForms letter_forms(const EncodedCharacters& encoded) {
  LetterForms forms{};
  for (int cap = 0; cap < 2; ++cap) {
    for (int word_end = 0; word_end < 2; ++word_end) {
      for (byte l = 'A'; l <= 'Z'; ++l) {
        for (int flags = 0; flags < 128; ++flags) {
          const int code_point = letter_code_point(cap, word_end, l, static_cast<Flags>(flags));
          if (code_point != 0) forms[Composer::form_index(cap, word_end, l, static_cast<Flags>(flags))] = encoded[code_point];
        }
      }
    }
  }
  return forms;
}

constexpr LetterForms rtf_letter_forms = letter_forms(rtf_escapes);
constexpr LetterForms html_letter_forms = letter_forms(utf8_forms);

const int punctuation30[12] = {0x1FBF, 0x1FFE, 0x00B4, 0x0060, 0x1FC0, 0x1FCE,
                               0x1FDE, 0x1FDD, 0x1FDF, 0x00A8, 0x02D8, 0x02C9};

void Composer::warn_settonos() const {
  messages_.printf("Warning 400: Wrong call to 'settonos', count:%lX\n", static_cast<unsigned long>(source_.count));
}

// What the letter forms leave out: J, and vowels with marks that no
// precomposed letter carries.
void Composer::write_letter() {
  const byte l = static_cast<byte>(letter & 0xFF);
  if (isvowel(l)) {
    write_with_combining_marks(vow2[letter_positions[l]] + (cap ? 0 : small_offset));
    resetflags();
    return;
  }
  if (isconsonant(l)) {
    write_consonant(l);
    resetflags();
    return;
  }
  messages_.printf("Warning 301: Wrong call to `mnw', count:%lX\n", static_cast<unsigned long>(source_.count));
}

void Composer::write_consonant(byte l) {
  if (l == 'J') {
    // J is no Greek letter: it stands as the Latin letter.
    document_.print(l);
    return;
  }
  int code_point = cons2[letter_positions[l]] + (cap ? 0 : small_offset);
  if (l == 'V') code_point = digamma;
  if (code_point == sigma && endOfWord) code_point = final_sigma;
  document_.print(code_point);
}

// Letters that Unicode has no precomposed form for: the base letter and its
// marks in canonical order.
void Composer::write_with_combining_marks(int base) {
  document_.print(base);
  if (tonosFlag & diFlag) document_.print(combining_diaeresis);
  if (tonosFlag & peFlag) {
    document_.print(combining_perispomeni);
  } else if (tonosFlag & ojFlag) {
    document_.print(combining_acute);
  } else if (tonosFlag & vaFlag) {
    document_.print(combining_grave);
  }
  if (tonosFlag & ypFlag) document_.print(combining_ypogegrammeni);
}

}  // namespace scrivel
