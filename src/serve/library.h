#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "search/searcher.h"

// The web library: every page and every answer of its JSON API, from the
// search index and the author files, as data in memory. It knows nothing
// of HTTP's connections: a server hands it each request's path and
// parameters and sends what it gives back.
namespace scrivel::serve {

// A request's query parameters, decoded, as the server has them.
using Parameters = std::multimap<std::string, std::string>;

// Takes a piece of a response's body; false once the client is gone.
using PieceWriter = std::function<bool(std::string_view piece)>;

struct Response {
  int status = 200;
  std::string content_type;
  std::string body;
  // What follows the body where there is more: a work's reading page is
  // handed on as it is decoded, so that a long work's start shows at once.
  std::function<void(const PieceWriter& write)> rest;
  bool cacheable = false;  // the library's own files, which do not change while it serves

  // The whole body, the rest included.
  std::string whole() const;
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

// Lets a few searches run at once, in the order they came: the others wait
// their turn rather than share the processors with hundreds, which would
// make every one of them slow.
class TurnGate {
 public:
  explicit TurnGate(std::size_t at_once) : at_once_(at_once) {}

  class Turn {
   public:
    explicit Turn(TurnGate& gate) : gate_(gate) {}
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    ~Turn() { gate_.leave(); }

   private:
    TurnGate& gate_;
  };
  // Waits for the caller's turn; it lasts as long as the Turn.
  [[nodiscard]] Turn enter();

 private:
  void leave();

  std::mutex mutex_;
  std::condition_variable next_;
  std::uint64_t entered_ = 0;  // turns given out, in order
  std::uint64_t left_ = 0;     // turns over
  const std::size_t at_once_;
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
  // A search in its turn: its page of hits, its counts per work, or both.
  struct SearchResults searched(const struct SearchForm& form, const search::Question& question, bool hits,
                                bool counts) const;
  Response api_response(std::string_view name, const Parameters& parameters) const;
  Response asset(std::string_view name) const;

  LibrarySettings settings_;
  std::string font_;  // the font's bytes
  mutable TurnGate searches_;
};

}  // namespace scrivel::serve
