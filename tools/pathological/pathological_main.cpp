// pathological NAME SIZE OUTPUT: writes the author file of pattern NAME at
// about SIZE bytes to OUTPUT, and prints the number of the work to convert.
#include <algorithm>
#include <charconv>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "pathological.h"

namespace {

int usage() {
  std::cerr << "usage: pathological NAME SIZE OUTPUT\nNAME is one of:";
  for (const pathological::Pattern& pattern : pathological::patterns()) std::cerr << ' ' << pattern.name;
  std::cerr << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return usage();
  const auto patterns = pathological::patterns();
  const auto pattern = std::ranges::find(patterns, std::string_view(argv[1]), &pathological::Pattern::name);
  const std::string_view size_text(argv[2]);
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(size_text.data(), size_text.data() + size_text.size(), size);
  if (pattern == patterns.end() || error != std::errc{} || end != size_text.data() + size_text.size()) return usage();
  const authorfile::Bytes file = pattern->build(size);
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  if (!out) {
    std::cerr << "pathological: cannot write " << argv[3] << '\n';
    return 1;
  }
  std::cout << pattern->work << '\n';
  return 0;
}
