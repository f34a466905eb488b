#include "examples.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string_view>
#include <utility>

namespace scrivel::testing {
namespace {

// The sections of the documents, by name.
constexpr std::array<std::pair<std::string_view, Format>, 5> document_sections = {{
    {"--- html", Format::html},
    {"--- rtf", Format::rtf},
    {"--- text", Format::text},
    {"--- tsv", Format::tsv},
    {"--- tei", Format::tei},
}};

constexpr std::string_view author_line = "~author";

bool is_source(const std::string& input) { return input.starts_with(author_line); }

// The section that a line opens, or null for a line of the current section.
std::string* section_opened_by(const std::string& line, Example& example) {
  const auto document = std::find_if(document_sections.begin(), document_sections.end(),
                                     [&](const auto& named) { return named.first == line; });
  if (document != document_sections.end()) return &example.documents[document->second];
  if (line == "--- messages") return &example.messages;
  return nullptr;
}

// The source with its author line naming `author` instead.
std::string with_author(const std::string& source, int author) {
  const std::size_t line_end = source.find('\n');
  const std::string rest = line_end == std::string::npos ? "" : source.substr(line_end);
  return std::string(author_line) + " " + std::to_string(author) + rest;
}

}  // namespace

std::string trim_trailing_newlines(std::string text) {
  while (text.ends_with('\n')) text.pop_back();
  return text;
}

std::vector<Example> read_examples(const std::filesystem::path& file) {
  std::vector<Example> examples;
  std::ifstream in(file);
  std::string* section = nullptr;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.starts_with("=== ")) {
      examples.push_back({file.filename().string() + ":" + std::to_string(number), line.substr(4), "", {}, ""});
      section = &examples.back().input;
      continue;
    }
    if (examples.empty()) continue;  // the file's own introduction
    if (std::string* opened = section_opened_by(line, examples.back())) {
      section = opened;
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

std::vector<Example> all_examples(const std::filesystem::path& directory) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<Example> examples;
  for (const auto& file : files)
    for (Example& example : read_examples(file)) examples.push_back(std::move(example));
  return examples;
}

int author_of(const Example& example) {
  return is_source(example.input) ? std::stoi(example.input.substr(author_line.size() + 1)) : 1;
}

int work_of(const Example& example) {
  const std::size_t at = example.input.find("~work ");
  return at == std::string::npos ? 1 : std::stoi(example.input.substr(at + 6));
}

authorfile::Bytes author_file_of(const Example& example, int author) {
  if (is_source(example.input)) return authorfile::build(with_author(example.input, author));
  return authorfile::single_work(example.input, author);
}

}  // namespace scrivel::testing
