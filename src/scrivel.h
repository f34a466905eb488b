#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "decode/plain_text.h"
#include "edition.h"
#include "files.h"
#include "messages.h"
#include "output/format.h"

namespace scrivel {

// One work to convert: whose it is, which it is, the form of its document,
// and the author file's path as the messages name it. A TEI edition also
// takes the names the corpus's tables give, and may be told to hold its
// lines as verse or as prose whatever the work's levels.
struct Request {
  int author = 1;
  int work = 1;
  Format format = Format::rtf;
  Normalization normalization = Normalization::none;
  std::string path;
  WorkNames names;
  TeiChoices tei;
  bool reading_page = false;  // html: the web library's reading page, not the document
};

// What a conversion came to: the exit status the program would end with,
// and what its messages reported (see Tally): the failure that ended it, if
// one did, and every error and warning by number.
struct Outcome {
  int status = 0;
  Tally reports;
};

// Converts the work of `author_file` that `request` names, as the program
// does once scrivel.cfg is read and the author file is open: the document
// sv<author>_<work> with the format's extension is created through
// `documents`, every message goes onto `messages`.
Outcome convert(InputFile& author_file, const Request& request, FileSystem& documents, std::ostream& messages);

// What one conversion in memory gives: its outcome, the whole document
// (empty when none was written) and everything printed.
struct Conversion {
  Outcome outcome;
  std::string document;
  std::string messages;
};

// Converts from an author file held in memory into a document in memory.
Conversion convert(std::string_view author_file, const Request& request);

// One run of the program: `args` as the command line gives them (the
// program's name first), files through `files`, messages onto `messages`.
// Returns the exit status.
int run(const std::vector<std::string>& args, FileSystem& files, std::ostream& messages);

}  // namespace scrivel
