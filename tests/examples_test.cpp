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
//   --- messages
//   the expected messages, without the "reading" and blocks lines
//
// Every section after the input is optional, but an example names at least
// one document. Without a messages section no message is expected. Trailing
// blank lines of a section are not part of it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "conversion.h"
#include "document_checks.h"

namespace scrivel::testing {
namespace {

struct Example {
  std::string where;  // file:line
  std::string title;
  std::string input;
  std::optional<std::string> html;
  std::optional<std::string> rtf;
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
      examples.push_back({path.filename().string() + ":" + std::to_string(number), line.substr(4), "", {}, {}, ""});
      section = &examples.back().input;
      continue;
    }
    if (examples.empty()) continue;  // the file's own introduction
    Example& example = examples.back();
    if (line == "--- html") {
      section = &example.html.emplace();
    } else if (line == "--- rtf") {
      section = &example.rtf.emplace();
    } else if (line == "--- messages") {
      section = &example.messages;
    } else {
      *section += line + "\n";
    }
  }
  for (Example& example : examples) {
    example.input = trim_trailing_newlines(example.input);
    if (example.html) example.html = trim_trailing_newlines(*example.html);
    if (example.rtf) example.rtf = trim_trailing_newlines(*example.rtf);
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

void check_format(const Example& example, const std::string& format, const std::string& expected) {
  SCOPED_TRACE(example.where + " " + example.title + " (" + format + ")");
  const Conversion result = convert(author_file_of(example.input), format, author_of(example.input),
                                    first_work_of(example.input));
  EXPECT_EQ(trim_trailing_newlines(body_of(result.document, format == "rtf")), expected);
  EXPECT_EQ(format == "rtf" ? checks::check_rtf(result.document) : checks::check_html(result.document), "");
  EXPECT_EQ(trim_trailing_newlines(notes_of(result.messages)), trim_trailing_newlines(example.messages));
}

TEST_P(Examples, ConvertAsShown) {
  const Example& example = GetParam();
  ASSERT_TRUE(example.html || example.rtf) << example.where << ": names no document";
  if (example.html) check_format(example, "html", *example.html);
  if (example.rtf) check_format(example, "rtf", *example.rtf);
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
