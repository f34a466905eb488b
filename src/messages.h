#pragma once

#include <ostream>

namespace scrivel {

// The run's progress lines, warnings and errors. The program sends them to
// standard output; tests hand in a string stream to read them back.
class Messages {
 public:
  explicit Messages(std::ostream& out) : out_(out) {}

  [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);

 private:
  std::ostream& out_;
};

// Ends the run early with an exit status, after its message has been printed.
struct FatalExit {
  int status;
};

}  // namespace scrivel
