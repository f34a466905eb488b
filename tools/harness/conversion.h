// Runs scrivel in memory for tests and fuzzing: an author file in, the document and the
// messages out.
#pragma once

#include <string>
#include <vector>

#include "author_file_builder.h"
#include "output/format.h"
#include "scrivel.h"

namespace scrivel::testing {

using scrivel::Conversion;

// Converts `work` of the author file into `format`, in the format's default
// normalization unless one is given, the author file named tlgNNNN.txt in
// the messages.
Conversion convert(const authorfile::Bytes& author_file, Format format, int author = 1, int work = 1);
Conversion convert(const authorfile::Bytes& author_file, Format format, Normalization normalization);

// The document between its heading and its ending: a plain text without the
// line feed that ends it, the records of a tsv document without its header.
std::string body_of(const std::string& document, Format format);

// The messages without the "reading" line and the closing blocks line, which
// every conversion prints.
std::string notes_of(const std::string& messages);

std::string to_string(const authorfile::Bytes& bytes);

}  // namespace scrivel::testing
