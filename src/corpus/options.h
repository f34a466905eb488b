#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/edition.h"
#include "output/format.h"

namespace scrivel::corpus {

// An author file, or one work of it.
struct Target {
  int author = 0;
  std::optional<int> work;
};

// Where the documents go: all into the --out directory, or as a CapiTainS
// tree of TEI editions under its data/ directory.
enum class Layout { flat, capitains };

// What the command line of scrivel-corpus asks for.
struct Options {
  enum class Command { list, authors, convert, index, search, serve, help, version };
  Command command = Command::help;
  std::optional<std::string> corpus;           // --corpus DIR
  std::optional<Format> format;                // --format
  std::optional<Normalization> normalization;  // --normalize
  TeiChoices tei;                              // --tei-lines, --tei-cite-structure
  Layout layout = Layout::flat;                // --layout
  std::string out = ".";                       // --out DIR
  int jobs = 0;                                // --jobs N; 0: one per core
  bool json = false;                           // --json: JSON lines instead of tab-separated ones
  std::vector<Target> targets;                 // in the order given
  std::string database = "scrivel.sqlite";     // --db FILE: the search index
  bool exact = false;                          // --exact: accents and breathings as typed
  bool count = false;                          // --count: hits per work
  std::optional<std::size_t> limit;            // --limit N: at most N hits
  std::vector<Target> within;                  // --author A,... and --work A:W,...
  std::string query;                           // the words after the options, joined by blanks
  std::string bind = "127.0.0.1";              // --bind ADDRESS: where serve listens
  int port = 8080;                             // --port N; 0: any free port
};

// An author (0 to 9999), or an author's work (0 to 999), as AUTHOR[:WORK].
std::optional<Target> target_of(std::string_view text);

// Reads the arguments after the program's name; nothing, after a message
// in `error`, when they are no valid command line.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error);

extern const char* const usage;

}  // namespace scrivel::corpus
