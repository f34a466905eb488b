#include "search/search.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <variant>

#include "corpus/records.h"
#include "search/fold.h"
#include "search/index.h"
#include "search/query.h"
#include "search/sqlite.h"

namespace scrivel::search {
namespace {

constexpr std::int64_t no_line = std::numeric_limits<std::int64_t>::max();
constexpr int query_status = 2;

// A word of the query as the index's words are: folded and exact.
struct Token {
  std::string folded;
  std::string exact;
  bool prefix = false;
};
using Phrase = std::vector<Token>;

// The query in the index's terms: a word is a phrase of one token.
struct Question {
  enum class Kind { phrase, near, all_of, any_of };
  Kind kind = Kind::phrase;
  Phrase phrase;
  std::vector<Phrase> phrases;  // near
  int distance = 0;
  std::vector<Question> children;
};

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

bool token_matches(const Token& wanted, const RowToken& token, bool exact) {
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

// Code points before a byte offset of UTF-8 text.
std::size_t characters_before(std::string_view text, std::size_t offset) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset),
                    [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
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
using WorkCounts = std::vector<std::pair<std::int64_t, std::uint64_t>>;

class HitWriter {
 public:
  HitWriter(const SearchRequest& request, IndexReader& reader, std::ostream& out)
      : request_(request), reader_(reader), out_(out) {}

  void write(std::int64_t id, const Row& row, const std::vector<char>& marks) {
    const WorkLabel& work = reader_.label_of(id);
    const std::string& passage = row.passage;
    const auto ranges = marked_ranges(row, marks);
    if (request_.json) {
      nlohmann::ordered_json matches = nlohmann::ordered_json::array();
      for (const auto& [begin, end] : ranges)
        matches.push_back({characters_before(row.text, begin), characters_before(row.text, end)});
      const nlohmann::ordered_json hit = {{"urn", work.urn + ":" + passage}, {"author", work.author}, {"name", work.name},
                                  {"work", work.work}, {"title", work.title}, {"citation", passage},
                                  {"text", row.text}, {"matches", matches}};
      corpus::write_json_line(out_, hit);
      return;
    }
    out_ << work.label << (passage.empty() ? "" : " ") << passage << '\t';
    std::size_t written = 0;
    for (const auto& [begin, end] : ranges) {
      out_ << std::string_view(row.text).substr(written, begin - written);
      const std::string_view word = std::string_view(row.text).substr(begin, end - begin);
      if (request_.colour) {
        out_ << "\x1b[1;31m" << word << "\x1b[0m";
      } else {
        out_ << word;
      }
      written = end;
    }
    out_ << std::string_view(row.text).substr(written) << '\n';
  }

  // The hits of each work, and their total.
  void write_counts(const WorkCounts& counts) {
    std::uint64_t total = 0;
    for (const auto& [work_id, hits] : counts) {
      total += hits;
      const WorkLabel& work = reader_.label_of(work_id);
      if (request_.json) {
        const nlohmann::ordered_json count = {{"urn", work.urn},     {"author", work.author}, {"name", work.name},
                                              {"work", work.work},   {"title", work.title},   {"hits", hits}};
        corpus::write_json_line(out_, count);
      } else {
        out_ << work.label << '\t' << hits << '\n';
      }
    }
    if (request_.json) {
      corpus::write_json_line(out_, {{"total", total}});
    } else {
      out_ << "total\t" << total << '\n';
    }
  }

 private:
  const SearchRequest& request_;
  IndexReader& reader_;
  std::ostream& out_;
};

void count_hit(WorkCounts& counts, std::int64_t id) {
  const std::int64_t work = id >> 32 << 32;
  if (counts.empty() || counts.back().first != work) counts.emplace_back(work, 0);
  ++counts.back().second;
}

Database open_for_reading(const std::filesystem::path& path) {
  Database db(path.string(), Database::Mode::read_only);
  // A search reads a few pages here and there of a large file, each time
  // in a new process: mapped, they come from the system's cache without a
  // read each.
  db.execute("PRAGMA mmap_size = 17179869184");
  return db;
}

// Counts, within each range of ids, the lines that an expression of the
// full-text index matches, as the index reads its rows.
WorkCounts counted_in(const std::filesystem::path& path, const std::string& expression, const IdRanges& ranges) {
  WorkCounts counts;
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
WorkCounts counted_in_index(Database& db, const std::filesystem::path& path, const std::string& expression,
                            const SearchRequest& request) {
  IdRanges ranges = ranges_of(request.within);
  if (ranges.empty()) ranges.emplace_back(0, no_line);
  const std::int64_t middle = middle_id(db);
  IdRanges lower, upper;
  for (const auto& [low, high] : ranges) {
    if (low < middle) lower.emplace_back(low, std::min(high, middle));
    if (high > middle) upper.emplace_back(std::max(low, middle), high);
  }
  WorkCounts upper_counts;
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
  WorkCounts counts = counted_in(path, expression, lower);
  if (upper_reader.joinable()) upper_reader.join();
  if (upper_failure) std::rethrow_exception(upper_failure);
  counts.insert(counts.end(), upper_counts.begin(), upper_counts.end());
  // The index reads its rows in the order of their ids; were it ever not
  // to, the counts of a work would come in pieces.
  std::stable_sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  WorkCounts merged;
  for (const auto& [work, hits] : counts) {
    if (!merged.empty() && merged.back().first == work) {
      merged.back().second += hits;
    } else {
      merged.emplace_back(work, hits);
    }
  }
  return merged;
}

// Runs the question over the index, writing hits or counts.
void answer(Database& db, const SearchRequest& request, const Question& question, std::ostream& out,
            std::ostream& err) {
  IndexReader reader(db);
  HitWriter writer(request, reader, out);
  const std::optional<std::string> expression = index_expression(question);
  if (request.count && !request.exact && expression && !request.limit) {
    writer.write_counts(counted_in_index(db, request.database, *expression, request));
    return;
  }
  std::unique_ptr<Stream> lines = stream_of(db, question);
  if (!request.within.empty()) lines = std::make_unique<RangeStream>(std::move(lines), ranges_of(request.within));
  // Where the index matched without the accents, or the matches are to be
  // marked, each line's words are read again.
  const bool reread = request.exact || !request.count;
  WorkCounts counts;
  std::size_t hits = 0;
  const std::size_t limit = request.limit.value_or(std::numeric_limits<std::size_t>::max());
  for (std::int64_t id = lines->first_from(0); id != no_line; id = lines->first_from(id + 1)) {
    Row row;
    std::vector<char> marks;
    if (reread) {
      row = reader.row_of(id);
      RowMatcher matcher(row, request.exact);
      if (!matcher.matches(question) && request.exact) continue;
      marks = matcher.marks();
    }
    if (hits == limit) {
      err << "scrivel-corpus: stopped at --limit " << limit << "; there are more hits\n";
      break;
    }
    ++hits;
    if (request.count) {
      count_hit(counts, id);
    } else {
      writer.write(id, row, marks);
    }
  }
  if (request.count) writer.write_counts(counts);
}

// Opens the index for searching; the reason in one line where it cannot be.
std::unique_ptr<Database> open_index(const std::filesystem::path& path, std::string& why) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    why = "no index " + path.string() + "; build it with: scrivel-corpus index";
    return nullptr;
  }
  auto db = std::make_unique<Database>(open_for_reading(path));
  if (db->integer("PRAGMA application_id") != index_application_id) {
    why = path.string() + " is no scrivel index";
    return nullptr;
  }
  if (const std::int64_t format = db->integer("PRAGMA user_version"); format != index_format) {
    why = path.string() + " is an index of another version of scrivel (format " + std::to_string(format) +
          ", this one reads " + std::to_string(index_format) + "); build it again with: scrivel-corpus index";
    return nullptr;
  }
  return db;
}

}  // namespace

int search(const SearchRequest& request, std::ostream& out, std::ostream& err) {
  const std::variant<QueryNode, QueryError> parsed = parse_query(request.query);
  if (const QueryError* error = std::get_if<QueryError>(&parsed)) {
    err << "scrivel-corpus: " << describe(*error, request.query);
    return query_status;
  }
  std::optional<QueryError> fault;
  const Question question = question_of(std::get<QueryNode>(parsed), fault);
  if (fault) {
    err << "scrivel-corpus: " << describe(*fault, request.query);
    return query_status;
  }
  try {
    std::string why;
    const std::unique_ptr<Database> db = open_index(request.database, why);
    if (!db) {
      err << "scrivel-corpus: " << why << "\n";
      return 1;
    }
    answer(*db, request, question, out, err);
  } catch (const SqliteError& failure) {
    err << "scrivel-corpus: " << request.database.string()
        << (failure.damaged() ? " is damaged or no database (" : ": cannot read it (") << failure.what()
        << "); build it again with: scrivel-corpus index\n";
    return 1;
  }
  return 0;
}

}  // namespace scrivel::search
