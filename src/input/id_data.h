#pragma once

#include <cstddef>

#include "byte.h"

// The ID data of the TLG format: the citation codes of the author files and
// the citations of the ID tables. A code byte has its high bit set; its left
// nibble is the level, its right nibble the form of the value that follows.
// Operands, characters and strings carry the high bit too; a string ends at
// string_end.
namespace scrivel::id {

constexpr byte level_of(byte code) { return code & 0xF0; }
constexpr byte form_of(byte code) { return code & 0x0F; }
constexpr bool has_high_bit(byte b) { return (b & 0x80) != 0; }

// The levels by their left nibble, in scrivel's letters (the format's own
// letters are z, y, x and w for these four, and v for the fifth, which
// scrivel does not cite).
inline constexpr byte line_level = 0x80;
inline constexpr byte z_level = 0x90;
inline constexpr byte y_level = 0xA0;
inline constexpr byte x_level = 0xB0;
inline constexpr byte v_level = 0xC0;

// The forms by their right nibble. 1 to 7 are the value itself.
inline constexpr byte increment = 0x0;
inline constexpr byte largest_small_value = 0x7;
inline constexpr byte value7 = 0x8;             // one operand byte
inline constexpr byte value7_character = 0x9;   // one operand byte, one character
inline constexpr byte value7_string = 0xA;      // one operand byte, a string
inline constexpr byte value14 = 0xB;            // two operand bytes, high part first
inline constexpr byte value14_character = 0xC;  // two operand bytes, one character
inline constexpr byte value14_string = 0xD;     // two operand bytes, a string
inline constexpr byte string = 0xF;             // a string and no number

constexpr byte code(byte level, byte form) { return level | form; }
constexpr bool is_small_value(byte code) { return form_of(code) >= 1 && form_of(code) <= largest_small_value; }

// The operands.
constexpr int value7_of(byte b) { return b - 0x80; }
constexpr int value14_of(byte high, byte low) { return high * 128 + low - 0x4080; }
constexpr char character_of(byte b) { return static_cast<char>(b - 0x80); }

// Special bytes: the end of a string, of a block's text, of the file.
inline constexpr byte string_end = 0xFF;
inline constexpr byte block_end = 0xFE;
inline constexpr byte file_end = 0xF0;

// The escape and the byte after it that names its level: the author, the
// work, and the work's abbreviation. Author and work numbers are strings of
// digits (0xB0 + the digit): EF 80 B0 B0 B0 B5 FF is author 0005, EF 81 B0
// B0 B1 FF work 001.
inline constexpr byte escape = 0xEF;
inline constexpr byte author_code = 0x80;
inline constexpr byte work_code = 0x81;
inline constexpr byte abbreviation_code = 0x82;
inline constexpr byte digit_zero = 0xB0;
inline constexpr std::size_t author_header_size = 7;  // EF 80, four digits, FF
inline constexpr std::size_t work_header_size = 5;    // EF 81 and three digits; the FF after them is not counted

// The number that a work header's three digit bytes carry (a damaged header
// may make any number of them, negative ones too).
constexpr int work_number(const byte* digits) {
  return 100 * (digits[0] - digit_zero) + 10 * (digits[1] - digit_zero) + (digits[2] - digit_zero);
}

}  // namespace scrivel::id
