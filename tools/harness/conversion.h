// Runs scrivel in memory for tests and fuzzing: an author file in, the document and the
// messages out.
#pragma once

#include <string>
#include <vector>

#include "author_file_builder.h"
#include "scrivel.h"

namespace scrivel::testing {

using scrivel::Conversion;

// Converts `work` of the author file into `format` ("html" or "rtf"), the
// author file named tlgNNNN.txt in the messages.
Conversion convert(const authorfile::Bytes& author_file, const std::string& format, int author = 1, int work = 1);

// The document between its heading and its ending.
std::string body_of(const std::string& document, bool rtf);

// The messages without the "reading" line and the closing blocks line, which
// every conversion prints.
std::string notes_of(const std::string& messages);

std::string to_string(const authorfile::Bytes& bytes);

}  // namespace scrivel::testing
