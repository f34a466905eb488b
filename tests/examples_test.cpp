// Runs the end-to-end examples in tests/examples/*.txt (their form: see
// tools/harness/examples.h). An example names at least one document; without
// a messages section no message is expected.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "conversion.h"
#include "document_checks.h"
#include "examples.h"

namespace scrivel::testing {

// Beside Example, where GoogleTest looks for it.
void PrintTo(const Example& example, std::ostream* out) { *out << example.where; }

namespace {

class Examples : public ::testing::TestWithParam<Example> {};

void check_format(const Example& example, Format format, const std::string& expected) {
  SCOPED_TRACE(example.where + " " + example.title + " (" + std::string(extension_of(format)) + ")");
  const Conversion result =
      convert(author_file_of(example, author_of(example)), format, author_of(example), work_of(example));
  EXPECT_EQ(trim_trailing_newlines(body_of(result.document, format)), expected);
  EXPECT_EQ(checks::check_document(result.document, format), "");
  EXPECT_EQ(trim_trailing_newlines(notes_of(result.messages)), trim_trailing_newlines(example.messages));
}

TEST_P(Examples, ConvertAsShown) {
  const Example& example = GetParam();
  ASSERT_FALSE(example.documents.empty()) << example.where << ": names no document";
  for (const auto& [format, expected] : example.documents) check_format(example, format, expected);
  // Whatever it shows, its HTML document nests its elements.
  if (example.documents.contains(Format::html)) return;
  const Conversion html = convert(author_file_of(example, author_of(example)), Format::html, author_of(example), work_of(example));
  EXPECT_EQ(html.document.empty() ? "" : checks::check_document(html.document, Format::html), "");
}

INSTANTIATE_TEST_SUITE_P(All, Examples, ::testing::ValuesIn(all_examples(SCRIVEL_EXAMPLES_DIR)),
                         [](const ::testing::TestParamInfo<Example>& info) {
                           std::string name = info.param.where;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace scrivel::testing
