#include "search/searcher.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <system_error>
#include <thread>

#include "search/fold.h"
#include "search/index.h"
#include "search/sqlite.h"

namespace scrivel::search {
namespace {

constexpr std::int64_t no_line = std::numeric_limits<std::int64_t>::max();

// A query word's tokens: one, or several where it holds punctuation
// (δ'ἄρα), which then must follow each other as a phrase.
void add_tokens(const QueryWord& word, Phrase& phrase, std::optional<QueryError>& fault) {
  WordSplitter splitter;
  splitter.split(word.text);
  if (splitter.words().empty()) {
    if (!fault) fault = QueryError{word.offset, "this word has no letter to search for"};
    return;
  }
  for (const Word& each : splitter.words())
    phrase.push_back({std::string(splitter.folded(each)), std::string(splitter.exact(each)), false});
  phrase.back().prefix = word.prefix;
}

Phrase phrase_of(const std::vector<QueryWord>& words, std::optional<QueryError>& fault) {
  Phrase phrase;
  for (const QueryWord& word : words) add_tokens(word, phrase, fault);
  return phrase;
}

Question question_of(const QueryNode& node, std::optional<QueryError>& fault) {
  Question question;
  switch (node.kind) {
    case QueryNode::Kind::word:
    case QueryNode::Kind::phrase: question.phrase = phrase_of(node.words, fault); break;
    case QueryNode::Kind::near:
      question.kind = Question::Kind::near;
      question.distance = node.distance;
      for (const QueryNode& child : node.children) question.phrases.push_back(phrase_of(child.words, fault));
      break;
    case QueryNode::Kind::all_of:
    case QueryNode::Kind::any_of:
      question.kind = node.kind == QueryNode::Kind::all_of ? Question::Kind::all_of : Question::Kind::any_of;
      for (const QueryNode& child : node.children) question.children.push_back(question_of(child, fault));
      break;
  }
  return question;
}

// The full-text index's expressions. The tokens are folded words, letters
// and digits only, written in quotes: nothing of the query's own text
// reaches the index's syntax.
std::string index_term(std::string_view token) { return "\"" + std::string(token) + "\""; }

std::string phrase_expression(const Phrase& phrase, std::size_t from, std::size_t to, bool initial, bool line_end) {
  std::string expression = initial ? "^" : "";
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) expression += " + ";
    expression += index_term(phrase[i].folded);
    if (phrase[i].prefix) expression += " *";
  }
  if (line_end) expression += " + " + index_term(line_end_word);
  return expression;
}

std::string near_expression(const std::vector<Phrase>& phrases, int distance) {
  std::string expression = "NEAR(";
  for (const Phrase& phrase : phrases) expression += phrase_expression(phrase, 0, phrase.size(), false, false) + " ";
  return expression + ", " + std::to_string(distance) + ")";
}

// The question as one expression of the full-text index, where it is one:
// anything but a phrase of several words, which may run on into the next
// line.
std::optional<std::string> index_expression(const Question& question) {
  switch (question.kind) {
    case Question::Kind::phrase:
      if (question.phrase.size() > 1) return std::nullopt;
      return phrase_expression(question.phrase, 0, 1, false, false);
    case Question::Kind::near: return near_expression(question.phrases, question.distance);
    default: break;
  }
  std::string expression;
  for (const Question& child : question.children) {
    const std::optional<std::string> part = index_expression(child);
    if (!part) return std::nullopt;
    if (!expression.empty()) expression += question.kind == Question::Kind::all_of ? " AND " : " OR ";
    expression += "(" + *part + ")";
  }
  return expression;
}

// The lines that match, in the order of their ids. Each is asked for the
// first at or after a line, never for one before what it was last asked.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual std::int64_t first_from(std::int64_t from) = 0;
};
using Streams = std::vector<std::unique_ptr<Stream>>;

// The lines whose indexed words match an expression of the full-text index,
// which gives them in the order of their ids. It is read from the start
// without a bound on the id, which makes reading every hit cheapest.
class IndexStream final : public Stream {
 public:
  IndexStream(Database& db, std::string expression)
      : expression_(std::move(expression)),
        from_start_(db.prepare("SELECT rowid FROM words WHERE words MATCH ?")),
        from_line_(db.prepare("SELECT rowid FROM words WHERE words MATCH ? AND rowid >= ?")) {}

  std::int64_t first_from(std::int64_t from) override {
    // A line a little way on is reached by stepping; one further on by
    // asking again from there.
    constexpr int steps_before_seeking = 8;
    for (int step = 0; reading_ != nullptr && current_ < from && step < steps_before_seeking; ++step) advance();
    if (reading_ != nullptr && current_ >= from) return current_;
    if (reading_ != nullptr) reading_->reset();
    reading_ = from == 0 ? &from_start_ : &from_line_;
    reading_->bind(1, expression_);
    if (from != 0) reading_->bind(2, from);
    advance();
    return current_;
  }

 private:
  void advance() { current_ = reading_->step() ? reading_->integer(0) : no_line; }

  std::string expression_;
  Statement from_start_;
  Statement from_line_;
  Statement* reading_ = nullptr;
  std::int64_t current_ = 0;
};

class UnionStream final : public Stream {
 public:
  explicit UnionStream(Streams parts) : parts_(std::move(parts)) {}
  std::int64_t first_from(std::int64_t from) override {
    std::int64_t first = no_line;
    for (const auto& part : parts_) first = std::min(first, part->first_from(from));
    return first;
  }

 private:
  Streams parts_;
};

class IntersectionStream final : public Stream {
 public:
  explicit IntersectionStream(Streams parts) : parts_(std::move(parts)) {}
  std::int64_t first_from(std::int64_t from) override {
    std::int64_t candidate = from;
    for (std::size_t agreeing = 0; agreeing < parts_.size();) {
      for (const auto& part : parts_) {
        const std::int64_t found = part->first_from(candidate);
        if (found == no_line) return no_line;
        if (found > candidate) {
          candidate = found;
          agreeing = 0;
          break;
        }
        ++agreeing;
      }
    }
    return candidate;
  }

 private:
  Streams parts_;
};

// The line before each line of another stream.
class LineBeforeStream final : public Stream {
 public:
  explicit LineBeforeStream(std::unique_ptr<Stream> next_lines) : next_lines_(std::move(next_lines)) {}
  std::int64_t first_from(std::int64_t from) override {
    const std::int64_t next = next_lines_->first_from(from + 1);
    return next == no_line ? no_line : next - 1;
  }

 private:
  std::unique_ptr<Stream> next_lines_;
};

// Only the lines within the ranges of ids asked for, in order.
class RangeStream final : public Stream {
 public:
  RangeStream(std::unique_ptr<Stream> lines, std::vector<std::pair<std::int64_t, std::int64_t>> ranges)
      : lines_(std::move(lines)), ranges_(std::move(ranges)) {}
  std::int64_t first_from(std::int64_t from) override {
    for (const auto& [low, high] : ranges_) {
      if (high <= from) continue;
      const std::int64_t found = lines_->first_from(std::max(from, low));
      if (found < high) return found;
      from = high;
    }
    return no_line;
  }

 private:
  std::unique_ptr<Stream> lines_;
  std::vector<std::pair<std::int64_t, std::int64_t>> ranges_;
};

// A phrase within a line, or begun at one line's end and ended at the
// next's start: the first words followed by the line-end word, on the line
// before one that opens with the others.
std::unique_ptr<Stream> phrase_stream(Database& db, const Phrase& phrase) {
  Streams ways;
  ways.push_back(std::make_unique<IndexStream>(db, phrase_expression(phrase, 0, phrase.size(), false, false)));
  for (std::size_t split = 1; split < phrase.size(); ++split) {
    Streams across;
    across.push_back(std::make_unique<IndexStream>(db, phrase_expression(phrase, 0, split, false, true)));
    across.push_back(std::make_unique<LineBeforeStream>(
        std::make_unique<IndexStream>(db, phrase_expression(phrase, split, phrase.size(), true, false))));
    ways.push_back(std::make_unique<IntersectionStream>(std::move(across)));
  }
  if (ways.size() == 1) return std::move(ways.front());
  return std::make_unique<UnionStream>(std::move(ways));
}

std::unique_ptr<Stream> stream_of(Database& db, const Question& question) {
  if (std::optional<std::string> expression = index_expression(question))
    return std::make_unique<IndexStream>(db, std::move(*expression));
  if (question.kind == Question::Kind::phrase) return phrase_stream(db, question.phrase);
  Streams parts;
  for (const Question& child : question.children) parts.push_back(stream_of(db, child));
  if (question.kind == Question::Kind::all_of) return std::make_unique<IntersectionStream>(std::move(parts));
  return std::make_unique<UnionStream>(std::move(parts));
}

// A line's words as the index holds them, where they stand in its text,
// followed by the next line's (a phrase may go on into them).
struct RowToken {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::string folded;
  std::string exact;
};
struct Row {
  std::string passage;
  std::string text;
  std::vector<RowToken> tokens;
  std::size_t own = 0;  // the tokens of the line itself
};

bool token_matches(const QuestionWord& wanted, const RowToken& token, bool exact) {
  const std::string_view form = exact ? token.exact : token.folded;
  const std::string_view sought = exact ? wanted.exact : wanted.folded;
  return wanted.prefix ? form.starts_with(sought) : form == sought;
}

// Which of a line's words a question matches: marks them, and says whether
// it matches at all.
class RowMatcher {
 public:
  RowMatcher(const Row& row, bool exact) : row_(row), exact_(exact), marks_(row.own) {}

  bool matches(const Question& question) {
    switch (question.kind) {
      case Question::Kind::phrase: return phrase_matches(question.phrase, row_.tokens.size());
      case Question::Kind::near: return near_matches(question);
      case Question::Kind::all_of: {
        bool all = true;
        for (const Question& child : question.children) all = matches(child) && all;
        return all;
      }
      case Question::Kind::any_of: {
        bool any = false;
        for (const Question& child : question.children) any = matches(child) || any;
        return any;
      }
    }
    return false;
  }

  const std::vector<char>& marks() const { return marks_; }

 private:
  bool phrase_at(const Phrase& phrase, std::size_t start, std::size_t limit) const {
    if (start + phrase.size() > limit) return false;
    for (std::size_t i = 0; i < phrase.size(); ++i)
      if (!token_matches(phrase[i], row_.tokens[start + i], exact_)) return false;
    return true;
  }
  void mark(std::size_t start, std::size_t count) {
    for (std::size_t i = start; i < std::min(start + count, row_.own); ++i) marks_[i] = 1;
  }
  // A phrase that begins among the line's own words and ends before `limit`.
  bool phrase_matches(const Phrase& phrase, std::size_t limit) {
    bool found = false;
    for (std::size_t start = 0; start < row_.own; ++start)
      if (phrase_at(phrase, start, limit)) {
        mark(start, phrase.size());
        found = true;
      }
    return found;
  }
  // Every phrase within the line, no more than `distance` words between the
  // end of the first and the start of the last: the narrowest span of
  // occurrences that holds each phrase, found by a window over them.
  bool near_matches(const Question& question) {
    struct Occurrence {
      std::size_t start;
      std::size_t phrase;
    };
    std::vector<Occurrence> occurrences;
    std::size_t lengths = 0;
    for (std::size_t p = 0; p < question.phrases.size(); ++p) {
      lengths += question.phrases[p].size();
      for (std::size_t start = 0; start < row_.own; ++start)
        if (phrase_at(question.phrases[p], start, row_.own)) occurrences.push_back({start, p});
    }
    std::sort(occurrences.begin(), occurrences.end(),
              [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
    std::vector<std::size_t> in_window(question.phrases.size());
    std::size_t held = 0;
    bool found = false;
    for (std::size_t low = 0, high = 0; high < occurrences.size(); ++high) {
      if (in_window[occurrences[high].phrase]++ == 0) ++held;
      while (held == question.phrases.size()) {
        const Occurrence& last = occurrences[high];
        const std::size_t span = last.start + question.phrases[last.phrase].size() - occurrences[low].start;
        if (span <= lengths + static_cast<std::size_t>(question.distance)) found = true;
        if (--in_window[occurrences[low++].phrase] == 0) --held;
      }
    }
    if (found)
      for (const Occurrence& occurrence : occurrences) mark(occurrence.start, question.phrases[occurrence.phrase].size());
    return found;
  }

  const Row& row_;
  bool exact_;
  std::vector<char> marks_;
};

// What the index says of each work: its names for the hits' lines.
struct WorkLabel {
  int author = 0;
  int work = 0;
  std::string urn;
  std::string name;   // the author's
  std::string title;
  std::string label;  // "Author, Title"
};

class IndexReader {
 public:
  explicit IndexReader(Database& db)
      : lines_(db.prepare("SELECT id, text, passage FROM lines WHERE id >= ? AND id <= ? ORDER BY id")),
        work_(db.prepare("SELECT w.urn, w.title, w.abbreviation, coalesce(a.name, '') FROM works w "
                         "LEFT JOIN authors a ON a.author = w.author WHERE w.author = ? AND w.work = ?")) {}

  const WorkLabel& label_of(std::int64_t id) {
    const std::pair key{author_of_id(id), work_of_id(id)};
    auto found = labels_.find(key);
    if (found != labels_.end()) return found->second;
    WorkLabel label{key.first, key.second, {}, {}, {}, {}};
    work_.bind(1, key.first).bind(2, key.second);
    if (work_.step()) {
      label.urn = work_.text(0);
      label.title = work_.text(1).empty() ? std::string(work_.text(2)) : std::string(work_.text(1));
      label.name = work_.text(3);
    }
    work_.reset();
    const std::string number = std::to_string(key.first + 10000).substr(1);
    label.label = (label.name.empty() ? "tlg" + number : label.name) + ", " +
                  (label.title.empty() ? "tlg" + std::to_string(key.second + 1000).substr(1) : label.title);
    return labels_.emplace(key, std::move(label)).first->second;
  }

  // The line's text and words, with the next line's words after them.
  Row row_of(std::int64_t id) {
    const std::int64_t work_start = first_id_of_work(author_of_id(id), work_of_id(id));
    const std::int64_t first = std::max(work_start, id - 1);
    lines_.bind(1, first).bind(2, id + 2);
    std::vector<std::int64_t> ids;
    std::vector<std::string> texts;
    Row row;
    while (lines_.step()) {
      ids.push_back(lines_.integer(0));
      texts.emplace_back(lines_.text(1));
      if (ids.back() == id) row.passage = lines_.text(2);
    }
    lines_.reset();
    const auto place = static_cast<std::size_t>(std::find(ids.begin(), ids.end(), id) - ids.begin());
    if (place == ids.size()) return row;
    row.text = texts[place];
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    visit_indexed_words(
        views,
        [&](std::size_t line, const WordSplitter& split, const Word& word, const WordSplitter* next,
            const Word& next_word) {
          if (line != place && line != place + 1) return;
          RowToken token{word.begin, word.end, std::string(split.folded(word)), std::string(split.exact(word))};
          if (next != nullptr) {
            token.folded += next->folded(next_word);
            token.exact += next->exact(next_word);
          }
          row.tokens.push_back(std::move(token));
          if (line == place) row.own = row.tokens.size();
        },
        [](std::size_t, bool) {});
    return row;
  }

 private:
  Statement lines_;
  Statement work_;
  std::map<std::pair<int, int>, WorkLabel> labels_;
};

using IdRanges = std::vector<std::pair<std::int64_t, std::int64_t>>;

// The ranges of ids of the authors and works asked for, in order, those
// that overlap (an author and one of its works) made one.
IdRanges ranges_of(const std::vector<corpus::Target>& within) {
  IdRanges ranges;
  for (const corpus::Target& target : within) {
    if (target.work) {
      ranges.emplace_back(first_id_of_work(target.author, *target.work), first_id_of_work(target.author, *target.work + 1));
    } else {
      ranges.emplace_back(first_id_of_author(target.author), first_id_of_author(target.author + 1));
    }
  }
  std::sort(ranges.begin(), ranges.end());
  IdRanges merged;
  for (const auto& [low, high] : ranges) {
    if (!merged.empty() && low <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, high);
    } else {
      merged.emplace_back(low, high);
    }
  }
  return merged;
}

// The marked words' byte ranges, words side by side in one range.
std::vector<std::pair<std::size_t, std::size_t>> marked_ranges(const Row& row, const std::vector<char>& marks) {
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  for (std::size_t i = 0; i < row.own; ++i) {
    if (!marks[i]) continue;
    const RowToken& token = row.tokens[i];
    if (!ranges.empty() && i > 0 && marks[i - 1] && row.text.find_first_not_of(' ', ranges.back().second) >= token.begin)
      ranges.back().second = token.end;
    else
      ranges.emplace_back(token.begin, token.end);
  }
  return ranges;
}

// The hits of each work, in corpus order: the work's first id, and its hits.
using IdCounts = std::vector<std::pair<std::int64_t, std::uint64_t>>;

void count_hit(IdCounts& counts, std::int64_t id) {
  const std::int64_t work = id >> 32 << 32;
  if (counts.empty() || counts.back().first != work) counts.emplace_back(work, 0);
  ++counts.back().second;
}

Database open_for_reading(const std::filesystem::path& path) {
  Database db(path.string(), Database::Mode::read_only);
  // A search reads a few pages here and there of a large file: mapped,
  // they come from the system's cache without a read each.
  db.execute("PRAGMA mmap_size = 17179869184");
  return db;
}

// Counts, within each range of ids, the lines that an expression of the
// full-text index matches, as the index reads its rows.
IdCounts counted_in(const std::filesystem::path& path, const std::string& expression, const IdRanges& ranges) {
  IdCounts counts;
  if (ranges.empty()) return counts;
  Database db = open_for_reading(path);
  std::function<void(std::int64_t)> count = [&counts](std::int64_t id) { count_hit(counts, id); };
  db.define_row_reader("scrivel_count", count);
  Statement counting =
      db.prepare("SELECT scrivel_count(rowid) FROM words WHERE words MATCH ? AND rowid >= ? AND rowid < ?");
  for (const auto& [low, high] : ranges) counting.bind(1, expression).bind(2, low).bind(3, high).run();
  return counts;
}

// The id that parts the index's lines into halves, as near as works allow.
std::int64_t middle_id(Database& db) {
  const std::int64_t lines = db.integer("SELECT total(lines) FROM works");
  Statement works = db.prepare("SELECT author, work, lines FROM works ORDER BY author, work");
  std::int64_t before = 0;
  while (works.step()) {
    if (2 * before >= lines) return first_id_of_work(static_cast<int>(works.integer(0)), static_cast<int>(works.integer(1)));
    before += works.integer(2);
  }
  return no_line;
}

// Counts a question that the full-text index answers alone. Reading each
// row is what takes the time, so the two halves of the ids are read side
// by side, each on a connection of its own.
IdCounts counted_in_index(Database& db, const std::filesystem::path& path, const std::string& expression,
                          const std::vector<corpus::Target>& within) {
  IdRanges ranges = ranges_of(within);
  if (ranges.empty()) ranges.emplace_back(0, no_line);
  const std::int64_t middle = middle_id(db);
  IdRanges lower, upper;
  for (const auto& [low, high] : ranges) {
    if (low < middle) lower.emplace_back(low, std::min(high, middle));
    if (high > middle) upper.emplace_back(std::max(low, middle), high);
  }
  IdCounts upper_counts;
  std::exception_ptr upper_failure;
  std::thread upper_reader;
  try {
    upper_reader = std::thread([&] {
      try {
        upper_counts = counted_in(path, expression, upper);
      } catch (...) {
        upper_failure = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    upper_counts = counted_in(path, expression, upper);  // no thread to be had: one after the other
  }
  IdCounts counts = counted_in(path, expression, lower);
  if (upper_reader.joinable()) upper_reader.join();
  if (upper_failure) std::rethrow_exception(upper_failure);
  counts.insert(counts.end(), upper_counts.begin(), upper_counts.end());
  // The index reads its rows in the order of their ids; were it ever not
  // to, the counts of a work would come in pieces.
  std::stable_sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  IdCounts merged;
  for (const auto& [work, hits] : counts) {
    if (!merged.empty() && merged.back().first == work) {
      merged.back().second += hits;
    } else {
      merged.emplace_back(work, hits);
    }
  }
  return merged;
}

// Opens the index for searching, or says in one line why it cannot.
Database open_index(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    throw IndexError("no index " + path.string() + "; build it with: scrivel-corpus index");
  Database db = open_for_reading(path);
  if (db.integer("PRAGMA application_id") != index_application_id) throw IndexError(path.string() + " is no scrivel index");
  if (const std::int64_t format = db.integer("PRAGMA user_version"); format != index_format) {
    throw IndexError(path.string() + " is an index of another version of scrivel (format " + std::to_string(format) +
                     ", this one reads " + std::to_string(index_format) + "); build it again with: scrivel-corpus index");
  }
  return db;
}

// Runs `read` over the index at `path`, a failure of SQLite told as the
// index's, in one line.
template <typename Read>
auto reading(const std::filesystem::path& path, Read read) {
  try {
    return read();
  } catch (const SqliteError& failure) {
    throw IndexError(path.string() + (failure.damaged() ? " is damaged or no database (" : ": cannot read it (") +
                     failure.what() + "); build it again with: scrivel-corpus index");
  }
}

// Line `id` as a hit, named from its work; its row's text is taken.
Hit hit_of(IndexReader& reader, std::int64_t id, Row& row, const std::vector<char>& marks) {
  const WorkLabel& work = reader.label_of(id);
  std::vector<std::pair<std::size_t, std::size_t>> ranges = marked_ranges(row, marks);
  return {id,         work.urn + ":" + row.passage, work.author,          work.name,        work.work, work.title,
          work.label, row.passage,                  std::move(row.text), std::move(ranges)};
}

}  // namespace

std::variant<Question, QueryError> parse_question(std::string_view query) {
  std::variant<QueryNode, QueryError> parsed = parse_query(query);
  if (QueryError* error = std::get_if<QueryError>(&parsed)) return std::move(*error);
  std::optional<QueryError> fault;
  Question question = question_of(std::get<QueryNode>(parsed), fault);
  if (fault) return std::move(*fault);
  return question;
}

struct SearchIndex::Open {
  explicit Open(const std::filesystem::path& database) : path(database), db(open_index(database)), reader(db) {}

  std::filesystem::path path;
  Database db;
  IndexReader reader;
  std::optional<std::size_t> misses_allowed;
  std::size_t misses = 0;
  bool cut_short = false;
};

struct HitCursor::State {
  SearchIndex::Open& index;
  Question question;
  bool exact;
  std::unique_ptr<Stream> lines;
  std::int64_t from = 0;  // the next id to look at

  // The next hit's id, or no_line. Where `read` asks, or the search is
  // exact and the index matched without the accents, the line is read
  // again into `row` and its matching words marked in `marks`.
  std::int64_t next_line(bool read, Row& row, std::vector<char>& marks) {
    while (from != no_line) {
      const std::int64_t id = lines->first_from(from);
      from = id == no_line ? no_line : id + 1;
      if (id == no_line || (!read && !exact)) return id;
      row = index.reader.row_of(id);
      RowMatcher matcher(row, exact);
      if (!matcher.matches(question) && exact) {
        if (index.misses_allowed && ++index.misses > *index.misses_allowed) {
          index.cut_short = true;
          from = no_line;
          return no_line;
        }
        continue;
      }
      marks = matcher.marks();
      return id;
    }
    return no_line;
  }

  // The hits per work of the first `limit` hits, and whether more follow.
  IdCounts count(std::size_t limit, bool& more) {
    IdCounts counts;
    std::size_t hits = 0;
    Row row;
    std::vector<char> marks;
    for (std::int64_t id = next_line(false, row, marks); id != no_line; id = next_line(false, row, marks)) {
      if (hits == limit) {
        more = true;
        break;
      }
      ++hits;
      count_hit(counts, id);
    }
    return counts;
  }
};

HitCursor::HitCursor(std::unique_ptr<State> state) : state_(std::move(state)) {}
HitCursor::HitCursor(HitCursor&&) noexcept = default;
HitCursor& HitCursor::operator=(HitCursor&&) noexcept = default;
HitCursor::~HitCursor() = default;

std::optional<Hit> HitCursor::next() {
  return reading(state_->index.path, [&]() -> std::optional<Hit> {
    Row row;
    std::vector<char> marks;
    const std::int64_t id = state_->next_line(true, row, marks);
    if (id == no_line) return std::nullopt;
    return hit_of(state_->index.reader, id, row, marks);
  });
}

std::size_t HitCursor::skip(std::size_t count) {
  return reading(state_->index.path, [&] {
    Row row;
    std::vector<char> marks;
    std::size_t skipped = 0;
    while (skipped < count && state_->next_line(false, row, marks) != no_line) ++skipped;
    return skipped;
  });
}

SearchIndex::SearchIndex(const std::filesystem::path& database)
    : open_(reading(database, [&] { return std::make_unique<Open>(database); })) {}

SearchIndex::~SearchIndex() = default;

void SearchIndex::limit_misses(std::size_t lines) { open_->misses_allowed = lines; }
bool SearchIndex::cut_short() const { return open_->cut_short; }

HitCursor SearchIndex::find(const Question& question, bool exact, const std::vector<corpus::Target>& within) {
  return reading(open_->path, [&] {
    std::unique_ptr<Stream> lines = stream_of(open_->db, question);
    if (!within.empty()) lines = std::make_unique<RangeStream>(std::move(lines), ranges_of(within));
    return HitCursor(std::make_unique<HitCursor::State>(HitCursor::State{*open_, question, exact, std::move(lines)}));
  });
}

SearchIndex::HitPage SearchIndex::hits(const Question& question, bool exact,
                                       const std::vector<corpus::Target>& within, std::size_t skip, std::size_t take) {
  HitCursor cursor = find(question, exact, within);
  cursor.skip(skip);
  HitPage page;
  while (page.hits.size() < take) {
    std::optional<Hit> hit = cursor.next();
    if (!hit) return page;
    page.hits.push_back(std::move(*hit));
  }
  page.more = cursor.skip(1) == 1;
  return page;
}

bool counted_by_the_index_alone(const Question& question, bool exact) {
  return !exact && index_expression(question).has_value();
}

WorkCounts SearchIndex::counts(const Question& question, bool exact, const std::vector<corpus::Target>& within,
                               std::optional<std::size_t> limit) {
  return reading(open_->path, [&] {
    WorkCounts counted;
    IdCounts counts;
    const std::optional<std::string> expression = index_expression(question);
    if (!exact && expression && !limit) {
      counts = counted_in_index(open_->db, open_->path, *expression, within);
    } else {
      HitCursor cursor = find(question, exact, within);
      counts = cursor.state_->count(limit.value_or(std::numeric_limits<std::size_t>::max()), counted.more);
    }
    for (const auto& [work_id, hits] : counts) {
      const WorkLabel& work = open_->reader.label_of(work_id);
      counted.works.push_back({work.author, work.work, work.urn, work.name, work.title, work.label, hits});
    }
    return counted;
  });
}

}  // namespace scrivel::search
