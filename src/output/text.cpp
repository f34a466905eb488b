// Plain text in UTF-8: the text as a reader sees the HTML document, a line
// for every line of it, each citation's line opening with its reference and
// three blanks.
#include <array>

#include "output/plain.h"
#include "output/reference.h"
#include "output/renderers.h"

namespace scrivel {
namespace {

// A line feed or carriage return of the text is no line of the document,
// and a tab no column: a browser shows each as a blank.
constexpr std::array<std::string_view, 256> bytes = [] {
  std::array<std::string_view, 256> forms = plain_bytes;
  for (const byte b : {byte{'\t'}, byte{'\n'}, byte{'\r'}}) forms[b] = " ";
  forms[line_break_character] = "\n";
  return forms;
}();
constexpr VerbatimBytes unescaped = verbatim_in(bytes);

class TextRenderer final : public PlainRenderer {
 public:
  TextRenderer(Writer& out, Normalization normalization) : PlainRenderer(out, normalization, unescaped) {}

  void begin() override {}
  void end() override { out_->write("\n"); }
  void line_break(Break) override { out_->write("\n"); }
  void citation(const Citation& citation) override { write_reference_line(reference_.of(citation), "\n", "   "); }

 private:
  void ascii(byte b) override { out_->write(bytes[b]); }

  ReferenceText reference_{unescaped};
};

}  // namespace

std::unique_ptr<Renderer> make_text_renderer(Writer& out, Normalization normalization) {
  return std::make_unique<TextRenderer>(out, normalization);
}

}  // namespace scrivel
