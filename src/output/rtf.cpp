// RTF in code page 1253: every character above ASCII as a Unicode escape,
// the formatting as control words, and what RTF has no markup for as
// visible markers in the text.
#include <array>

#include "output/encodings.h"
#include "output/reference.h"
#include "output/renderers.h"

namespace scrivel {
namespace {

// A control word that ends in a letter or a digit needs a delimiter before
// text that could continue it: a blank, which a reader takes for the
// delimiter and does not show. A Unicode escape, a line break or a closing
// brace ends the control word itself.
enum class Delimiter { unchanged, needed, settled };

// A piece of markup: its text, whether a pending delimiter is written before
// it, and what it leaves.
struct Markup {
  std::string_view text;
  bool settle_first = false;
  Delimiter after = Delimiter::unchanged;
};

constexpr Markup word(std::string_view text) { return {text, false, Delimiter::needed}; }
constexpr Markup symbol(std::string_view text) { return {text, false, Delimiter::settled}; }
constexpr Markup visible(std::string_view text) { return {text, true}; }

constexpr std::string_view line_end = "\\line\n";
constexpr byte line_break_character = 11;

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
  return forms;
}();

class RtfRenderer final : public Renderer {
 public:
  RtfRenderer(Writer& out, Normalization normalization) : Renderer(out, rtf_escapes(normalization), normalization) {}

  void begin() override {
    out_.write(
        "{\\rtf1\\ansi\\ansicpg1253\\deff0\\deflang1032{\\fonttbl\n"
        "{\\f0\\froman\\fcharset161 Palatino Linotype;}}\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\n"
        "\\uc1\\pard\\f0\\fs24\n");
  }
  void end() override { out_.write("}"); }

  void nonbreaking_blanks(int count) override {
    for (int i = 0; i < count; ++i) out_.write("\\~");
    care_before_text_ = false;
  }
  void enter_span(Effect effect, int number) override {
    write_markup(spans[static_cast<int>(effect)].opening);
    if (effect == Effect::unrendered_span) close_marker(number);
  }
  void leave_span(Effect effect) override { write_markup(spans[static_cast<int>(effect)].closing); }
  void marker(MarkerKind kind, int number) override {
    write_markup(visible(kind == MarkerKind::percent ? "<<%" : "<<#"));
    close_marker(number);
  }
  void line_break(Break) override {
    care_before_text_ = false;
    out_.write(line_end);
  }
  void citation(const Citation& citation) override {
    write_reference_line(reference_.of(citation), line_end, "\\~\\~\\~");
  }

 private:
  void ascii(byte b) override {
    if (b == line_break_character) {
      line_break(Break::in_text);
      return;
    }
    settle_delimiter();
    out_.write(bytes[b]);
  }
  void settle_delimiter() {
    if (care_before_text_) out_.put(' ');
    care_before_text_ = false;
  }
  void write_markup(const Markup& markup) {
    if (markup.settle_first) settle_delimiter();
    out_.write(markup.text);
    if (markup.after == Delimiter::needed) care_before_text_ = true;
    if (markup.after == Delimiter::settled) care_before_text_ = false;
  }
  // A marker's number and its end, after its visible opening.
  void close_marker(int n) {
    write_decimal(n);
    out_.write(">>");
  }

  ReferenceText reference_;
};

}  // namespace

std::unique_ptr<Renderer> make_rtf_renderer(Writer& out, Normalization normalization) {
  return std::make_unique<RtfRenderer>(out, normalization);
}

}  // namespace scrivel
