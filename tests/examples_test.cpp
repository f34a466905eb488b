// Runs the end-to-end examples in tests/examples/*.txt. Each example is
//
//   === title
//   the work's content, one unit (line of the author file) per line, in the
//   author-file builder's notation; or a whole source from "~author" on,
//   whose first work is converted
//   --- html
//   the expected HTML body
//   --- rtf
//   the expected RTF body
//   --- text
//   the expected plain text, whole
//   --- tsv
//   the expected records, without the header line
//   --- messages
//   the expected messages, without the "reading" and blocks lines
//
// Every section after the input is optional, but an example names at least
// one document. Without a messages section no message is expected. Trailing
// blank lines of a section are not part of it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "conversion.h"
#include "document_checks.h"

namespace scrivel::testing {
namespace {

// The sections of the documents, by name.
constexpr std::array<std::pair<std::string_view, Format>, 4> document_sections = {{
    {"--- html", Format::html},
    {"--- rtf", Format::rtf},
    {"--- text", Format::text},
    {"--- tsv", Format::tsv},
}};

struct Example {
  std::string where;  // file:line
  std::string title;
  std::string input;
  std::map<Format, std::string> documents;  // expected, by format
  std::string messages;
};

std::string trim_trailing_newlines(std::string text) {
  while (text.ends_with('\n')) text.pop_back();
  return text;
}

std::vector<Example> read_examples(const std::filesystem::path& path) {
  std::vector<Example> examples;
  std::ifstream in(path);
  std::string* section = nullptr;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.starts_with("=== ")) {
      examples.push_back({path.filename().string() + ":" + std::to_string(number), line.substr(4), "", {}, ""});
      section = &examples.back().input;
      continue;
    }
    if (examples.empty()) continue;  // the file's own introduction
    Example& example = examples.back();
    const auto document = std::find_if(document_sections.begin(), document_sections.end(),
                                       [&](const auto& named) { return named.first == line; });
    if (document != document_sections.end()) {
      section = &example.documents[document->second];
    } else if (line == "--- messages") {
      section = &example.messages;
    } else {
      *section += line + "\n";
    }
  }
  for (Example& example : examples) {
    example.input = trim_trailing_newlines(example.input);
    for (auto& [format, document] : example.documents) document = trim_trailing_newlines(document);
  }
  return examples;
}

std::vector<Example> all_examples() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(SCRIVEL_EXAMPLES_DIR))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<Example> examples;
  for (const auto& file : files)
    for (Example& example : read_examples(file)) examples.push_back(std::move(example));
  return examples;
}

authorfile::Bytes author_file_of(const std::string& input) {
  return input.starts_with("~author") ? authorfile::build(input) : authorfile::single_work(input);
}

int first_work_of(const std::string& input) {
  const std::size_t at = input.find("~work ");
  return at == std::string::npos ? 1 : std::stoi(input.substr(at + 6));
}

int author_of(const std::string& input) { return input.starts_with("~author ") ? std::stoi(input.substr(8)) : 1; }

void PrintTo(const Example& example, std::ostream* out) { *out << example.where; }

class Examples : public ::testing::TestWithParam<Example> {};

std::string soundness_fault(const std::string& document, Format format) {
  switch (format) {
    case Format::rtf: return checks::check_rtf(document);
    case Format::html: return checks::check_html(document);
    case Format::text: return checks::check_text(document);
    case Format::tsv: return checks::check_tsv(document);
  }
  return "";
}

void check_format(const Example& example, Format format, const std::string& expected) {
  SCOPED_TRACE(example.where + " " + example.title + " (" + std::string(extension_of(format)) + ")");
  const Conversion result =
      convert(author_file_of(example.input), format, author_of(example.input), first_work_of(example.input));
  EXPECT_EQ(trim_trailing_newlines(body_of(result.document, format)), expected);
  EXPECT_EQ(soundness_fault(result.document, format), "");
  EXPECT_EQ(trim_trailing_newlines(notes_of(result.messages)), trim_trailing_newlines(example.messages));
}

TEST_P(Examples, ConvertAsShown) {
  const Example& example = GetParam();
  ASSERT_FALSE(example.documents.empty()) << example.where << ": names no document";
  for (const auto& [format, expected] : example.documents) check_format(example, format, expected);
}

INSTANTIATE_TEST_SUITE_P(All, Examples, ::testing::ValuesIn(all_examples()),
                         [](const ::testing::TestParamInfo<Example>& info) {
                           std::string name = info.param.where;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace scrivel::testing
