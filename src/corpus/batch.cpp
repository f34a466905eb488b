#include "corpus/batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include "corpus/capitains.h"
#include "files.h"
#include "output/passage.h"
#include "profile.h"
#include "scrivel.h"

namespace scrivel::corpus {
namespace {

namespace fs = std::filesystem;

// Creates a file under a temporary name of `final_path`, exclusively and
// never through a link: whoever may write into the directory can plant a
// link or a file at a name a run will use, and nothing planted is written
// through or over. Returns the descriptor, or -1 with errno set.
int create_temporary(const fs::path& final_path, fs::path& temporary) {
  constexpr int attempts = 100;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    temporary = temporary_name(final_path, attempt);
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) return descriptor;
  }
  return -1;
}

std::error_code last_error() { return {errno, std::generic_category()}; }

// Writes all of `text`; why it failed, if it did.
std::error_code write_all(int descriptor, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(descriptor, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return last_error();
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

// The document of one conversion, created under a temporary name beside
// the name the batch gives it; `commit` gives it that name, and what is not
// committed is removed.
class StagedDocument : public FileSystem {
 public:
  explicit StagedDocument(fs::path final_path) : final_(std::move(final_path)) {}
  ~StagedDocument() override { discard(); }
  StagedDocument(const StagedDocument&) = delete;
  StagedDocument& operator=(const StagedDocument&) = delete;

  FileText read_text(const std::string&) override { return {}; }
  std::unique_ptr<InputFile> open_input(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> create_output(const std::string&) override {
    const int descriptor = create_temporary(final_, temporary_);
    if (descriptor >= 0) return disk_.output_to(descriptor);
    creation_error_ = last_error();
    temporary_.clear();
    return nullptr;
  }

  bool created() const { return !temporary_.empty(); }
  // Why the document could not be created, if it could not.
  std::error_code creation_error() const { return creation_error_; }
  // Why the rename failed, if it did; the document is then removed.
  std::error_code commit() {
    std::error_code error;
    fs::rename(temporary_, final_, error);
    if (!error) temporary_.clear();
    return error;
  }
  void discard() {
    std::error_code ignored;
    if (created()) fs::remove(temporary_, ignored);
    temporary_.clear();
  }

 private:
  fs::path final_;
  fs::path temporary_;
  std::error_code creation_error_;
  // The batch keeps the cores busy with conversions: no writer threads.
  DiskFiles disk_{DiskFiles::Writing::in_turn};
};

// Writes a whole file under a temporary name, then gives it its own; on a
// failed write or close (a full disk) the temporary file is removed. Returns
// why it failed, if it did.
std::error_code write_whole(const fs::path& path, const std::string& text) {
  fs::path temporary;
  const int descriptor = create_temporary(path, temporary);
  if (descriptor < 0) return last_error();
  std::error_code error = write_all(descriptor, text);
  if (::close(descriptor) != 0 && !error) error = last_error();
  if (!error) fs::rename(temporary, path, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }
  return error;
}

// A document that an earlier run left under the name of a work that has now
// failed: it is removed, so that no document outlives its work's failure.
// Says so, for the work's line on standard error.
std::string removal_of_earlier(const fs::path& document) {
  std::error_code error;
  if (!fs::is_regular_file(document, error)) return "";
  if (!fs::remove(document, error))
    return "; could not remove the earlier " + document.string() + ": " + error.message();
  return "; removed the earlier " + document.string();
}

// The same for every file of the work: in the CapiTainS layout, its
// __cts__.xml goes with its edition, and its directory when that is left empty.
std::string removal_of_earlier(const Job& job, const BatchSettings& settings, const fs::path& document) {
  std::string removed = removal_of_earlier(document);
  if (settings.layout != Layout::capitains) return removed;
  const fs::path directory = capitains::work_directory(settings.out, job.author, job.work);
  removed += removal_of_earlier(capitains::metadata_path(directory));
  std::error_code ignored;
  if (fs::is_empty(directory, ignored)) fs::remove(directory, ignored);
  return removed;
}

fs::path document_path(const Job& job, const BatchSettings& settings) {
  if (settings.layout == Layout::capitains) return capitains::edition_path(settings.out, job.author, job.work);
  return settings.out / document_name(settings.format, job.author, job.work);
}

// Why a work failed. The conversion names a document that it cannot write
// by its name alone, as scrivel writes it into the current directory; the
// batch names the file it writes, and why it could not create it.
std::string failure_of(const Outcome& outcome, const Job& job, const BatchSettings& settings,
                       const fs::path& final_document, const StagedDocument& document) {
  const std::string unwritable = "Cannot open/write to '" + document_name(settings.format, job.author, job.work) + "'";
  if (outcome.reports.fatal_message != unwritable) return outcome.reports.fatal_message;
  std::string failure = "Cannot open/write to '" + final_document.string() + "'";
  if (const std::error_code error = document.creation_error()) failure += " (" + error.message() + ")";
  return failure;
}

// What became of one work of the batch, and what went wrong, for standard error.
struct JobResult {
  enum class Kind { converted, warned, failed } kind;
  std::string failure;
};

JobResult convert_job(const Job& job, const BatchSettings& settings) {
  std::ostringstream printed;
  const fs::path final_document = document_path(job, settings);
  StagedDocument document(final_document);
  Outcome outcome{1, {}};
  DiskFiles disk;
  if (const std::unique_ptr<InputFile> input = disk.open_input(job.path)) {
    // A directory that cannot be made leaves the document uncreated, which the conversion reports.
    std::error_code ignored;
    if (settings.layout == Layout::capitains) fs::create_directories(final_document.parent_path(), ignored);
    const Request request{job.author, job.work, settings.format, settings.normalization,
                          job.path,   job.names, settings.tei};
    outcome = convert(*input, request, document, printed);
  } else {
    printed << "Cannot open file: " << job.path << "\n";
    outcome.reports.fatal_message = "Cannot open file: " + job.path;
  }
  const fs::path log = settings.out / ("sv" + std::to_string(job.author) + "_" + std::to_string(job.work) + ".log");
  // A work that ended early has no document, even with status 0 (a work
  // that is not in the file).
  const bool failed = outcome.status != 0 || outcome.reports.ended_early();
  // Gone before the log is written: a full disk then has room for the log.
  if (failed) document.discard();
  // The log is part of the work's result: a work whose log cannot be
  // written fails, and leaves no document.
  const std::error_code unlogged = write_whole(log, settings.config_note + printed.str());
  const std::string removed = failed || unlogged ? removal_of_earlier(job, settings, final_document) : "";
  if (failed) return {JobResult::Kind::failed, failure_of(outcome, job, settings, final_document, document) + removed};
  if (unlogged) {
    document.discard();
    return {JobResult::Kind::failed, "cannot write " + log.string() + ": " + unlogged.message() + removed};
  }
  if (const std::error_code unnamed = document.commit())
    return {JobResult::Kind::failed, "cannot give the document its name " + final_document.string() + ": " +
                                         unnamed.message() + removal_of_earlier(job, settings, final_document)};
  if (settings.layout == Layout::capitains) {
    const fs::path metadata = capitains::metadata_path(final_document.parent_path());
    if (const std::error_code unwritten = write_whole(metadata, capitains::work_metadata(job.author, job.work, job.names)))
      return {JobResult::Kind::failed, "cannot write " + metadata.string() + ": " + unwritten.message() +
                                           removal_of_earlier(job, settings, final_document)};
  }
  return {outcome.reports.has_reports() ? JobResult::Kind::warned : JobResult::Kind::converted, ""};
}


// Writes the __cts__.xml of every author of the jobs who has a work in the
// tree, and removes that of one who has none left. Returns how many could
// not be written, each named on `err`.
int name_text_groups(const std::vector<Job>& jobs, const fs::path& out, std::ostream& err) {
  std::map<int, const WorkNames*> authors;
  for (const Job& job : jobs) authors.emplace(job.author, &job.names);
  int unwritten = 0;
  for (const auto& [author, names] : authors) {
    const fs::path directory = capitains::author_directory(out, author);
    const fs::path metadata = capitains::metadata_path(directory);
    std::error_code error;
    bool has_work = false;
    for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error))
      has_work = has_work || fs::exists(capitains::metadata_path(entry->path()), error);
    if (!has_work) {
      fs::remove(metadata, error);
      fs::remove(directory, error);  // only where it is empty
      continue;
    }
    if (const std::error_code failure = write_whole(metadata, capitains::text_group_metadata(author, *names))) {
      err << "scrivel-corpus: cannot write " << metadata.string() << ": " << failure.message() << "\n";
      ++unwritten;
    }
  }
  return unwritten;
}

}  // namespace

void in_parallel(std::size_t count, int jobs, const std::atomic<int>& stop,
                 const std::function<void(std::size_t)>& each) {
  std::atomic<std::size_t> next{0};
  const auto work_through = [&] {
    for (std::size_t i = next++; i < count && stop.load() == 0; i = next++) each(i);
  };
  std::vector<std::jthread> workers;
  for (std::size_t i = 1; i < std::min<std::size_t>(jobs, count); ++i) {
    // A thread that cannot be made (a limit on processes) leaves its share
    // to the threads there are: the batch is slower, not lost.
    try {
      workers.emplace_back(work_through);
    } catch (const std::system_error&) {
      break;
    }
  }
  work_through();
}

// The temporary names a batch gives what it writes: a work's document or
// log, or in the CapiTainS layout an edition or a __cts__.xml; the process's
// number is the first group.
const std::regex& temporary_names() {
  // Built by appending: `"literal" + std::string` trips a false -Wrestrict in g++ 12.
  static const std::regex names = [] {
    const std::string prefix(profile::file_prefix);
    std::string pattern = "\\.(?:sv[0-9]+_[0-9]+\\.(?:log";
    for (const Format format : {Format::rtf, Format::html, Format::text, Format::tsv, Format::tei})
      pattern.append("|").append(extension_of(format).substr(1));
    pattern.append(")|__cts__\\.xml|").append(prefix).append("[0-9]{4}\\.").append(prefix).append("[0-9]{3}\\.");
    pattern.append(edition_name()).append("\\.xml)\\.part([0-9]{1,9})(?:-[0-9]+)?");
    return std::regex(pattern);
  }();
  return names;
}

// A file's temporary name beside its own: hidden, told apart from those of
// another process that writes into the same directory by the process's
// number, and where that name is taken by a count after it.
fs::path temporary_name(const fs::path& final_path, int attempt) {
  std::string name = ".";
  name += final_path.filename().string();
  name += ".part";
  name += std::to_string(::getpid());
  if (attempt > 0) name.append("-").append(std::to_string(attempt));
  return final_path.parent_path() / name;
}

int remove_stale_temporaries(const fs::path& directory, const std::regex& names) {
  int removed = 0;
  std::error_code error;
  for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    std::smatch temporary;
    if (!std::regex_match(name, temporary, names)) continue;
    const pid_t process = std::stoi(temporary[1].str());
    if (process == ::getpid() || ::kill(process, 0) == 0 || errno != ESRCH) continue;
    std::error_code ignored;
    if (fs::remove(entry->path(), ignored)) ++removed;
  }
  return removed;
}

// Those in the out directory and, in the CapiTainS layout, in the folders
// of the jobs' works and authors; counted on `err`.
void remove_stale_temporaries(const std::vector<Job>& jobs, const BatchSettings& settings, std::ostream& err) {
  std::set<fs::path> directories = {settings.out};
  if (settings.layout == Layout::capitains) {
    for (const Job& job : jobs) {
      directories.insert(capitains::author_directory(settings.out, job.author));
      directories.insert(capitains::work_directory(settings.out, job.author, job.work));
    }
  }
  int removed = 0;
  for (const fs::path& directory : directories) removed += remove_stale_temporaries(directory, temporary_names());
  if (removed > 0)
    err << "scrivel-corpus: removed " << removed << " temporary files that an earlier run stopped outright left in "
        << settings.out.string() << "\n";
}

namespace {

// The work that a file's name gives it when it matches `pattern`, whose one
// group is the work's number.
std::optional<int> work_named(const fs::path& file, const std::regex& pattern) {
  std::smatch match;
  const std::string name = file.filename().string();
  if (!std::regex_match(name, match, pattern)) return std::nullopt;
  return std::stoi(match[1].str());
}

// The files under `directory` that `pattern` names of a work not in `works`.
std::vector<fs::path> files_of_other_works(const fs::path& directory, const std::regex& pattern,
                                           const std::set<int>& works) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error))
    if (const std::optional<int> work = work_named(entry->path(), pattern); work && !works.contains(*work))
      files.push_back(entry->path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

void name_files_of_missing_works(const std::map<int, std::set<int>>& works_now, const BatchSettings& settings,
                                 std::ostream& err) {
  for (const auto& [author, works] : works_now) {
    const std::string stem = "sv" + std::to_string(author) + "_([0-9]+)\\.";
    std::vector<fs::path> files = files_of_other_works(
        settings.out, std::regex(stem + "(?:log|" + std::string(extension_of(settings.format).substr(1)) + ")"), works);
    if (settings.layout == Layout::capitains) {
      const std::vector<fs::path> folders = files_of_other_works(
          capitains::author_directory(settings.out, author),
          std::regex(std::string(profile::file_prefix) + "([0-9]{3})"), works);
      files.insert(files.end(), folders.begin(), folders.end());
    }
    for (const fs::path& file : files)
      err << "scrivel-corpus: " << file.string()
          << " is of a work that the author file no longer holds; left as it stands\n";
  }
}

Progress::Progress(Console& console, std::uint64_t works, std::uint64_t bytes)
    : console_(console), works_(works), bytes_(static_cast<double>(bytes)) {}

void Progress::work_done(std::uint64_t bytes) {
  ++works_done_;
  bytes_done_ += static_cast<double>(bytes);
  if (!console_.progress) return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = seconds > 0 ? bytes_done_ / seconds : 0;
  const double left = rate > 0 ? (bytes_ - bytes_done_) / rate : 0;
  char line[160];
  std::snprintf(line, sizeof line, "\r%llu/%llu works, %.1f/%.1f MB, %.1f MB/s, %.0f s left   ",
                static_cast<unsigned long long>(works_done_), static_cast<unsigned long long>(works_),
                bytes_done_ / 1e6, bytes_ / 1e6, rate / 1e6, left);
  console_.err << line << std::flush;
}

void Progress::finish() {
  if (console_.progress && works_done_ > 0) console_.err << "\r" << std::string(79, ' ') << "\r";
}

BatchSummary convert_batch(const std::vector<Job>& jobs, const BatchSettings& settings, Console& console) {
  BatchSummary summary;
  remove_stale_temporaries(jobs, settings, console.err);
  std::uint64_t bytes = 0;
  for (const Job& job : jobs) bytes += job.bytes;
  Progress progress(console, jobs.size(), bytes);
  std::mutex mutex;  // over the summary, the progress and the console
  in_parallel(jobs.size(), settings.jobs, console.stop, [&](std::size_t i) {
    const JobResult outcome = convert_job(jobs[i], settings);
    const std::lock_guard lock(mutex);
    switch (outcome.kind) {
      case JobResult::Kind::converted: ++summary.converted; break;
      case JobResult::Kind::warned: ++summary.converted, ++summary.with_warnings; break;
      case JobResult::Kind::failed:
        ++summary.failed;
        progress.finish();
        console.err << "scrivel-corpus: " << jobs[i].path << " work " << jobs[i].work << " failed: " << outcome.failure
                    << "\n";
        break;
    }
    summary.bytes += jobs[i].bytes;
    progress.work_done(jobs[i].bytes);
  });
  progress.finish();
  summary.not_started = static_cast<int>(jobs.size()) - summary.converted - summary.failed;
  if (settings.layout == Layout::capitains) summary.unnamed_groups = name_text_groups(jobs, settings.out, console.err);
  return summary;
}

}  // namespace scrivel::corpus
