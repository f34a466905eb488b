#pragma once

#include <string>
#include <string_view>

#include "files.h"
#include "messages.h"
#include "output/format.h"

namespace scrivel {

// What scrivel.cfg sets: where the author files are, and the output mode.
struct Config {
  std::string directory;  // a bare prefix: the author file name is appended to it as it stands
  Format format = Format::rtf;
};

// Reads scrivel.cfg from `files`. Throws FatalExit when it is missing or has
// no directory line; a missing format line falls back to RTF with a message,
// and a format line that names no format selects RTF.
Config read_config(FileSystem& files, Messages& messages);

// The name of an author's file in the corpus: tlgNNNN.txt; and of the ID
// table beside it, tlgNNNN.idt.
std::string author_file_name(int author);
std::string id_table_file_name(int author);

// The leading decimal number of a command-line argument, as atoi reads it:
// leading blanks and a sign are accepted, the rest is ignored, no digits give
// 0. Values beyond an int are held at its limits instead of overflowing.
int leading_number(std::string_view text);

}  // namespace scrivel
