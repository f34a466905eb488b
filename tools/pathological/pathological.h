// Author files that repeat one awkward pattern up to a given size: the
// inputs on which the decoder must still take time in proportion to the
// bytes. The suite converts them and the benchmark times them.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "author_file_builder.h"

namespace pathological {

struct Pattern {
  std::string_view name;
  int work;  // the work to convert
  // An author file of about `size` bytes (one block at least).
  authorfile::Bytes (*build)(std::size_t size);
};

// 300 formatting effects opened before a verse and closed by "$", repeated.
authorfile::Bytes nested_effects(std::size_t size);
// y, z and line citation texts of 255 characters before every verse.
authorfile::Bytes citation_texts(std::size_t size);
// Runs of up to a million 0x90 codes, each raising z by one, every run
// after a code that sets z to 1.
authorfile::Bytes z_increments(std::size_t size);
// "%" signs, each followed by a number of up to a million digits "1".
authorfile::Bytes long_numbers(std::size_t size);
// Diacritic signs without a letter, a block full of them after another,
// and one "A" at the end.
authorfile::Bytes lone_diacritics(std::size_t size);
// Works 0 to 999 of one short word each, spread over size / 8 KiB blocks;
// the last one is the one wanted.
authorfile::Bytes thousand_works(std::size_t size);
// Citation bytes that each print a warning (0xB0 and 0xA0 on undefined
// levels, and bytes above 0xBE), and nothing else.
authorfile::Bytes warning_per_byte(std::size_t size);

// The content of each work of thousand_works.
std::string_view thousand_works_word(int work);
// The bytes of warning_per_byte, in the order they repeat.
inline constexpr unsigned char warning_bytes[] = {0xB0, 0xA0, 0xC0, 0xD5, 0xFD};
// The digits that follow each sign of long_numbers, at most.
inline constexpr std::size_t long_number_digits = 1'000'000;
// The 0x90 codes of each run of z_increments, at most.
inline constexpr std::size_t z_run_length = 1'000'000;
// The effects that nested_effects opens before each verse, and its verse.
inline constexpr int nesting = 300;
inline constexpr std::string_view nested_verse = "MH=NIN A)/EIDE QEA\\ ";
// The length of each citation text of citation_texts.
inline constexpr std::size_t citation_text_length = 255;

std::span<const Pattern> patterns();

}  // namespace pathological
