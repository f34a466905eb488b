// Fuzzes a work's content, laid out in valid blocks, so that the time goes
// into the decoder, the signs, the citations and the letter composer rather
// than into the work search. Each execution converts into one format, which
// a hash of the laid-out file picks.

#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const authorfile::Bytes file = scrivel::fuzzing::lay_out_content(scrivel::fuzzing::as_text(data, size));
  const std::string_view laid_out = scrivel::fuzzing::as_text(file.data(), file.size());
  const std::string fault =
      scrivel::fuzzing::conversion_fault(laid_out, 1, scrivel::fuzzing::fuzzed_format(laid_out));
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
