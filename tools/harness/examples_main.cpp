// scrivel-examples EXAMPLES_DIR OUTPUT_DIR: writes every example of
// EXAMPLES_DIR/*.txt as an author file of its own into OUTPUT_DIR, so that the
// real program can convert it: the examples in order are authors 1001, 1002,
// ... (tlg1001.txt, ...). The manifest OUTPUT_DIR/examples.tsv has a line per
// example under the header "author work where title": the work to convert
// and where the example stands (file:line).
#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "examples.h"
#include "input/config.h"

namespace {

using scrivel::testing::Example;

constexpr int first_author = 1001;
constexpr int last_author = 9999;  // an author file's name has four digits

void write_file(const std::filesystem::path& path, const authorfile::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// A title is one line; a tab in it would split its field.
std::string field(std::string text) {
  std::replace(text.begin(), text.end(), '\t', ' ');
  return text;
}

void write_examples(const std::vector<Example>& examples, const std::filesystem::path& out_dir) {
  if (examples.size() > static_cast<std::size_t>(last_author - first_author + 1))
    throw std::runtime_error("more examples than author numbers from " + std::to_string(first_author));
  std::ofstream manifest(out_dir / "examples.tsv", std::ios::trunc);
  manifest << "author\twork\twhere\ttitle\n";
  int author = first_author;
  for (const Example& example : examples) {
    try {
      write_file(out_dir / scrivel::author_file_name(author), author_file_of(example, author));
    } catch (const authorfile::BuildError& error) {
      throw std::runtime_error(example.where + ": " + error.what());
    }
    manifest << author << '\t' << work_of(example) << '\t' << example.where << '\t' << field(example.title) << '\n';
    ++author;
  }
  manifest.close();
  if (!manifest) throw std::runtime_error("cannot write " + (out_dir / "examples.tsv").string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: scrivel-examples EXAMPLES_DIR OUTPUT_DIR\n";
    return 2;
  }
  try {
    const std::vector<Example> examples = scrivel::testing::all_examples(argv[1]);
    if (examples.empty()) throw std::runtime_error(std::string("no examples in ") + argv[1]);
    write_examples(examples, argv[2]);
  } catch (const std::exception& error) {
    std::cerr << "scrivel-examples: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
