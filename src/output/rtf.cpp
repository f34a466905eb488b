// RTF in code page 1253: every character above ASCII as a Unicode escape,
// the formatting as control words, and what RTF has no markup for as
// visible markers in the text.
#include <array>
#include <cstdint>

#include "output/encodings.h"
#include "output/reference.h"
#include "output/renderers.h"
#include "profile.h"

namespace scrivel {
namespace {

// A control word that ends in a letter or a digit needs a delimiter before
// text that could continue it: a blank, which a reader takes for the
// delimiter and does not show. A Unicode escape, a line break or a closing
// brace ends the control word itself: anything written after the control
// word settles it.

// A piece of markup: its text, whether a delimiter that is due is written
// before it (it is text to see), and whether it ends in a control word.
struct Markup {
  std::string_view text;
  bool settle_first = false;
  bool needs_delimiter = false;
};

constexpr Markup word(std::string_view text) { return {text, false, true}; }
constexpr Markup symbol(std::string_view text) { return {text}; }
constexpr Markup visible(std::string_view text) { return {text, true}; }

constexpr std::string_view line_end = "\\line\n";

struct SpanMarkup {
  Markup opening;
  Markup closing;
};

// By Effect. The overline has no markup in RTF and shows as markers; the
// sizes close to the heading's 12 points.
constexpr std::array<SpanMarkup, 10> spans = {{
    {word("{\\sub"), symbol("}")},
    {word("\\fs20"), word("\\fs24")},
    {word("\\b "), word("\\b0 ")},
    {word("\\i"), word("\\i0")},
    {word("\\fs28"), word("\\fs24")},
    {visible("<hba>"), visible("</hba>")},
    {word("\\expnd8\\expndtw40"), word("\\expnd0\\expndtw0")},
    {word("{\\super"), symbol("}")},
    {word("\\cf1"), word("\\cf0")},
    {visible("<<special "), visible("<</special>>")},
}};

// Braces and the backslash would open or close a group or start a control
// word; a byte above 0x7F stands as it is, a character of code page 1253.
constexpr std::array<std::string_view, 256> bytes = [] {
  std::array<std::string_view, 256> forms = bytes_as_they_stand;
  forms['{'] = "\\{";
  forms['}'] = "\\}";
  forms['\\'] = "\\\\";
  forms[line_break_character] = line_end;
  return forms;
}();
constexpr VerbatimBytes unescaped = verbatim_in(bytes);
// Right after a control word that needs a delimiter, no byte stands as it is.
constexpr VerbatimBytes none_verbatim{};

class RtfRenderer final : public Renderer {
 public:
  RtfRenderer(Writer& out, Normalization normalization)
      : Renderer(out, rtf_escapes(normalization), normalization, unescaped) {}

  void begin() override {
    out_->write("{\\rtf1\\ansi\\ansicpg");
    write_decimal(profile::rtf_code_page);
    out_->write(
        "\\deff0\\deflang1032{\\fonttbl\n"
        "{\\f0\\froman\\fcharset161 Palatino Linotype;}}\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\n"
        "\\uc1\\pard\\f0\\fs24\n");
  }
  void end() override { out_->write("}"); }

  void nonbreaking_blanks(int count) override {
    for (int i = 0; i < count; ++i) out_->write("\\~");
  }
  void enter_span(Effect effect, int number) override {
    write_markup(spans[static_cast<int>(effect)].opening);
    if (effect == Effect::unrendered_span) close_marker(number);
  }
  void leave_span(Effect effect) override { write_markup(spans[static_cast<int>(effect)].closing); }
  void line_break(Break) override { out_->write(line_end); }
  void citation(const Citation& citation) override {
    write_reference_line(reference_.of(citation), line_end, "\\~\\~\\~");
  }
  const VerbatimBytes& verbatim_now() const override { return delimiter_due() ? none_verbatim : unescaped; }
  void character(int c) override {
    if (c < 0x80) settle_delimiter();
    Renderer::character(c);
  }

 private:
  void ascii(byte b) override {
    if (b == line_break_character) {
      line_break(Break::in_text);
      return;
    }
    settle_delimiter();
    out_->write(bytes[b]);
  }
  // Whether nothing was written since a control word that needs a delimiter.
  bool delimiter_due() const { return out_->position() == delimiter_due_at_; }
  void settle_delimiter() {
    if (delimiter_due()) out_->put(' ');
  }
  void write_markup(const Markup& markup) {
    if (markup.settle_first) settle_delimiter();
    out_->write(markup.text);
    if (markup.needs_delimiter) delimiter_due_at_ = out_->position();
  }
  // A marker's number and its end, after its visible opening.
  void close_marker(int n) {
    write_decimal(n);
    out_->write(">>");
  }

  ReferenceText reference_{unescaped};
  // Where a control word that needs a delimiter ended: one is due while
  // nothing else has been written since.
  std::uint64_t delimiter_due_at_ = UINT64_MAX;
};

}  // namespace

std::unique_ptr<Renderer> make_rtf_renderer(Writer& out, Normalization normalization) {
  return std::make_unique<RtfRenderer>(out, normalization);
}

}  // namespace scrivel
