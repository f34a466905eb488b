// tlgbuild SOURCE OUTPUT: builds a TLG author file from its readable source form.
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "author_file_builder.h"

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return text;
}

void write_file(const std::string& path, const authorfile::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tlgbuild SOURCE OUTPUT\n";
    return 2;
  }
  try {
    write_file(argv[2], authorfile::build(read_file(argv[1])));
  } catch (const std::exception& error) {
    std::cerr << "tlgbuild: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
