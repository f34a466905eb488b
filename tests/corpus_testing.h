// What the corpus tests share besides a fresh directory: scrivel-corpus run
// in memory, and the author files they write.
#pragma once

#include <atomic>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <vector>

#include "corpus/corpus.h"
#include "fresh_directory.h"

namespace scrivel::testing {

inline void write_file(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string tlg_name(int author) {
  char name[16];
  std::snprintf(name, sizeof name, "tlg%04d.txt", author);
  return name;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// scrivel-corpus with `args`, stopped by signal `stop` when it is not 0.
inline Outcome run_corpus(const std::vector<std::string>& args, int stop = 0) {
  std::ostringstream out, err;
  const std::atomic<int> stop_signal{stop};
  corpus::Console console{out, err, false, stop_signal};
  const int status = corpus::run_corpus(args, console);
  return {status, out.str(), err.str()};
}

}  // namespace scrivel::testing
