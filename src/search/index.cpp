#include "search/index.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "corpus/records.h"
#include "files.h"
#include "output/passage.h"
#include "profile.h"
#include "scrivel.h"
#include "search/fold.h"
#include "search/sqlite.h"

namespace scrivel::search {
namespace {

namespace fs = std::filesystem;

constexpr const char* schema = R"(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE authors(author INTEGER PRIMARY KEY, name TEXT NOT NULL, synonyms TEXT NOT NULL);
CREATE TABLE works(author INTEGER NOT NULL, work INTEGER NOT NULL, urn TEXT NOT NULL, abbreviation TEXT NOT NULL,
                   title TEXT NOT NULL, levels TEXT NOT NULL, lines INTEGER NOT NULL,
                   PRIMARY KEY(author, work)) WITHOUT ROWID;
CREATE TABLE lines(id INTEGER PRIMARY KEY, passage TEXT NOT NULL, citation TEXT NOT NULL, text TEXT NOT NULL);
CREATE VIRTUAL TABLE words USING fts5(folded, content='', columnsize=0, tokenize='ascii');
)";

// The build writes a file that no one reads until it is renamed: no
// journal, no waiting for the disk, and room for the full-text index's
// pending words, within the build's bound on memory.
constexpr const char* build_settings = R"(
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
PRAGMA cache_size = -65536;
PRAGMA temp_store = MEMORY;
)";
constexpr const char* fts_settings = "INSERT INTO words(words, rank) VALUES('hashsize', 16777216)";

// A work's tsv records, split into lines, and the folded words of each line.
struct WorkLines {
  std::string document;
  std::vector<std::string_view> passages;
  std::vector<std::string_view> citations;
  std::vector<std::string_view> texts;
  std::string words;                     // every line's words, one after the other
  std::vector<std::uint32_t> words_ends;  // where each line's end in `words`
  std::string failure;
};

// The rows of the full-text index of a work's lines: each line's folded
// words, with the line-end word where another line follows.
void index_words(std::span<const std::string_view> texts, std::string& words, std::vector<std::uint32_t>& ends) {
  words.clear();
  ends.clear();
  visit_indexed_words(
      texts,
      [&](std::size_t, const WordSplitter& split, const Word& word, const WordSplitter* next, const Word& next_word) {
        words += split.folded(word);
        if (next != nullptr) words += next->folded(next_word);
        words += ' ';
      },
      [&](std::size_t, bool last) {
        if (!last) words += line_end_word;
        ends.push_back(static_cast<std::uint32_t>(words.size()));
      });
}

// Splits a tsv document into its records' fields.
void read_records(WorkLines& lines, std::string_view urn_prefix) {
  std::string_view rest = lines.document;
  rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));  // the header
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.size(), rest.find('\n'));
    const std::string_view record = rest.substr(0, end);
    rest.remove_prefix(std::min(rest.size(), end + 1));
    const std::size_t first_tab = record.find('\t');
    const std::size_t second_tab = record.find('\t', first_tab + 1);
    if (second_tab == std::string_view::npos) continue;
    std::string_view passage = record.substr(0, first_tab);
    if (passage.starts_with(urn_prefix)) passage.remove_prefix(urn_prefix.size());
    lines.passages.push_back(passage);
    lines.citations.push_back(record.substr(first_tab + 1, second_tab - first_tab - 1));
    lines.texts.push_back(record.substr(second_tab + 1));
  }
}

// Converts a work into tsv records in memory, the same as `scrivel-corpus
// convert --format tsv` writes them, and folds its lines' words.
WorkLines lines_of(const corpus::Job& job) {
  WorkLines lines;
  DiskFiles disk;
  const std::unique_ptr<InputFile> input = disk.open_input(job.path);
  if (!input) {
    lines.failure = "Cannot open file: " + job.path;
    return lines;
  }
  MemoryFiles documents;
  std::ostringstream messages;
  const Request request{job.author, job.work, Format::tsv, Normalization::nfc, job.path, {}, {}};
  const Outcome outcome = convert(*input, request, documents, messages);
  if (outcome.status != 0 || outcome.reports.ended_early() || documents.outputs.empty()) {
    lines.failure = outcome.reports.fatal_message.empty() ? messages.str() : outcome.reports.fatal_message;
    if (lines.failure.ends_with('\n')) lines.failure.pop_back();
    return lines;
  }
  lines.document = std::move(documents.outputs.begin()->second);
  read_records(lines, work_urn(job.author, job.work) + ":");
  index_words(lines.texts, lines.words, lines.words_ends);
  return lines;
}

// The database under construction: its statements, prepared once.
class IndexWriter {
 public:
  explicit IndexWriter(Database& db)
      : db_(db),
        add_author_(db.prepare("INSERT INTO authors(author, name, synonyms) VALUES(?, ?, ?)")),
        add_work_(db.prepare(
            "INSERT INTO works(author, work, urn, abbreviation, title, levels, lines) VALUES(?, ?, ?, ?, ?, ?, ?)")),
        add_line_(db.prepare("INSERT INTO lines(id, passage, citation, text) VALUES(?, ?, ?, ?)")),
        add_words_(db.prepare("INSERT INTO words(rowid, folded) VALUES(?, ?)")),
        remove_words_(db.prepare("INSERT INTO words(words, rowid, folded) VALUES('delete', ?, ?)")) {}

  void add(const AuthorRecord& author) {
    add_author_.bind(1, author.author).bind(2, author.name).bind(3, corpus::joined(author.synonyms, "; ")).run();
  }

  void add(const IndexWork& work, const WorkLines& lines) {
    const std::string urn = work_urn(work.job.author, work.job.work);
    const std::string levels = corpus::joined(work.record.levels, ".");
    add_work_.bind(1, work.job.author).bind(2, work.job.work).bind(3, urn).bind(4, work.record.work.abbreviation);
    add_work_.bind(5, work.record.title).bind(6, levels).bind(7, static_cast<std::int64_t>(lines.texts.size())).run();
    std::uint32_t words_start = 0;
    for (std::uint32_t line = 0; line < lines.texts.size(); ++line) {
      const std::int64_t id = line_id(work.job.author, work.job.work, line);
      add_line_.bind(1, id).bind(2, lines.passages[line]).bind(3, lines.citations[line]).bind(4, lines.texts[line]);
      add_line_.run();
      const std::uint32_t words_end = lines.words_ends[line];
      add_words_.bind(1, id).bind(2, std::string_view(lines.words).substr(words_start, words_end - words_start));
      add_words_.run();
      words_start = words_end;
    }
  }

  // Takes an author's rows out: the full-text index holds no copy of the
  // words, so each line's words are folded again from its text, as they
  // were when the line went in, and taken out by the index's own command.
  void remove_author(int author) {
    Statement works = db_.prepare("SELECT work FROM works WHERE author = ? ORDER BY work");
    works.bind(1, author);
    while (works.step()) remove_words_of_work(author, static_cast<int>(works.integer(0)));
    Statement remove_lines = db_.prepare("DELETE FROM lines WHERE id >= ? AND id < ?");
    remove_lines.bind(1, first_id_of_author(author)).bind(2, first_id_of_author(author + 1)).run();
    db_.prepare("DELETE FROM works WHERE author = ?").bind(1, author).run();
    db_.prepare("DELETE FROM authors WHERE author = ?").bind(1, author).run();
  }

 private:
  void remove_words_of_work(int author, int work) {
    Statement lines = db_.prepare("SELECT id, text FROM lines WHERE id >= ? AND id < ? ORDER BY id");
    lines.bind(1, first_id_of_work(author, work)).bind(2, first_id_of_work(author, work + 1));
    std::vector<std::int64_t> ids;
    std::vector<std::string> texts;
    while (lines.step()) {
      ids.push_back(lines.integer(0));
      texts.emplace_back(lines.text(1));
    }
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    std::string words;
    std::vector<std::uint32_t> ends;
    index_words(views, words, ends);
    std::uint32_t start = 0;
    for (std::size_t line = 0; line < ids.size(); ++line) {
      remove_words_.bind(1, ids[line]).bind(2, std::string_view(words).substr(start, ends[line] - start)).run();
      start = ends[line];
    }
  }

  Database& db_;
  Statement add_author_;
  Statement add_work_;
  Statement add_line_;
  Statement add_words_;
  Statement remove_words_;
};

// The works' lines, converted `jobs` at a time and handed over in the
// works' order, at most `window` works ahead of the one being written, so
// that memory stays bounded whatever the corpus's size.
class WorkPipeline {
 public:
  WorkPipeline(const std::vector<IndexWork>& works, int jobs, const std::atomic<int>& stop)
      : works_(works), results_(works.size()), window_(static_cast<std::size_t>(2 * jobs + 2)), stop_(stop) {
    converter_ = std::thread([this, jobs] {
      corpus::in_parallel(works_.size(), jobs, halt_, [this](std::size_t i) { convert(i); });
    });
  }
  WorkPipeline(const WorkPipeline&) = delete;
  WorkPipeline& operator=(const WorkPipeline&) = delete;
  ~WorkPipeline() {
    halt_ = 1;
    {
      const std::lock_guard lock(mutex_);
      changed_.notify_all();
    }
    converter_.join();
  }

  // The next work's lines; nothing once a signal stopped the build.
  std::optional<WorkLines> next() {
    std::unique_lock lock(mutex_);
    while (!results_[next_] && !stopped()) changed_.wait_for(lock, signal_check);
    if (stopped()) return std::nullopt;
    WorkLines lines = std::move(*results_[next_]);
    results_[next_].reset();
    ++next_;
    changed_.notify_all();
    return lines;
  }

 private:
  // A signal sets the stop without waking anyone: waits look at it this often.
  static constexpr std::chrono::milliseconds signal_check{50};

  bool stopped() const { return stop_.load() != 0 || halt_.load() != 0; }

  void convert(std::size_t i) {
    {
      std::unique_lock lock(mutex_);
      while (i >= next_ + window_ && !stopped()) changed_.wait_for(lock, signal_check);
      if (stopped()) return;
    }
    WorkLines lines = lines_of(works_[i].job);
    const std::lock_guard lock(mutex_);
    results_[i] = std::move(lines);
    changed_.notify_all();
  }

  const std::vector<IndexWork>& works_;
  std::vector<std::optional<WorkLines>> results_;
  std::size_t next_ = 0;
  const std::size_t window_;
  const std::atomic<int>& stop_;
  std::atomic<int> halt_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread converter_;
};

// Removes what builds that were killed left behind: temporary files of
// this database whose process is gone.
void remove_stale_builds(const fs::path& database) {
  const fs::path directory = database.parent_path().empty() ? fs::path(".") : database.parent_path();
  std::string own = "\\.";
  own.append(std::regex_replace(database.filename().string(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"));
  own.append("\\.part([0-9]{1,9})(?:-[0-9]+)?");
  corpus::remove_stale_temporaries(directory, std::regex(own));
}

// Whether a file is an index that this scrivel can add authors to; the
// reason where it is not.
std::string unfit_for_update(const fs::path& database) {
  try {
    Database db(database.string(), Database::Mode::read_only);
    if (db.integer("PRAGMA application_id") != index_application_id) return "it is no scrivel index";
    if (db.integer("PRAGMA user_version") != index_format) return "it was built by another version of scrivel";
    return "";
  } catch (const SqliteError& error) {
    return error.what();
  }
}

std::string now_utc() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

void create_schema(Database& db) {
  db.execute(schema);
  db.execute(("PRAGMA application_id = " + std::to_string(index_application_id)).c_str());
  db.execute(("PRAGMA user_version = " + std::to_string(index_format)).c_str());
}

void write_meta(Database& db) {
  Statement meta = db.prepare("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
  meta.bind(1, std::string_view("scrivel")).bind(2, profile::version).run();
  const std::string built = now_utc();
  meta.bind(1, std::string_view("built")).bind(2, built).run();
}

// Makes the complete file the database: written to the disk first, so that
// the name never stands for a file that a crash could leave half-written.
std::error_code replace(const fs::path& temporary, const fs::path& database) {
  const int file = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0 || ::fsync(file) != 0) {
    const std::error_code error(errno, std::generic_category());
    if (file >= 0) ::close(file);
    return error;
  }
  ::close(file);
  std::error_code error;
  fs::rename(temporary, database, error);
  if (error) return error;
  const fs::path directory = database.parent_path().empty() ? fs::path(".") : database.parent_path();
  if (const int handle = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); handle >= 0) {
    ::fsync(handle);
    ::close(handle);
  }
  return {};
}

struct BuildCounts {
  int works = 0;
  int failed = 0;
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
};

// Writes every work's lines as the pipeline hands them over. Returns false
// where a signal stopped it.
bool write_works(const IndexRequest& request, IndexWriter& writer, corpus::Console& console, BuildCounts& counts) {
  std::uint64_t bytes = 0;
  for (const IndexWork& work : request.works) bytes += work.job.bytes;
  corpus::Progress progress(console, request.works.size(), bytes);
  WorkPipeline pipeline(request.works, request.jobs, console.stop);
  for (const IndexWork& work : request.works) {
    std::optional<WorkLines> lines = pipeline.next();
    if (!lines) return false;
    if (lines->failure.empty()) {
      writer.add(work, *lines);
      ++counts.works;
      counts.lines += lines->texts.size();
    } else {
      ++counts.failed;
      progress.finish();
      console.err << "scrivel-corpus: " << work.job.path << " work " << work.job.work
                  << " failed: " << lines->failure << "\n";
    }
    counts.bytes += work.job.bytes;
    progress.work_done(work.job.bytes);
  }
  progress.finish();
  return true;
}

// Builds into `temporary`; false where a signal stopped it.
bool build_into(const fs::path& temporary, const IndexRequest& request, bool fresh, corpus::Console& console,
                BuildCounts& counts) {
  Database db(temporary.string(), Database::Mode::read_write_create);
  db.execute(build_settings);
  if (fresh) create_schema(db);
  db.execute(fts_settings);
  db.execute("BEGIN");
  IndexWriter writer(db);
  for (const AuthorRecord& author : request.authors) {
    if (!fresh) writer.remove_author(author.author);
    writer.add(author);
  }
  if (!write_works(request, writer, console, counts)) return false;
  write_meta(db);
  db.execute("COMMIT");
  db.close();
  return true;
}

}  // namespace

int build_index(const IndexRequest& request, corpus::Console& console) {
  const auto start = std::chrono::steady_clock::now();
  const fs::path& database = request.database;
  remove_stale_builds(database);
  // Hidden beside the database, named by the process, so that builds side by side never share one.
  const fs::path temporary = corpus::temporary_name(database);
  std::error_code error;
  fs::remove(temporary, error);
  const bool fresh = request.whole || !fs::exists(database, error);
  if (!fresh) {
    if (const std::string why = unfit_for_update(database); !why.empty()) {
      console.err << "scrivel-corpus: cannot add authors to " << database.string() << ": " << why
                  << "; build it whole: scrivel-corpus index with no AUTHOR\n";
      return 1;
    }
    if (!fs::copy_file(database, temporary, error)) {
      console.err << "scrivel-corpus: cannot copy " << database.string() << " to " << temporary.string() << ": "
                  << error.message() << "\n";
      fs::remove(temporary, error);
      return 1;
    }
  }
  BuildCounts counts;
  bool complete = false;
  try {
    complete = build_into(temporary, request, fresh, console, counts);
  } catch (const SqliteError& failure) {
    console.err << "scrivel-corpus: cannot write the index " << temporary.string() << ": " << failure.what() << "\n";
    fs::remove(temporary, error);
    return 1;
  }
  if (!complete) {
    fs::remove(temporary, error);
    console.err << "scrivel-corpus: stopped; " << database.string() << " is left as it was\n";
    return 128 + console.stop.load();
  }
  if (const std::error_code unreplaced = replace(temporary, database)) {
    console.err << "scrivel-corpus: cannot give the index its name " << database.string() << ": "
                << unreplaced.message() << "\n";
    fs::remove(temporary, error);
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char line[200];
  std::snprintf(line, sizeof line, "scrivel-corpus: %d works indexed, %llu lines, %d failed, %.1f MB of input, %.1f s\n",
                counts.works, static_cast<unsigned long long>(counts.lines), counts.failed, counts.bytes / 1e6,
                seconds);
  console.err << line;
  return counts.failed > 0 ? 1 : 0;
}

}  // namespace scrivel::search
