#pragma once

#include <array>
#include <string_view>

#include "output/format.h"
#include "output/renderer.h"

namespace scrivel {

// Every byte value once, for the forms that are the byte itself.
inline constexpr std::array<char, 256> byte_values = [] {
  std::array<char, 256> values{};
  for (int b = 0; b < 256; ++b) values[b] = static_cast<char>(b);
  return values;
}();

// Each byte as a text of its own: where a format's table of byte forms starts.
inline constexpr std::array<std::string_view, 256> bytes_as_they_stand = [] {
  std::array<std::string_view, 256> forms{};
  for (int b = 0; b < 256; ++b) forms[b] = std::string_view(&byte_values[b], 1);
  return forms;
}();

// RTF: "\\u", the decimal code point, and "?" (the one replacement character).
CharacterForms rtf_escapes(Normalization normalization);
// UTF-8, of one to three bytes below U+2100.
CharacterForms utf8_forms(Normalization normalization);

}  // namespace scrivel
