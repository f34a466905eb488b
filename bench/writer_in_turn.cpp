// scrivel with the document written from the calling thread: the benchmark
// times it beside the program, which writes from a thread of its own.
#include <iostream>
#include <string>
#include <vector>

#include "scrivel.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  scrivel::DiskFiles files(scrivel::DiskFiles::Writing::in_turn);
  return scrivel::run(args, files, std::cout);
}
