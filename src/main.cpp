#include <iostream>
#include <string>
#include <vector>

#include "scrivel.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  scrivel::DiskFiles files;
  return scrivel::run(args, files, std::cout);
}
