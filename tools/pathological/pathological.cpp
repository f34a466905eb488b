#include "pathological.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

namespace pathological {
namespace {

using authorfile::Bytes;

// A block's room for content: less the headers (13 bytes) and its end FE.
constexpr std::size_t block_room = authorfile::block_size - 14;

std::size_t blocks_in(std::size_t size) { return std::max<std::size_t>(size / authorfile::block_size, 1); }

// The content that fills a file of `size` bytes: whole blocks, the last of
// which ends with F0 FE.
std::size_t content_room(std::size_t size) { return blocks_in(size) * block_room - 1; }

Bytes bytes_of(std::string_view text) { return {text.begin(), text.end()}; }

// Units of `unit` in work 1, as many as fill the blocks of a file of `size`
// bytes: a unit never spans two blocks.
Bytes repeated(std::size_t size, const Bytes& unit) {
  const std::size_t units = std::max<std::size_t>(blocks_in(size) * ((block_room - 1) / unit.size()), 1);
  authorfile::Builder builder(1);
  builder.work(1);
  for (std::size_t i = 0; i < units; ++i) builder.raw(unit);
  return builder.finish();
}

// Units of up to `longest` bytes, each `head` and then `body` over and
// over, until `length` bytes are laid.
Bytes runs(std::size_t length, unsigned char head, unsigned char body, std::size_t longest) {
  authorfile::Builder builder(1);
  builder.work(1);
  for (std::size_t left = std::max<std::size_t>(length, 2); left > 0;) {
    Bytes unit(std::clamp<std::size_t>(left, 2, longest), body);
    unit[0] = head;
    builder.raw(unit);
    left -= std::min(left, unit.size());
  }
  return builder.finish();
}

// `length` bytes that cycle through `cycle`.
Bytes cycled(std::span<const unsigned char> cycle, std::size_t length) {
  Bytes out(length);
  for (std::size_t i = 0; i < length; ++i) out[i] = cycle[i % cycle.size()];
  return out;
}

// A citation text: the code, the characters with their high bit set, FF.
void append_citation_text(Bytes& out, std::initializer_list<unsigned char> code, char first_letter) {
  out.insert(out.end(), code);
  for (std::size_t i = 0; i < citation_text_length; ++i)
    out.push_back(static_cast<unsigned char>(0x80 | (first_letter + i % 26)));
  out.push_back(0xFF);
}

}  // namespace

Bytes nested_effects(std::size_t size) {
  // Bold, overline, raised, lowered, expanded and small: each takes one
  // place on the stack of open effects, which holds 256.
  std::string unit;
  for (int i = 0; i < nesting / 6; ++i) unit += "{1<0<6<7<20$10";
  unit += nested_verse;
  unit += "$";
  return repeated(size, bytes_of(unit));
}

Bytes citation_texts(std::size_t size) {
  Bytes unit;
  append_citation_text(unit, {0xAF}, 'a');
  append_citation_text(unit, {0x9F}, 'A');
  append_citation_text(unit, {0x8A, 0x81}, 'a');
  const Bytes verse = bytes_of("MH=NIN A)/EIDE QEA\\");
  unit.insert(unit.end(), verse.begin(), verse.end());
  return repeated(size, unit);
}

Bytes z_increments(std::size_t size) { return runs(content_room(size), 0x91, 0x90, 1 + z_run_length); }

Bytes long_numbers(std::size_t size) { return runs(content_room(size), '%', '1', 1 + long_number_digits); }

// One run of signs, which the layout cuts where each block's room ends:
// every block holds 8 KiB of them.
Bytes lone_diacritics(std::size_t size) {
  constexpr std::string_view signs = ")(/\\=+|";
  authorfile::Builder builder(1);
  builder.work(1).raw(cycled(bytes_of(signs), content_room(size) - 1)).raw(bytes_of("A"));
  return builder.finish();
}

std::string_view thousand_works_word(int work) {
  static constexpr std::array<std::string_view, 4> words = {"LO/GOS", "KAI\\", "E)N", "TE/LOS"};
  return words[static_cast<std::size_t>(work) % words.size()];
}

Bytes thousand_works(std::size_t size) {
  constexpr int works = 1000;
  const std::size_t blocks = std::min<std::size_t>(blocks_in(size), works);
  authorfile::Builder builder(1);
  for (int work = 0; work < works; ++work) {
    // A fresh block each time the share of the blocks reached moves on.
    if (work > 0 && work * blocks / works != (work - 1) * blocks / works) builder.block();
    builder.work(work).unit(thousand_works_word(work));
  }
  return builder.finish();
}

Bytes warning_per_byte(std::size_t size) {
  authorfile::Builder builder(1);
  builder.work(1).raw(cycled(warning_bytes, content_room(size)));
  return builder.finish();
}

std::span<const Pattern> patterns() {
  static constexpr std::array<Pattern, 7> all = {{
      {"nested-effects", 1, nested_effects},
      {"citation-texts", 1, citation_texts},
      {"z-increments", 1, z_increments},
      {"long-numbers", 1, long_numbers},
      {"lone-diacritics", 1, lone_diacritics},
      {"thousand-works", 999, thousand_works},
      {"warning-per-byte", 1, warning_per_byte},
  }};
  return all;
}

}  // namespace pathological
