#pragma once

#include <cstdarg>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace scrivel {

// Where a run stands in the author file: the offset of the byte most
// recently read, which messages about the text report.
class Position {
 public:
  virtual std::uint32_t offset() const = 0;

 protected:
  ~Position() = default;
};

// What the messages of a conversion reported, besides their text: every
// error and warning that let it go on, counted by number (0 for the few
// without one), and the failure that ended it, if one did.
struct Tally {
  std::map<int, int> errors;
  std::map<int, int> warnings;
  std::optional<int> fatal_error;  // the number of the error that ended the conversion
  std::string fatal_message;       // the line that said why it ended, without its line end; empty when none

  bool ended_early() const { return !fatal_message.empty(); }
  bool has_reports() const { return !errors.empty() || !warnings.empty(); }
};

// The run's progress lines, warnings and errors. The program sends them to
// standard output; tests hand in a string stream to read them back. A
// numbered message is written as "Error NNN" or "Warning NNN" followed by
// the rest of its line, and counted.
class Messages {
 public:
  explicit Messages(std::ostream& out) : out_(out) {}

  // A line that reports nothing: progress, and the failures of start-up.
  [[gnu::format(printf, 2, 3)]] void printf(const char* format, ...);
  [[gnu::format(printf, 3, 4)]] void error(int number, const char* rest, ...);
  [[gnu::format(printf, 3, 4)]] void warning(int number, const char* rest, ...);
  // Reports without a number, written whole.
  [[gnu::format(printf, 2, 3)]] void unnumbered_error(const char* line, ...);
  [[gnu::format(printf, 2, 3)]] void unnumbered_warning(const char* line, ...);
  // The error that ends the conversion, numbered or written whole.
  [[gnu::format(printf, 3, 4)]] void fatal(int number, const char* rest, ...);
  [[gnu::format(printf, 2, 3)]] void fatal(const char* line, ...);

  const Tally& tally() const { return tally_; }

  // The offset that messages about the text print, in hexadecimal: that of
  // the position followed, which the byte source sets while it reads.
  void follow(const Position* position) { position_ = position; }
  unsigned long offset() const { return position_->offset(); }

 private:
  // Writes one line: `prefix` (may be empty) and the formatted rest; returns it.
  std::string_view write(const char* prefix, int number, const char* format, std::va_list args);
  void note_fatal(std::optional<int> number, std::string_view line);

  std::ostream& out_;
  const Position* position_ = nullptr;
  Tally tally_;
  std::string long_line_;  // a line too long for the stack buffer
  char line_[512];
};

// Ends the run early with an exit status, after its message has been printed.
struct FatalExit {
  int status;
};

}  // namespace scrivel
