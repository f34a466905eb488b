#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "corpus/corpus.h"

namespace scrivel::serve {

// What `scrivel-corpus serve` is asked to serve, and where.
struct ServeRequest {
  std::filesystem::path database;
  std::function<std::string(int author)> author_file;
  std::string address = "127.0.0.1";
  int port = 8080;  // 0: any free port, which the message names
};

// Serves the web library over HTTP until the console's stop is set (by
// SIGINT or SIGTERM). Says on standard error where to point the browser.
// Returns the exit status: 0 once stopped, 1 where the index cannot be
// read or the address cannot be listened on.
int serve(const ServeRequest& request, corpus::Console& console);

}  // namespace scrivel::serve
