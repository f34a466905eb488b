// The end-to-end examples of tests/examples/*.txt, read from their files and
// built into author files. Each example is
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
// Every section after the input is optional. Trailing blank lines of a
// section are not part of it; lines before a file's first example introduce
// the file.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "author_file_builder.h"
#include "output/format.h"

namespace scrivel::testing {

struct Example {
  std::string where;  // file:line
  std::string title;
  std::string input;
  std::map<Format, std::string> documents;  // expected, by format
  std::string messages;
};

std::vector<Example> read_examples(const std::filesystem::path& file);

// The examples of every *.txt file of `directory`, the files in name order.
std::vector<Example> all_examples(const std::filesystem::path& directory);

// The author that the example's source names, else 1.
int author_of(const Example& example);

// The work that the example converts: the first its source names, else 1.
int work_of(const Example& example);

// The example as an author file of `author`, which its headers name.
authorfile::Bytes author_file_of(const Example& example, int author);

std::string trim_trailing_newlines(std::string text);

}  // namespace scrivel::testing
