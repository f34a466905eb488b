#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "corpus/options.h"
#include "search/query.h"

// The search over the index (index.h) as data: the hits of a question, page
// by page or one after the other, and the hits per work. `scrivel-corpus
// search` writes them out; a server hands them on.

namespace scrivel::search {

// A word of a question as the index holds words: folded, and with its
// accents and breathings (for an exact search); a prefix stands for every
// word that begins so.
struct QuestionWord {
  std::string folded;
  std::string exact;
  bool prefix = false;
};
using Phrase = std::vector<QuestionWord>;

// A query in the index's terms: a word is a phrase of one word.
struct Question {
  enum class Kind { phrase, near, all_of, any_of };
  Kind kind = Kind::phrase;
  Phrase phrase;
  std::vector<Phrase> phrases;  // near
  int distance = 0;
  std::vector<Question> children;
};

// The query read into a question, or what is wrong with it and where
// (`describe` shows it for a terminal).
std::variant<Question, QueryError> parse_question(std::string_view query);

// Whether the hits of a question are counted by the full-text index alone,
// without reading each line again: words and prefixes, folded.
bool counted_by_the_index_alone(const Question& question, bool exact);

// A line that a question matched.
struct Hit {
  std::int64_t id = 0;   // the line's id in the index
  std::string urn;       // the work's URN, ":" and the passage
  int author = 0;
  std::string name;      // the author's, empty where the index has none
  int work = 0;
  std::string title;     // the work's, its abbreviation where it has no title
  std::string label;     // "Author, Title", the numbers standing in for what is missing
  std::string citation;  // the passage
  std::string text;      // the line's text, NFC
  std::vector<std::pair<std::size_t, std::size_t>> marks;  // the matched words' byte ranges in text, in order
};

// A work's hits.
struct WorkCount {
  int author = 0;
  int work = 0;
  std::string urn, name, title, label;  // as a hit's
  std::uint64_t hits = 0;
};

// The works with hits, in corpus order, and whether hits follow beyond a
// limit.
struct WorkCounts {
  std::vector<WorkCount> works;
  bool more = false;
};

// Why an index cannot be searched, in one line: there is none, it is no
// scrivel index or one of another format, or it is damaged or unreadable.
struct IndexError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The hits of a question, read one after the other in corpus order. It
// reads its index as it goes: neither may be used from another thread
// meanwhile, and it must not outlive its index.
class HitCursor {
 public:
  HitCursor(HitCursor&&) noexcept;
  HitCursor& operator=(HitCursor&&) noexcept;
  ~HitCursor();

  // The next hit, or none after the last.
  std::optional<Hit> next();
  // Passes over at most `count` hits without naming them; returns how many.
  std::size_t skip(std::size_t count);

 private:
  friend class SearchIndex;
  struct State;
  explicit HitCursor(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
};

// An index open for searching, by one thread at a time (each thread or
// request opens its own). Every function throws IndexError with the reason
// where the index cannot be opened or, damaged, cannot be read on.
// `exact` matches accents and breathings as typed; `within` keeps to
// those authors and works, none meaning the whole index.
class SearchIndex {
 public:
  explicit SearchIndex(const std::filesystem::path& database);
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;
  ~SearchIndex();

  HitCursor find(const Question& question, bool exact, const std::vector<corpus::Target>& within);

  struct HitPage {
    std::vector<Hit> hits;
    bool more = false;
  };
  // Passes over `skip` hits, then gives at most `take`, and whether more
  // follow.
  HitPage hits(const Question& question, bool exact, const std::vector<corpus::Target>& within, std::size_t skip,
               std::size_t take);

  // The hits per work: of the first `limit` hits, where one is given. Where
  // there is none and the full-text index answers the question alone, it
  // counts on two connections at once.
  WorkCounts counts(const Question& question, bool exact, const std::vector<corpus::Target>& within,
                    std::optional<std::size_t> limit = std::nullopt);

  // An exact search reads again each line that the full-text index matches
  // without the accents. After `lines` such lines that do not match, every
  // search of this index stops as though no more hits followed, and
  // cut_short() says so: a server's bound on what one request may read.
  void limit_misses(std::size_t lines);
  bool cut_short() const;

 private:
  friend class HitCursor;
  struct Open;

  std::unique_ptr<Open> open_;
};

}  // namespace scrivel::search
