// Fuzzes a whole author file: the work search, then the conversion of the
// work that the file's first header names, into one format, which a hash of
// the file picks.

#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string_view file = scrivel::fuzzing::as_text(data, size);
  const std::string fault = scrivel::fuzzing::conversion_fault(file, scrivel::fuzzing::first_work_number(file),
                                                               scrivel::fuzzing::fuzzed_format(file));
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
