#pragma once

#include <array>
#include <string_view>

#include "output/encodings.h"
#include "output/renderer.h"

namespace scrivel {

// What a reader of the HTML document sees, without markup: the base of the
// formats for study. Effects show nothing; the program's markers show as the
// HTML document shows them; non-breaking blanks stay U+00A0.
class PlainRenderer : public Renderer {
 public:
  void nonbreaking_blanks(int count) override;
  void enter_span(Effect effect, int number) override;
  void leave_span(Effect effect) override;

 protected:
  PlainRenderer(Writer& out, Normalization normalization, const VerbatimBytes& verbatim)
      : Renderer(out, utf8_forms(normalization), normalization, verbatim) {}
};

// The byte forms of a plain format: a byte above 0x7F, which comes only from
// a citation's text, is no UTF-8 and stands as the replacement character.
// So does a control character: read on a terminal, an escape sequence in a
// text or a name could recolour or rewrite the screen. Each format gives the
// blanks among them (tab, line ends) forms of its own.
constexpr std::array<std::string_view, 256> plain_bytes = [] {
  std::array<std::string_view, 256> forms = bytes_as_they_stand;
  for (int b = 0; b < 0x20; ++b) forms[b] = "\xEF\xBF\xBD";
  forms[0x7F] = "\xEF\xBF\xBD";
  for (int b = 0x80; b < 256; ++b) forms[b] = "\xEF\xBF\xBD";
  return forms;
}();

}  // namespace scrivel
