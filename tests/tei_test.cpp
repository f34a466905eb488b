// The header of a TEI edition: the names that the corpus's tables give, and
// the citation scheme its URNs resolve by, from the tables and the work's
// first citation. The bodies are in examples/tei.txt.

#include <gtest/gtest.h>

#include "author_file_builder.h"
#include "conversion.h"
#include "scrivel.h"

namespace scrivel::testing {
namespace {

std::string tei_of(std::string_view units, const WorkNames& names = {}, std::optional<LineForm> lines = {},
                   bool cite_structure = false) {
  const Request request{1, 1, Format::tei, Normalization::nfc, "corpus/tlg0001.txt", names, {lines, cite_structure}};
  const Conversion result = scrivel::convert(to_string(authorfile::single_work(units)), request);
  EXPECT_EQ(result.outcome.status, 0) << result.messages;
  return result.document;
}

// The text from `from` up to the end of `to`, or "" when either is missing.
std::string between(const std::string& document, std::string_view from, std::string_view to) {
  const std::size_t start = document.find(from);
  const std::size_t end = document.find(to, start);
  return start == std::string::npos || end == std::string::npos ? "" : document.substr(start, end + to.size() - start);
}

TEST(TeiEdition, NamesTheWorkAndItsAuthorFileFromTheTablesOrByNumber) {
  const struct {
    WorkNames names;
    std::string_view title_statement;
  } cases[] = {
      {{}, "<titleStmt><title>tlg0001.tlg001</title><author>tlg0001</author></titleStmt>"},
      {{"Homerus & <Epic.>", "Ἰλιάς \"A\"", {}},
       "<titleStmt><title>Ἰλιάς &quot;A&quot;</title><author>Homerus &amp; &lt;Epic.&gt;</author></titleStmt>"},
  };
  for (const auto& c : cases) EXPECT_NE(tei_of("~[z 1 line 1]A", c.names).find(c.title_statement), std::string::npos);
}

// The levels that the first citation gives a value divide the text, named
// as the tables name them: a level the tables name and the text does not
// set divides nothing. More than one above the line makes prose, unless the
// caller says otherwise.
TEST(TeiEdition, TakesItsSchemeFromTheTablesAndTheFirstCitation) {
  const struct {
    std::string_view units;
    std::array<std::string, level_count> level_names;
    std::optional<LineForm> lines;
    std::string_view deepest_pattern;
    std::string_view units_named;
  } cases[] = {
      {"A~[80]B",
       {},
       {},
       "([^.]+)\"\n          replacementPattern=\"#xpath(/tei:TEI/tei:text/tei:body/tei:div/tei:l[@n='$1'])",
       "<citeStructure unit=\"line\" match=\"/TEI/text/body/div/l\" use=\"@n\"/>"},
      {"~[y 1 z 1 line 1]A",
       {"", "Aa0-Zz9", "chapter, 2!", "(vers)"},
       {},
       "/tei:div[@n='$1']/tei:div[@n='$2']/tei:p/tei:seg[@n='$3'])",
       "<citeStructure unit=\"Aa0-Zz9\" match=\"/TEI/text/body/div/div\" use=\"@n\">\n"
       "          <citeStructure unit=\"chapter_2\" match=\"div\" use=\"@n\" delim=\".\">\n"
       "            <citeStructure unit=\"vers\" match=\"p/seg\" use=\"@n\" delim=\".\"/>"},
      {"~[y 1 z 1 line 1]A",
       {},
       LineForm::verse,
       "/tei:div[@n='$1']/tei:div[@n='$2']/tei:l[@n='$3'])",
       "<citeStructure unit=\"y\" match=\"/TEI/text/body/div/div\" use=\"@n\">"},
      {"~[z 1 line 1]A",
       {"", "Liber", "Carmen", ""},
       {},
       "/tei:div[@n='$1']/tei:l[@n='$2'])",
       "<citeStructure unit=\"Carmen\" match=\"/TEI/text/body/div/div\" use=\"@n\">"},
      {"~[z 1 line 1]A",
       {"", "", "Ἰλιάς", ""},
       LineForm::prose,
       "/tei:div[@n='$1']/tei:p/tei:seg[@n='$2'])",
       "<citeStructure unit=\"z\" match=\"/TEI/text/body/div/div\" use=\"@n\">"},
  };
  for (const auto& c : cases) {
    WorkNames names;
    names.levels = c.level_names;
    const std::string document = tei_of(c.units, names, c.lines, true);
    SCOPED_TRACE(document);
    const std::string first_pattern = between(document, "<cRefPattern", "/>");
    EXPECT_NE(first_pattern.find(c.deepest_pattern), std::string::npos) << first_pattern;
    EXPECT_NE(document.find(c.units_named), std::string::npos);
  }
}

TEST(TeiEdition, ReadsItsNamesFromTheTablesInEitherCase) {
  const authorfile::AuthorFiles files = authorfile::build_files(
      "~author 12\n~name &1Homerus& Epic.\n~work 1\n~title $*)ILIA/S\n~levels book line\n~[z 1 line 1]A\n"
      "~work 2\n~[z 1 line 1]B");
  const std::string id_table = to_string(files.id_table);
  for (const bool with_author_table : {true, false}) {
    MemoryFiles corpus;
    corpus.inputs["corpus/TLG0012.IDT"] = id_table;
    if (with_author_table) corpus.inputs["corpus/authtab.dir"] = to_string(authorfile::author_table({files.author}));
    const WorkNames first = Catalogue(corpus, "corpus/").names(12, 1);
    EXPECT_EQ(first.author, with_author_table ? "Homerus Epic." : "");
    EXPECT_EQ(first.title, "Ἰλιάς");
    EXPECT_EQ(first.levels, (std::array<std::string, level_count>{"", "", "book", "line"}));
    EXPECT_EQ(Catalogue(corpus, "corpus/").names(12, 2).title, "");
  }
  MemoryFiles empty;
  EXPECT_EQ(Catalogue(empty, "corpus/").names(12, 1).author, "");
}

// Effects nested deeper than parsers built on libxml2 read (256 elements in
// all) keep their text without markup, over two lines, with one warning.
TEST(TeiEdition, KeepsEffectsWithinTheDepthThatParsersRead) {
  std::string units = "~[z 1 line 1]";
  for (int i = 0; i < 250; ++i) units += "$1";
  units += "A\n~[line 2]B";
  const Conversion result =
      scrivel::convert(to_string(authorfile::single_work(units)), {1, 1, Format::tei, Normalization::nfc, "", {}, {}});
  EXPECT_EQ(notes_of(result.messages),
            "Warning: effects nested more than 240 deep are left out of the TEI markup; their text is kept\n");
  const std::string body = result.document.substr(result.document.find("<body>"));
  for (const std::string_view line : {"<l n=\"1\">", "<l n=\"2\">"}) {
    const std::string text = between(body, line, "</l>");
    EXPECT_EQ(std::count(text.begin(), text.end(), '<') - 2, 2 * 240) << line;  // each element's two tags
  }
  EXPECT_NE(body.find("α"), std::string::npos);
  EXPECT_NE(body.find("β"), std::string::npos);
}

}  // namespace
}  // namespace scrivel::testing
