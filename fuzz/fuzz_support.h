// Shared by the fuzz targets and by the ordinary suite, which replays every
// input that ever made a target fail.
#pragma once

#include <string>
#include <string_view>

#include "author_file_builder.h"
#include "output/format.h"

namespace scrivel::fuzzing {

// The bytes that libFuzzer hands in, as the text view that the conversion
// reads: no copy, so that a read past the input's end is one past the
// exactly-sized buffer that libFuzzer allocates for each input.
std::string_view as_text(const unsigned char* data, std::size_t size);

// The work that a fuzzed author file asks for: the number in its first
// block start header, so that the search usually finds something.
int first_work_number(std::string_view file);

// A work's content laid out as work 1 of a well-formed author file: the
// content's lines (split at each line feed) become its units.
authorfile::Bytes lay_out_content(std::string_view content);

// Converts `work` of `file` into `format`; returns "" when the run ended
// with a sound document and messages, else what went wrong.
std::string conversion_fault(std::string_view file, int work, Format format);

// The same, into every format.
std::string conversion_fault(std::string_view file, int work);

// The format that an author file is fuzzed into, so that each execution
// converts once: picked by a hash of the whole file, which spreads the
// mutations evenly over the formats whatever the seeds hold, and which picks
// the same format again when a failing input is run alone.
Format fuzzed_format(std::string_view file);

// Lists the works of `file` as `scrivel-corpus list` does and holds the list
// against the work search: every work listed is found where the list says,
// and every number that the search finds is listed. The file is copied into
// an allocation of exactly its size first, so that ASan reports any read past
// its end. Returns "" when the list is sound, else what went wrong.
std::string listing_fault(std::string_view file);

// Reads `table` as an ID table and as an author table, each from an
// allocation of exactly its size, and holds what they read against what
// must hold of any input: a fault stands within the input, a second reading
// gives the same, the works and entries read are whole, and a prefix of the
// input reads as the start of the whole. Then the catalogue reads the input
// as the tables of a corpus on disk, or a FIFO or a directory in their
// place. Returns "" when all is sound, else what went wrong.
std::string metadata_fault(std::string_view table);

}  // namespace scrivel::fuzzing
