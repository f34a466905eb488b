#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace scrivel::corpus {

// Where a run of scrivel-corpus reports, and how it is asked to stop.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool progress;                 // standard error is a terminal: one progress line, rewritten in place
  const std::atomic<int>& stop;  // the signal that asked the run to stop; 0 while none has
  bool colour = false;           // standard output is a terminal: search marks its matches in colour
};

// One run of scrivel-corpus with the arguments after the program's name, in
// the current directory. Returns the exit status: 0 all done, 1 some work or
// author file failed, 2 usage, 128 + the signal when one stopped the run.
int run_corpus(const std::vector<std::string>& args, Console& console);

}  // namespace scrivel::corpus
