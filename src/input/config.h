#pragma once

#include <optional>
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

// The author that a name stands for when it is "tlg" in any case and four
// digits, the whole of it: tlg0005 and TLG0005 are 5. The author table
// writes TLG0005, the discs name the files TLG0005.TXT, copies tlg0005.txt.
std::optional<int> author_number_of(std::string_view name);

// The configured prefix of the author files, split after its last "/": the
// directory that holds the author files and the corpus's tables ("" the
// current one, else ending in "/"), and what every author file's name
// there starts with before "tlg" (mostly nothing).
struct CorpusPrefix {
  std::string directory;
  std::string name_start;
};
CorpusPrefix split_prefix(std::string_view prefix);

// The leading decimal number of a command-line argument, as atoi reads it:
// leading blanks and a sign are accepted, the rest is ignored, no digits give
// 0. Values beyond an int are held at its limits instead of overflowing.
int leading_number(std::string_view text);

}  // namespace scrivel
