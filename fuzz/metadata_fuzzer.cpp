// Fuzzes the readers of the corpus's metadata: any input is read as an ID
// table and as an author table, which must end soundly and read nothing
// past the input.

#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string fault = scrivel::fuzzing::metadata_fault(scrivel::fuzzing::as_text(data, size));
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
