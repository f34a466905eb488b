#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

// The web library: every page and every answer of its JSON API, from the
// search index and the author files, as data in memory. It knows nothing
// of HTTP's connections: a server hands it each request's path and
// parameters and sends what it gives back.
namespace scrivel::serve {

// A request's query parameters, decoded, as the server has them.
using Parameters = std::multimap<std::string, std::string>;

struct Response {
  int status = 200;
  std::string content_type;
  std::string body;
  bool cacheable = false;  // the library's own files, which do not change while it serves
};

struct LibrarySettings {
  std::filesystem::path database;
  // The author file of an author, as the corpus names it.
  std::function<std::string(int author)> author_file;
  // A font with every polytonic letter, served for the Greek; none where
  // the system has none.
  std::filesystem::path font;
};

// Why the library cannot open: no index, or none it can read.
struct LibraryUnavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Library {
 public:
  // Checks the index once, so that a server that starts can answer.
  explicit Library(LibrarySettings settings);

  // The answer to a GET of `path` (decoded) with `parameters`. Safe to call
  // from many threads at once: each call opens what it reads.
  Response respond(std::string_view path, const Parameters& parameters) const;

 private:
  Response page(std::string_view name) const;
  Response work_page(const struct WorkAddress& address) const;
  Response search_response(const Parameters& parameters) const;
  Response api_response(std::string_view name, const Parameters& parameters) const;
  Response asset(std::string_view name) const;

  LibrarySettings settings_;
  std::string font_;  // the font's bytes
};

}  // namespace scrivel::serve
