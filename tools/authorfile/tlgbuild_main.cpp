// tlgbuild SOURCE OUTPUT: builds a TLG author file from its readable source form.
// tlgbuild --corpus DIR SOURCE...: builds a corpus: each source's author file and ID table,
// and the author table of them all.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "author_file_builder.h"

namespace {

constexpr const char* usage = "usage: tlgbuild SOURCE OUTPUT\n       tlgbuild --corpus DIR SOURCE...\n";

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return text;
}

void write_file(const std::filesystem::path& path, const authorfile::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string file_stem(int author) {
  char stem[8];
  std::snprintf(stem, sizeof stem, "tlg%04d", author);
  return stem;
}

authorfile::AuthorFiles build_source_file(const std::string& path) {
  try {
    return authorfile::build_files(read_file(path));
  } catch (const authorfile::BuildError& error) {
    throw std::runtime_error(path + ": " + error.what());
  }
}

// Every source is built before anything is written, so that a faulty source leaves no
// half-built corpus behind.
std::vector<authorfile::AuthorFiles> build_sources(const std::vector<std::string>& paths) {
  std::vector<authorfile::AuthorFiles> built;
  std::map<int, std::string> source_of_author;
  for (const std::string& path : paths) {
    built.push_back(build_source_file(path));
    const auto [earlier, is_new] = source_of_author.emplace(built.back().author.number, path);
    if (!is_new) {
      throw std::runtime_error(path + ": author " + std::to_string(earlier->first) + " is built by " +
                               earlier->second + " already");
    }
  }
  return built;
}

void build_corpus(const std::filesystem::path& directory, const std::vector<std::string>& sources) {
  const std::vector<authorfile::AuthorFiles> built = build_sources(sources);
  std::filesystem::create_directories(directory);
  std::vector<authorfile::AuthorEntry> authors;
  for (const authorfile::AuthorFiles& files : built) {
    const std::string stem = file_stem(files.author.number);
    write_file(directory / (stem + ".txt"), files.text);
    write_file(directory / (stem + ".idt"), files.id_table);
    authors.push_back(files.author);
  }
  write_file(directory / "authtab.dir", authorfile::author_table(authors));
}

}  // namespace

int main(int argc, char** argv) {
  const bool corpus = argc >= 4 && std::string_view(argv[1]) == "--corpus";
  if (!corpus && (argc != 3 || std::string_view(argv[1]) == "--corpus")) {
    std::cerr << usage;
    return 2;
  }
  try {
    if (corpus) {
      build_corpus(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    } else {
      write_file(argv[2], authorfile::build(read_file(argv[1])));
    }
  } catch (const std::exception& error) {
    std::cerr << "tlgbuild: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
