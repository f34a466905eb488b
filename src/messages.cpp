#include "messages.h"

#include <cstdio>

namespace scrivel {

std::string_view Messages::write(const char* prefix, int number, const char* format, std::va_list args) {
  const int head = prefix ? std::snprintf(line_, sizeof line_, "%s %03d", prefix, number) : 0;
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(line_ + head, sizeof line_ - head, format, args);
  std::string_view text;
  if (length >= 0 && static_cast<std::size_t>(head + length) < sizeof line_) {
    text = {line_, static_cast<std::size_t>(head + length)};
  } else if (length >= 0) {
    // Rare: a long path or citation text. Only here is a buffer allocated.
    long_line_.assign(line_, head);
    long_line_.resize(head + length + 1);
    std::vsnprintf(long_line_.data() + head, length + 1, format, again);
    long_line_.pop_back();
    text = long_line_;
  }
  va_end(again);
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  return text;
}

void Messages::printf(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  write(nullptr, 0, format, args);
  va_end(args);
}

void Messages::error(int number, const char* rest, ...) {
  std::va_list args;
  va_start(args, rest);
  write("Error", number, rest, args);
  va_end(args);
  ++tally_.errors[number];
}

void Messages::warning(int number, const char* rest, ...) {
  std::va_list args;
  va_start(args, rest);
  write("Warning", number, rest, args);
  va_end(args);
  ++tally_.warnings[number];
}

void Messages::unnumbered_error(const char* line, ...) {
  std::va_list args;
  va_start(args, line);
  write(nullptr, 0, line, args);
  va_end(args);
  ++tally_.errors[0];
}

void Messages::unnumbered_warning(const char* line, ...) {
  std::va_list args;
  va_start(args, line);
  write(nullptr, 0, line, args);
  va_end(args);
  ++tally_.warnings[0];
}

void Messages::fatal(int number, const char* rest, ...) {
  std::va_list args;
  va_start(args, rest);
  note_fatal(number, write("Error", number, rest, args));
  va_end(args);
}

void Messages::fatal(const char* line, ...) {
  std::va_list args;
  va_start(args, line);
  note_fatal(std::nullopt, write(nullptr, 0, line, args));
  va_end(args);
}

void Messages::note_fatal(std::optional<int> number, std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  tally_.fatal_error = number;
  tally_.fatal_message = line;
}

}  // namespace scrivel
