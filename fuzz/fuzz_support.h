// Shared by the fuzz targets and by the ordinary suite, which replays every
// input that ever made a target fail.
#pragma once

#include <string>

#include "author_file_builder.h"

namespace scrivel::fuzzing {

// The work that a fuzzed author file asks for: the number in its first
// block start header, so that the search usually finds something.
int first_work_number(const authorfile::Bytes& file);

// A work's content laid out as work 1 of a well-formed author file: the
// content's lines (split at each line feed) become its units.
authorfile::Bytes lay_out_content(const authorfile::Bytes& content);

// Converts `work` of `file` into both formats; returns "" when the run ended
// with sound documents and messages, else what went wrong.
std::string conversion_fault(const authorfile::Bytes& file, int work);

}  // namespace scrivel::fuzzing
