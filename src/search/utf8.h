#pragma once

#include <cstddef>
#include <string_view>

namespace scrivel::search {

// A code point of UTF-8 and the bytes it takes: none where the bytes at
// hand are no UTF-8 (cut short, overlong, a surrogate, past U+10FFFF).
struct CodePoint {
  char32_t value = 0;
  std::size_t length = 0;
};

inline CodePoint code_point_at(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return {};
  char32_t value = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return {};
    value = value << 6 | (next & 0x3F);
  }
  constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {};
  return {value, length};
}

// Code points before a byte offset of UTF-8 text: where scripts count it.
inline std::size_t characters_before(std::string_view text, std::size_t offset) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++count;
  return count;
}

}  // namespace scrivel::search
