#include "messages.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace scrivel {

void Messages::printf(const char* format, ...) {
  char line[512];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof line) {
    out_.write(line, length);
  } else {
    // Rare: a long path or citation text. Only here is a buffer allocated.
    std::string long_line(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(long_line.data(), long_line.size(), format, again);
    out_.write(long_line.data(), length);
  }
  va_end(again);
}

}  // namespace scrivel
