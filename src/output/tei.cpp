// TEI XML for digital libraries, in the conventions of CTS and CapiTainS:
// a header that names the work and says how its CTS URNs resolve, then the
// edition, its levels above the line as nested textpart divisions and its
// lines as <l> elements (verse) or as <lb/> milestones in a paragraph
// (prose). Every line's value is the one its tsv record's URN has. The
// header says which levels divide the text, which the work's first citation
// tells: the text before it is held back until then, so that the work is
// decoded once.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/encodings.h"
#include "output/passage.h"
#include "output/renderers.h"
#include "output/xml.h"
#include "profile.h"

namespace scrivel {
namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

// Text escaped for XML. A control character has no place in XML: it stands
// as the replacement character, as does a byte above 0x7F, which is no
// UTF-8. Tab, line ends and the line-break character are blanks, as in the
// tsv records.
constexpr std::array<std::string_view, 256> bytes = [] {
  std::array<std::string_view, 256> forms = bytes_as_they_stand;
  for (int b = 0; b < 0x20; ++b) forms[b] = replacement_character;
  for (const byte b : {byte{'\t'}, byte{'\n'}, byte{'\r'}, line_break_character}) forms[b] = " ";
  forms['<'] = "&lt;";
  forms['>'] = "&gt;";
  forms['&'] = "&amp;";
  forms[0x7F] = replacement_character;
  for (int b = 0x80; b < 256; ++b) forms[b] = replacement_character;
  return forms;
}();
constexpr VerbatimBytes unescaped = verbatim_in(bytes);

constexpr std::array<Level, 3> upper_levels = {Level::x, Level::y, Level::z};

struct EffectMarkup {
  std::string_view opening;
  std::string_view closing;
};

// By Effect. What the reading documents show in red is a seg; an unrendered
// span shows only its markers, as text.
// The effects written as elements, the oldest open ones: deeper ones keep
// their text without markup. Parsers built on libxml2 (lxml, xmllint, the
// CTS tools) refuse a document nested more than 256 elements deep unless
// told otherwise, and the elements around a line's text take up to 8.
constexpr int deepest_effect_element = 240;

constexpr std::array<EffectMarkup, 10> effects = {{
    {"<hi rend=\"subscript\">", "</hi>"},
    {"<hi rend=\"small\">", "</hi>"},
    {"<hi rend=\"bold\">", "</hi>"},
    {"<hi rend=\"italic\">", "</hi>"},
    {"<hi rend=\"large\">", "</hi>"},
    {"<hi rend=\"overline\">", "</hi>"},
    {"<hi rend=\"letter-spacing\">", "</hi>"},
    {"<hi rend=\"superscript\">", "</hi>"},
    {"<seg type=\"unrendered\">", "</seg>"},
    {},
}};

// A line end and the indentation of an element `depth` levels inside the
// edition's division.
std::string_view indent(std::size_t depth) {
  constexpr std::string_view blanks = "\n                          ";
  return blanks.substr(0, 5 + 2 * depth);
}

class TeiRenderer final : public Renderer {
 public:
  TeiRenderer(Writer& out, Normalization normalization, DocumentSource source)
      : Renderer(out, utf8_forms(normalization), normalization, unescaped),
        document_(out),
        edition_(*source.edition),
        urn_(work_urn(source.author, source.work)),
        work_(source.work) {}

  // Until the first citation, the text goes to the head, held back.
  void begin() override {
    held_.emplace(memory_output(held_text_));
    write_to(*held_);
  }
  void end() override {
    if (in_head_) {
      finish_head(false);
    } else {
      close_line();
      close_paragraph();
      close_divisions(0);
    }
    out_->write("\n    </div>\n  </body></text>\n</TEI>\n");
  }

  std::string_view markup_left_out() const override {
    static const std::string left_out = "effects nested more than " + std::to_string(deepest_effect_element) +
                                        " deep are left out of the TEI markup; their text is kept";
    return too_deep_ ? std::string_view(left_out) : std::string_view();
  }
  void nonbreaking_blanks(int count) override {
    for (int i = 0; i < count; ++i) out_->write("\u00A0");
  }
  void enter_span(Effect effect, int number) override {
    if (effect == Effect::unrendered_span) {
      out_->write("&lt;&lt;special ");
      write_decimal(number);
      out_->write("&gt;&gt;]");
      return;
    }
    if (open_count_ == static_cast<int>(open_.size())) return;
    open_[open_count_++] = effect;
    open_effect(open_count_ - 1);
  }
  // Effects reach the renderer nested: the one that closes is the newest.
  void leave_span(Effect effect) override {
    if (effect == Effect::unrendered_span) {
      out_->write("&lt;&lt;/special&gt;&gt;");
      return;
    }
    if (open_count_ == 0) return;
    close_effects(open_count_ - 1);
    --open_count_;
  }
  // Before the first citation a line break is one of the head; after it,
  // the code 0x80 opens the next line.
  void line_break(Break kind) override {
    if (kind == Break::in_text) {
      out_->put(' ');
    } else if (in_head_) {
      write_markup("<lb/>");
    } else {
      close_line();
      passage_.next_line();
      open_line();
    }
  }
  void citation(const Citation& citation) override {
    const bool first = in_head_;
    if (!first) close_line();
    const bool upper_levels_taken = passage_.cite(citation);
    if (first) finish_head(true);
    if (upper_levels_taken) divide();
    open_line();
  }

 private:
  void ascii(byte b) override { out_->write(bytes[b]); }

  void choose_scheme(bool cited);
  void write_greek_tag() {
    out_->write(" xml:lang=\"");
    out_->write(profile::language);
    out_->write("\"");
  }
  void write_header();
  void write_reference_patterns();
  void write_cite_structure(std::size_t level);
  std::string_view unit(std::size_t level) const {
    return edition_.units[static_cast<int>(level < divisions_.size() ? divisions_[level] : Level::line)];
  }

  // At the first citation, or at the end of a work without one: the header,
  // now that the scheme is known, then the head, which holds the text before
  // the first citation; without any text, there is no head.
  void finish_head(bool cited) {
    in_head_ = false;
    const bool head = held_->position() > 0;
    if (head) close_effects(0);
    held_->close();
    held_.reset();
    write_to(document_);
    choose_scheme(cited);
    write_header();
    out_->write("  <text><body>\n    <div type=\"edition\" xml:lang=\"");
    out_->write(profile::language);
    out_->write("\" n=\"");
    out_->write(urn_);
    out_->write(".");
    out_->write(edition_name());
    out_->write("\">");
    if (head) {
      out_->write(indent(1));
      out_->write("<head>");
      out_->write(held_text_);
      out_->write("</head>");
    }
    held_text_ = std::string();
  }

  // Closes the divisions from `level` down, and opens them again with the
  // values the citation gives, from the highest that changed. A level that
  // the citation leaves without a value keeps the value it had: an empty n
  // would name no division.
  void divide() {
    std::size_t level = 0;
    while (level < open_values_.size() &&
           (!passage_.holds(divisions_[level]) || open_values_[level] == passage_.value(divisions_[level])))
      ++level;
    if (level < open_values_.size()) {
      close_paragraph();
      for (std::size_t kept = level; kept < open_values_.size(); ++kept) {
        if (!passage_.holds(divisions_[kept])) kept_values_[kept] = open_values_[kept];
      }
      close_divisions(level);
    }
    for (; level < divisions_.size(); ++level) {
      const Level division = divisions_[level];
      open_values_.emplace_back(passage_.holds(division) ? passage_.value(division) : kept_values_[level]);
      out_->write(indent(level + 1));
      out_->write("<div type=\"textpart\" subtype=\"");
      out_->write(unit(level));
      out_->write("\" n=\"");
      out_->write(open_values_.back());
      out_->write("\">");
    }
    if (!verse_ && !paragraph_open_) {
      out_->write(indent(divisions_.size() + 1));
      out_->write("<p>");
      paragraph_open_ = true;
    }
  }
  void close_paragraph() {
    if (!paragraph_open_) return;
    out_->write(indent(divisions_.size() + 1));
    out_->write("</p>");
    paragraph_open_ = false;
  }
  void close_divisions(std::size_t level) {
    while (open_values_.size() > level) {
      out_->write(indent(open_values_.size()));
      out_->write("</div>");
      open_values_.pop_back();
    }
  }

  // A line opens at every line of the work: its tag and value go into the
  // buffer in one step, the tag as a copy of fixed size. In prose a line
  // that goes on with a word that the line before broke with a hyphen opens
  // without the line end and indentation before it, lest a reader of the
  // text find two words.
  void open_line() {
    constexpr std::string_view value_opening = " n=\"";
    char* next = out_->reserve(line_tag_.text.size() + value_opening.size() + Passage::value_room + 1);
    const std::size_t skipped = !verse_ && follows_hyphen_ ? line_tag_.indentation : 0;
    std::memcpy(next, line_tag_.text.data() + skipped, line_tag_.text.size() - skipped);
    next += line_tag_.size - skipped;
    if (passage_.holds_line()) {
      std::memcpy(next, value_opening.data(), value_opening.size());
      next = passage_.put_line(next + value_opening.size());
      *next++ = '"';
    }
    out_->advance_to(next);
    if (verse_) {
      out_->put('>');
    } else {
      out_->write(follows_hyphen_ ? "><lb break=\"no\"/>" : "><lb/>");
    }
    markup_end_ = out_->position();
    hyphen_before_markup_ = false;
    reopen_effects(0);
  }
  void close_line() {
    follows_hyphen_ = ends_in_hyphen();
    close_effects(0);
    out_->write(verse_ ? "</l>" : "</seg>");
  }

  // Markup between pieces of text, which the check for a closing hyphen
  // looks past.
  void write_markup(std::string_view markup) {
    hyphen_before_markup_ = ends_in_hyphen();
    out_->write_unbroken(markup);
    markup_end_ = out_->position();
  }
  bool ends_in_hyphen() const {
    if (out_->position() == markup_end_) return hyphen_before_markup_;
    return out_->holds_last(1) && out_->last() == '-';
  }
  // Closes the open effects' elements, the newest first, down to `from`;
  // they stay open, to be opened again. An element that nothing was written
  // into since it opened is taken back rather than left empty: its opening
  // tag lies in one buffer.
  void close_effects(int from) {
    for (int i = std::min(open_count_, deepest_effect_element) - 1; i >= from; --i) {
      const EffectMarkup& markup = effects[static_cast<int>(open_[i])];
      if (out_->position() == opening_end_[i] && out_->holds_last(markup.opening.size())) {
        out_->take_back(markup.opening.size());
      } else {
        write_markup(markup.closing);
      }
    }
  }
  void reopen_effects(int from) {
    for (int i = from; i < open_count_; ++i) open_effect(i);
  }
  void open_effect(int index) {
    if (index >= deepest_effect_element) {
      too_deep_ = true;
      return;
    }
    write_markup(effects[static_cast<int>(open_[index])].opening);
    opening_end_[index] = out_->position();
  }

  Writer& document_;
  std::optional<Writer> held_;  // the head's text, until the first citation
  std::string held_text_;
  const Edition& edition_;
  const std::string urn_;
  const int work_;
  std::vector<Level> divisions_;  // the levels above the line that divide the text, the highest first
  bool verse_ = true;
  // A line's line end and indentation and the start of its tag: "<l" in
  // verse; in prose, where a line is a stretch of its paragraph,
  // "<seg type="line"", whose text opens with an <lb/>.
  struct LineTag {
    std::array<char, 48> text{};
    std::size_t size = 0;
    std::size_t indentation = 0;
  } line_tag_;
  Passage passage_;
  std::vector<std::string> open_values_;  // of the divisions open, the highest first
  std::array<std::string, 3> kept_values_;  // of divisions closed around a level left without a value
  bool paragraph_open_ = false;
  bool in_head_ = true;
  std::array<Effect, 256> open_{};                // the effects open, the oldest first
  std::array<std::uint64_t, 256> opening_end_{};  // where each one's opening tag ended
  int open_count_ = 0;
  bool too_deep_ = false;  // an effect was nested deeper than its element can be
  bool follows_hyphen_ = false;  // the line before ended in a hyphen
  std::uint64_t markup_end_ = 0;
  bool hyphen_before_markup_ = false;
};

void TeiRenderer::choose_scheme(bool cited) {
  for (const Level level : upper_levels)
    if (cited && passage_.holds(level)) divisions_.push_back(level);
  const LineForm by_levels = divisions_.size() <= 1 ? LineForm::verse : LineForm::prose;
  verse_ = edition_.choices.lines.value_or(by_levels) == LineForm::verse;
  const std::string_view indentation = indent(divisions_.size() + (verse_ ? 1 : 2));
  const std::string_view tag = verse_ ? "<l" : "<seg type=\"line\"";
  std::copy(tag.begin(), tag.end(), std::copy(indentation.begin(), indentation.end(), line_tag_.text.begin()));
  line_tag_.size = indentation.size() + tag.size();
  line_tag_.indentation = indentation.size();
}

// The schema an edition names for the tools that validate it: EpiDoc 8, as
// Perseus's editions name it, which CTS collections check their texts
// against; with the citeStructure tree, which EpiDoc 8 refuses, tei_all.
constexpr std::string_view epidoc_schema = "http://www.stoa.org/epidoc/schema/8.19/tei-epidoc.rng";
constexpr std::string_view tei_all_schema = "https://www.tei-c.org/release/xml/tei/custom/schema/relaxng/tei_all.rng";

void TeiRenderer::write_header() {
  char work[48];
  std::snprintf(work, sizeof work, ", work %03d.</p>", work_);
  const std::string file = xml_escaped(edition_.file_name);
  out_->write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?xml-model href=\"");
  out_->write(edition_.choices.cite_structure ? tei_all_schema : epidoc_schema);
  out_->write(
      "\" schematypens=\"http://relaxng.org/ns/structure/1.0\"?>\n"
      "<TEI xmlns=\"http://www.tei-c.org/ns/1.0\">\n"
      "  <teiHeader>\n"
      "    <fileDesc>\n"
      "      <titleStmt><title");
  if (edition_.greek_title) write_greek_tag();
  out_->write(">");
  out_->write(xml_escaped(edition_.title));
  out_->write("</title><author");
  if (edition_.greek_author) write_greek_tag();
  out_->write(">");
  out_->write(xml_escaped(edition_.author_name));
  out_->write("</author></titleStmt>\n      <publicationStmt><p>Converted by scrivel ");
  out_->write(profile::version);
  out_->write(" from ");
  out_->write(file);
  out_->write(work);
  out_->write("</publicationStmt>\n      <sourceDesc><p>TLG author file ");
  out_->write(file);
  out_->write(work);
  out_->write("</sourceDesc>\n    </fileDesc>\n    <encodingDesc>\n");
  write_reference_patterns();
  if (edition_.choices.cite_structure) {
    out_->write("      <refsDecl>");
    write_cite_structure(0);
    out_->write("\n      </refsDecl>\n");
  }
  out_->write("    </encodingDesc>\n  </teiHeader>\n");
}

// One pattern per level, the deepest first: a passage of k values resolves
// to the division or line that the first k levels name.
void TeiRenderer::write_reference_patterns() {
  out_->write("      <refsDecl n=\"CTS\">\n");
  const std::size_t divisions = divisions_.size();
  for (std::size_t levels = divisions + 1; levels >= 1; --levels) {
    out_->write("        <cRefPattern n=\"");
    out_->write(unit(levels - 1));
    out_->write("\" matchPattern=\"([^.]+)");
    for (std::size_t i = 1; i < levels; ++i) out_->write("\\.([^.]+)");
    out_->write("\"\n          replacementPattern=\"#xpath(/tei:TEI/tei:text/tei:body/tei:div");
    for (std::size_t i = 1; i <= levels; ++i) {
      if (i <= divisions) {
        out_->write("/tei:div[@n='$");
      } else {
        out_->write(verse_ ? "/tei:l[@n='$" : "/tei:p/tei:seg[@n='$");
      }
      write_decimal(static_cast<int>(i));
      out_->write("']");
    }
    out_->write(")\"/>\n");
  }
  out_->write("      </refsDecl>\n");
}

// The same levels as a tree of citeStructure elements.
void TeiRenderer::write_cite_structure(std::size_t level) {
  const std::size_t divisions = divisions_.size();
  out_->write(indent(level + 2));
  out_->write("<citeStructure unit=\"");
  out_->write(unit(level));
  out_->write("\" match=\"");
  if (level == 0) out_->write("/TEI/text/body/div/");
  out_->write(level < divisions ? "div" : verse_ ? "l" : "p/seg");
  out_->write(level == 0 ? "\" use=\"@n\"" : "\" use=\"@n\" delim=\".\"");
  if (level == divisions) {
    out_->write("/>");
    return;
  }
  out_->write(">");
  write_cite_structure(level + 1);
  out_->write(indent(level + 2));
  out_->write("</citeStructure>");
}

}  // namespace

std::unique_ptr<Renderer> make_tei_renderer(Writer& out, Normalization normalization, DocumentSource source) {
  return std::make_unique<TeiRenderer>(out, normalization, source);
}

}  // namespace scrivel
