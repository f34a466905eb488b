// HTML in UTF-8: the formatting as elements, styled by the heading's style
// sheet, and the program's markers as visible text.
#include <array>
#include <string>

#include "output/encodings.h"
#include "output/passage.h"
#include "output/reference.h"
#include "output/renderers.h"
#include "profile.h"

namespace scrivel {
namespace {

constexpr std::string_view line_end = "<br>\n";

struct SpanMarkup {
  std::string_view opening;
  std::string_view closing;
};

// By Effect: the classes are those of the heading's style sheet.
constexpr std::array<SpanMarkup, 10> spans = {{
    {"<sub>", "</sub>"},
    {"<small>", "</small>"},
    {"<b>", "</b>"},
    {"<i>", "</i>"},
    {"<big>", "</big>"},
    {"<span class=\"hba\">", "</span>"},
    {"<span class=\"exp\">", "</span>"},
    {"<sup>", "</sup>"},
    {"<span class=\"code\">", "</span>"},
    {"&lt;&lt;special ", "&lt;&lt;/special&gt;&gt;"},
}};

// A byte above 0x7F is no UTF-8, and stands as the replacement character.
constexpr std::array<std::string_view, 256> bytes = [] {
  std::array<std::string_view, 256> forms = bytes_as_they_stand;
  forms['<'] = "&lt;";
  forms['>'] = "&gt;";
  forms['&'] = "&amp;";
  forms[line_break_character] = line_end;
  for (int b = 0x80; b < 256; ++b) forms[b] = "\xEF\xBF\xBD";
  return forms;
}();
constexpr VerbatimBytes unescaped = verbatim_in(bytes);

class HtmlRenderer : public Renderer {
 public:
  HtmlRenderer(Writer& out, Normalization normalization, DocumentSource source)
      : Renderer(out, utf8_forms(normalization), normalization, unescaped), source_(source) {}

  void begin() override {
    out_->write(
        "<html>\n"
        "<head>\n"
        "\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
        "\t<title>scrivel ");
    out_->write(profile::version);
    out_->write(": ");
    write_decimal(source_.author);
    out_->write(" ");
    write_decimal(source_.work);
    out_->write(
        "</title>\n"
        "\t<style type=\"text/css\">\n"
        "\t\tbody {font-family: \"Palatino Linotype\";}\n"
        "\t\t.hba {text-decoration: overline;}\n"
        "\t\t.exp {letter-spacing: 1em;}\n"
        "\t\t.code {color: red;}\n"
        "\t</style>\n"
        "</head>"
        "\n<body>\n");
  }
  void end() override { out_->write("\n</body>\n</html>\n"); }

  void nonbreaking_blanks(int count) override {
    for (int i = 0; i < count; ++i) out_->write("&nbsp;");
  }
  // The opening marker of an unrendered span ends in a bracket, as it always has.
  void enter_span(Effect effect, int number) override {
    out_->write(spans[static_cast<int>(effect)].opening);
    if (effect != Effect::unrendered_span) return;
    write_decimal(number);
    out_->write("&gt;&gt;]");
  }
  void leave_span(Effect effect) override { out_->write(spans[static_cast<int>(effect)].closing); }
  void line_break(Break) override { out_->write(line_end); }
  void citation(const Citation& citation) override {
    write_reference_line(reference_.of(citation), line_end, "&nbsp;&nbsp;&nbsp;");
  }

 protected:
  ReferenceText reference_{unescaped};

 private:
  void ascii(byte b) override { out_->write(bytes[b]); }

  const DocumentSource source_;
};

// The text of a work as the web library's reading page holds it: the
// document's body alone, each line opening with an anchor whose id is the
// line's passage, as its CTS URN names it, so that an address can open the
// work at a line and mark it; a shown reference is a link to that address.
// The anchors add no text: the page reads as the document does.
class HtmlPageRenderer final : public HtmlRenderer {
 public:
  HtmlPageRenderer(Writer& out, Normalization normalization, DocumentSource source)
      : HtmlRenderer(out, normalization, source), urn_(work_urn(source.author, source.work)) {}

  void begin() override {}
  void end() override {}

  void line_break(Break kind) override {
    out_->write(line_end);
    if (kind == Break::in_text || !cited_) return;
    passage_.next_line();
    open_anchor(false);
    out_->write("</a>");
  }
  void citation(const Citation& citation) override {
    cited_ = true;
    passage_.cite(citation);
    const Reference reference = reference_.of(citation);
    const bool shown = reference.text.size() > 2;
    out_->write(line_end);
    const bool anchored = open_anchor(shown);
    if (shown) text(reference.text);
    if (anchored) out_->write("</a>");
    if (shown) out_->write("&nbsp;&nbsp;&nbsp;");
  }

 private:
  // The anchor of the line's passage, a link where the reference is shown;
  // none where the line has no passage.
  bool open_anchor(bool link) {
    const std::string passage = passage_.text();
    if (passage.empty()) return false;
    out_->write("<a class=\"l\" id=\"");
    out_->write(passage);
    if (link) {
      out_->write("\" href=\"/");
      out_->write(urn_);
      out_->put(':');
      out_->write(passage);
    }
    out_->write("\">");
    return true;
  }

  const std::string urn_;
  Passage passage_;
  bool cited_ = false;
};

}  // namespace

std::unique_ptr<Renderer> make_html_renderer(Writer& out, Normalization normalization, DocumentSource source) {
  if (source.reading_page) return std::make_unique<HtmlPageRenderer>(out, normalization, source);
  return std::make_unique<HtmlRenderer>(out, normalization, source);
}

}  // namespace scrivel
