// Runs scrivel in memory for tests and fuzzing: an author file in, the document and the
// messages out.
#pragma once

#include <string>
#include <vector>

#include "author_file_builder.h"

namespace scrivel::testing {

struct Conversion {
  int status = 0;
  std::string messages;  // everything printed
  std::string document;  // empty when none was written
};

// Converts `work` of the author file, with scrivel.cfg selecting `format`
// ("html" or "rtf").
Conversion convert(const authorfile::Bytes& author_file, const std::string& format, int author = 1, int work = 1);

// The document between its heading and its ending.
std::string body_of(const std::string& document, bool rtf);

// The messages without the "reading" line and the closing blocks line, which
// every conversion prints.
std::string notes_of(const std::string& messages);

std::string to_string(const authorfile::Bytes& bytes);

}  // namespace scrivel::testing
