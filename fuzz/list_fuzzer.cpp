// Fuzzes `scrivel-corpus list` over an arbitrary file: the works it lists
// are those that the work search finds, and it reads nothing past the file.

#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string fault = scrivel::fuzzing::listing_fault(scrivel::fuzzing::as_text(data, size));
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
