#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "files.h"

namespace scrivel {

// One run of the program: `args` as the command line gives them (the
// program's name first), files through `files`, messages onto `messages`.
// Returns the exit status.
int run(const std::vector<std::string>& args, FileSystem& files, std::ostream& messages);

}  // namespace scrivel
