// Every input in fuzz/regressions/ (see its README), replayed: each must
// convert into sound documents, list soundly or read as sound tables. And
// the check that holds a document to its format's rule, on hand-made ones.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "document_checks.h"
#include "fuzz_support.h"

namespace scrivel::fuzzing {
namespace {

std::vector<std::filesystem::path> inputs_in(const std::string& target) {
  std::vector<std::filesystem::path> inputs;
  const std::filesystem::path directory = std::filesystem::path(SCRIVEL_FUZZ_DIR) / "regressions" / target;
  if (std::filesystem::is_directory(directory))
    for (const auto& entry : std::filesystem::directory_iterator(directory)) inputs.push_back(entry.path());
  EXPECT_FALSE(inputs.empty()) << "no inputs to replay in " << directory;
  return inputs;
}

std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Each target of fuzz/regressions/, with what finds a fault in one of its inputs.
TEST(FuzzRegressions, EveryInputIsSound) {
  const std::pair<const char*, std::string (*)(std::string_view)> targets[] = {
      {"author_file", [](std::string_view file) { return conversion_fault(file, first_work_number(file)); }},
      {"work_content",
       [](std::string_view content) {
         const authorfile::Bytes file = lay_out_content(content);
         return conversion_fault(as_text(file.data(), file.size()), 1);
       }},
      {"list", listing_fault},
      {"metadata", metadata_fault},
  };
  for (const auto& [target, fault_in] : targets) {
    for (const auto& path : inputs_in(target)) EXPECT_EQ(fault_in(read_bytes(path)), "") << path;
  }
}

// A TEI document with `body` inside its root element, a schema named before
// it; an HTML one with it in its body.
std::string document_of(Format format, std::string_view body) {
  if (format == Format::html)
    return "<html>\n<head>\n\t<meta charset=\"a\">\n</head>\n<body>\n" + std::string(body) + "\n</body>\n</html>\n";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?xml-model href=\"a.rng\"?>\n<TEI xmlns=\"http://www.tei-c.org/ns/1.0\">" +
         std::string(body) + "</TEI>\n";
}

// Each document is taken whole, then cut in two at every byte, so that a
// tag, an entity, a UTF-8 sequence or a word of text straddles the cut: the
// verdict must not depend on where the buffers end.
TEST(DocumentChecks, MarkupIsWellFormed) {
  struct Case {
    std::string_view body;
    std::string_view fault;  // how the verdict starts; "" for a sound document
    Format format = Format::tei;
  };
  const Case cases[] = {
      {"<text><div type=\"edition\" n=\"1.a\"><l n=\"1\">&lt;&lt;%3&gt;&gt; &amp;\n \xCE\xBC\xE1\xBF\x86\xCE\xBD "
       "&quot;</l><lb/><lb\n n=\"2\" /></div></text>",
       ""},
      {"<text><p>unclosed</p>", "an end tag that closes no open element"},
      {"<TEI>", "1 element(s) left open"},  // the root's end tag closes this one
      {"<text><p>crossed</text></p>", "an end tag that closes no open element"},
      {"<p>a long run of text with a tab\there</p>", "a control character"},
      {"<p n=\"a\x7F\"/>", "a control character"},
      {"<p>a long run of text, then a bare & there</p>", "a & that begins no entity"},
      {"<p n=\"&apos;\"/>", "a & that begins no entity"},
      {"<p>a long run of text, then a bare > there</p>", "a > outside a tag"},
      {"<p n=\"<\"/>", "a < in an attribute value"},
      {"<p n=1/>", "an attribute value without double quotes"},
      {"<p n=\"1\"m=\"2\"/>", "an attribute without a blank before it"},
      {"<p n=\"1\" m=\"n=\" n=\"2\"/>", "an attribute given twice"},
      {"<?pi?>", "a processing instruction after the start"},
      {"</TEI><TEI>", "a second root element"},
      {"<p>\xCE</p>", "not UTF-8"},
      {"[1]&nbsp;<sup>a<span class=\"exp\">b\x01</span></sup><br>\n", "", Format::html},
      {"<sup>a<span class=\"exp\">b</sup>c</span>", "an end tag that closes no open element", Format::html},
      {"&nbsp;", "a & that begins no entity"},
  };
  for (const auto& [body, fault, format] : cases) {
    const std::string document = document_of(format, body);
    const std::string verdict = checks::check_document(document, format);
    EXPECT_TRUE(verdict.starts_with(fault) && verdict.empty() == fault.empty()) << body << ": " << verdict;
    for (std::size_t cut = 0; cut <= document.size(); ++cut) {
      checks::DocumentCheck check(format);
      check.take(std::string_view(document).substr(0, cut));
      check.take(std::string_view(document).substr(cut));
      EXPECT_EQ(check.verdict(), verdict) << body << " cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace scrivel::fuzzing
