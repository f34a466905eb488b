#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"

namespace scrivel {

// One work to convert: whose it is, which it is, the form of its document
// (1 RTF, 0 HTML), and the author file's path as the messages name it.
struct Request {
  int author = 1;
  int work = 1;
  int rtf = 1;
  std::string path;
};

// Converts the work of `author_file` that `request` names, as the program
// does once scrivel.cfg is read and the author file is open: the document
// sv<author>_<work>.rtf or .html is created through `documents`, every
// message goes onto `messages`. Returns the exit status.
int convert(InputFile& author_file, const Request& request, FileSystem& documents, std::ostream& messages);

// What one conversion gives: the exit status, the whole document (empty when
// none was written) and everything printed.
struct Conversion {
  int status = 0;
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
