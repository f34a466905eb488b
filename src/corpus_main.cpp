#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "corpus/corpus.h"

namespace {

// The signal that asked the run to stop. Conversions under way finish; no
// other starts.
std::atomic<int> stop_signal{0};

extern "C" void ask_to_stop(int signal) { stop_signal.store(signal); }

}  // namespace

int main(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = ask_to_stop;
  // A write to a terminal that is not being read goes on after the signal,
  // so that the summary and the later messages still reach it.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A pipe whose reader has gone fails the write, which is reported, instead
  // of ending the program without a word.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  scrivel::corpus::Console console{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, stop_signal,
                                   ::isatty(STDOUT_FILENO) == 1};
  return scrivel::corpus::run_corpus(args, console);
}
