#pragma once

#include <cstdint>
#include <ostream>

namespace scrivel {

// Where a run stands in the author file: the offset of the byte most
// recently read, which messages about the text report.
class Position {
 public:
  virtual std::uint32_t offset() const = 0;

 protected:
  ~Position() = default;
};

// The run's progress lines, warnings and errors. The program sends them to
// standard output; tests hand in a string stream to read them back.
class Messages {
 public:
  explicit Messages(std::ostream& out) : out_(out) {}

  [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);

  // The offset that messages about the text print, in hexadecimal: that of
  // the position followed, which the byte source sets while it reads.
  void follow(const Position* position) { position_ = position; }
  unsigned long offset() const { return position_->offset(); }

 private:
  std::ostream& out_;
  const Position* position_ = nullptr;
};

// Ends the run early with an exit status, after its message has been printed.
struct FatalExit {
  int status;
};

}  // namespace scrivel
