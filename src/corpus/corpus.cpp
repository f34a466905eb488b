#include "corpus/corpus.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "catalogue.h"
#include "corpus/batch.h"
#include "corpus/options.h"
#include "corpus/records.h"
#include "files.h"
#include "input/byte_source.h"
#include "input/config.h"
#include "input/work_list.h"
#include "search/index.h"
#include "search/search.h"
#include "serve/server.h"
#include "profile.h"
#include "scrivel.h"

namespace scrivel::corpus {
namespace {

namespace fs = std::filesystem;

constexpr int usage_status = 2;

constexpr const char* help =
    "scrivel-corpus: lists and converts the works of TLG author files, many at once.\n"
    "\n"
    "  scrivel-corpus list    [--corpus DIR] [--json] [AUTHOR...]\n"
    "      One line per work, tab-separated, under the header\n"
    "      'author work block offset bytes abbreviation title levels': the block\n"
    "      and the offset in it where the work's header stands, how many bytes its\n"
    "      data take, the work's abbreviation from the author file, and its title\n"
    "      and the names of its citation levels, joined by '.' (Idyll.line), from\n"
    "      the ID table tlgNNNN.idt beside it. A column with nothing to give is\n"
    "      empty.\n"
    "  scrivel-corpus authors [--corpus DIR] [--json] [AUTHOR...]\n"
    "      One line per author file, tab-separated, under the header\n"
    "      'author name synonyms language works': the name, the synonyms (joined\n"
    "      by '; ') and the language code from the corpus's author table\n"
    "      authtab.dir, and how many works the file holds.\n"
    "  scrivel-corpus convert [--corpus DIR] [--format FORMAT]\n"
    "                         [--normalize nfc|none] [--tei-lines verse|prose]\n"
    "                         [--tei-cite-structure] [--layout flat|capitains]\n"
    "                         [--out DIR] [--jobs N]\n"
    "                         [AUTHOR[:WORK]...]\n"
    "      Converts every work named, every work of each AUTHOR, or, with none\n"
    "      named, every work of every tlgNNNN.txt in the corpus, N at a time.\n"
    "      Each document is the one 'scrivel AUTHOR WORK' writes in the same\n"
    "      format and normalization; its messages go into svAUTHOR_WORK.log\n"
    "      beside it. A document appears only whole; a failed work leaves none.\n"
    "  scrivel-corpus index [--corpus DIR] [--db FILE] [--jobs N] [AUTHOR...]\n"
    "      Builds the search index FILE (default: scrivel.sqlite), an SQLite\n"
    "      database of the authors, the works and every line of every work, with\n"
    "      its words folded (no case, accents, breathings or iota subscript).\n"
    "      With AUTHORs named, their lines replace theirs in the index and the\n"
    "      other authors stay. It is written aside and takes the name only\n"
    "      whole: a build stopped at any moment leaves the earlier index.\n"
    "  scrivel-corpus search [--db FILE] [--exact] [--author A,...]\n"
    "                        [--work A:W,...] [--limit N] [--count] [--json] QUERY\n"
    "      The lines whose words QUERY matches, in corpus order, one per line:\n"
    "      'Author, Title passage', a tab and the line. QUERY is Greek, or Beta\n"
    "      Code when it is all ASCII (lo/gos, *LO/GOS, logos); a word matches\n"
    "      every form that folds the same, with --exact only the accents and\n"
    "      breathings typed. word* is every word beginning so; \"a b\" a phrase,\n"
    "      also across a line end; NEAR(a b, N) words at most N apart in a line;\n"
    "      a b and a AND b both in a line; a OR b either; ( ) groups.\n"
    "  scrivel-corpus serve [--db FILE] [--corpus DIR] [--bind ADDRESS] [--port N]\n"
    "      Serves the index as a library for the browser, at\n"
    "      http://127.0.0.1:8080/ unless told otherwise: the authors, their\n"
    "      works, each work's text from its author file in the corpus (at\n"
    "      /urn:cts:greekLit:tlgAAAA.tlgWWW, a line at ...:1.2), the search,\n"
    "      and the same as JSON under /api/. Ctrl-C or SIGTERM stops it.\n"
    "\n"
    "Options:\n"
    "  --corpus DIR          the directory of the author files and their tables\n"
    "                        (default: the first line of ./scrivel.cfg that is\n"
    "                        not a comment, one beginning with '#', else the\n"
    "                        current directory)\n"
    "  --json                list and authors: the same records as JSON lines, one\n"
    "                        object per line (list adds the author's name);\n"
    "                        search: one object per hit (urn, author, name, work,\n"
    "                        title, citation, text, matches: character offsets)\n"
    "  --format FORMAT       rtf or html for reading; text (plain text) or tsv (one\n"
    "                        tab-separated record per line of the edition) for\n"
    "                        study; tei (a TEI XML edition, svAUTHOR_WORK.xml)\n"
    "                        for digital libraries and CTS tools (default: as\n"
    "                        ./scrivel.cfg says, else rtf).\n"
    "                        A tsv record, its fields urn, citation and text:\n"
    "                        urn:cts:greekLit:tlg0012.tlg001:1.2<TAB>1.2<TAB>\n"
    "                        οὐλομένην, ἣ μυρί' Ἀχαιοῖς ἄλγε' ἔθηκε,\n"
    "  --normalize nfc|none  nfc: Unicode NFC, which taggers and search tools\n"
    "                        match; none: the characters the reading documents\n"
    "                        have always had (default: nfc for text, tsv and\n"
    "                        tei, none for rtf and html)\n"
    "  --tei-lines verse|prose\n"
    "                        tei only: each line an <l> (verse), or a <seg> of a\n"
    "                        <p> (prose) (default: verse for a work with at most\n"
    "                        one level above the line, else prose)\n"
    "  --tei-cite-structure  tei only: a citeStructure tree beside the CTS\n"
    "                        reference patterns, for DTS (EpiDoc 9.3 and later,\n"
    "                        tei_all); EpiDoc 8, which CTS collections check\n"
    "                        against, refuses it (default: none)\n"
    "  --layout flat|capitains\n"
    "                        flat: every file in --out. capitains (tei only): the\n"
    "                        tree that CTS tools (CapiTainS) read: in\n"
    "                        --out/data/tlgAAAA/ a __cts__.xml for the author,\n"
    "                        and in its tlgWWW/ one for the work beside the\n"
    "                        edition tlgAAAA.tlgWWW.scrivel-grc1.xml; the logs\n"
    "                        stay in --out (default: flat)\n"
    "  --out DIR             where the documents and logs go; it must exist\n"
    "                        (default: .)\n"
    "  --jobs N              works converted or indexed at once, 1 to 4096\n"
    "                        (default: one per core)\n"
    "  --db FILE             index and search: the search index (default:\n"
    "                        scrivel.sqlite in the current directory)\n"
    "  --exact               search: accents, breathings, diaeresis and iota\n"
    "                        subscript as typed (case aside)\n"
    "  --author A,...        search: only these authors' works\n"
    "  --work A:W,...        search: only these works\n"
    "  --limit N             search: at most N hits\n"
    "  --count               search: the hits of each work, and the total\n"
    "  --bind ADDRESS        serve: the address to listen on (default:\n"
    "                        127.0.0.1, this machine alone; 0.0.0.0 opens the\n"
    "                        library to the network)\n"
    "  --port N              serve: the port, 0 to 65535; 0 takes a free one\n"
    "                        (default: 8080)\n"
    "  --help                this text;  --version  the version\n"
    "\n"
    "Exit status: 0 every work converted or indexed (warnings inside works are\n"
    "fine), a search done, whether it found anything or not, or serve stopped by\n"
    "Ctrl-C or SIGTERM;\n"
    "1 a failure named on standard error: a work, an author file, scrivel.cfg,\n"
    "the corpus or --out directory, the index, the address to serve at, or\n"
    "standard output; 2 usage or a query that is no query; 130 stopped by\n"
    "Ctrl-C (143 by SIGTERM, 129 by SIGHUP), for every command but serve.\n";

// Where the author files are and what the documents become, from the
// command line and, for what it leaves open, from ./scrivel.cfg.
struct Settings {
  std::string prefix;  // the author file's name is appended to it
  Format format = Format::rtf;
  Normalization normalization = Normalization::none;
  std::string config_note;  // what reading scrivel.cfg printed, which each log repeats as scrivel would
  fs::path out;
  int jobs = 1;
  TeiChoices tei;
  Layout layout = Layout::flat;

  // tlgNNNN.txt, or where that is absent a name that differs only in case.
  std::string path_of(int author) const {
    const std::string path = prefix + author_file_name(author);
    std::error_code absent;
    if (fs::exists(fs::symlink_status(path, absent))) return path;
    DiskFiles files;
    return file_in_any_case(files, path).value_or(path);
  }
  // The directory that holds the author files: the prefix up to its last "/".
  fs::path directory() const {
    const std::string directory = split_prefix(prefix).directory;
    return directory.empty() ? fs::path(".") : fs::path(directory);
  }
  // What the author files' names start with in it.
  std::string name_start() const { return split_prefix(prefix).name_start; }
};

// Fails with a message and a status, before any work is done.
struct Refusal {
  int status;
  std::string message;
};

Settings settings_of(const Options& options) {
  Settings settings;
  DiskFiles files;
  // scrivel.cfg is read for what the command line leaves open: the corpus,
  // and the format of a conversion.
  const bool converting = options.command == Options::Command::convert;
  const bool configured = files.read_text("scrivel.cfg").text.has_value();
  if (configured && (!options.corpus || (converting && !options.format))) {
    std::ostringstream printed;
    Messages messages(printed);
    try {
      const Config config = read_config(files, messages);
      settings.prefix = config.directory;
      settings.format = config.format;
      if (!options.format) settings.config_note = printed.str();
    } catch (const FatalExit& exit) {
      throw Refusal{exit.status, "scrivel.cfg: " + printed.str()};
    }
  }
  if (options.corpus) {
    settings.prefix = *options.corpus;
    if (!settings.prefix.empty() && !settings.prefix.ends_with('/')) settings.prefix += '/';
  }
  if (options.format) settings.format = *options.format;
  settings.normalization = options.normalization.value_or(default_normalization(settings.format));
  if (settings.format != Format::tei && options.layout == Layout::capitains)
    throw Refusal{usage_status, "--layout capitains is a layout of TEI editions: it needs the format tei"};
  if (settings.format != Format::tei && options.tei.lines)
    throw Refusal{usage_status, "--tei-lines is for TEI editions: it needs the format tei"};
  if (settings.format != Format::tei && options.tei.cite_structure)
    throw Refusal{usage_status, "--tei-cite-structure is for TEI editions: it needs the format tei"};
  settings.tei = options.tei;
  settings.layout = options.layout;
  std::error_code error;
  if (!fs::is_directory(settings.directory(), error))
    throw Refusal{usage_status, "no corpus directory " + settings.directory().string()};
  settings.out = options.out;
  if (converting) {
    if (!fs::is_directory(settings.out, error)) throw Refusal{usage_status, "no --out directory " + options.out};
    if (::access(settings.out.c_str(), W_OK) != 0) throw Refusal{1, "cannot write into " + options.out};
  }
  settings.jobs = options.jobs > 0 ? options.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  return settings;
}

// The numbers of every tlgNNNN.txt in the corpus directory, in any case
// after the prefix, in order. A directory that cannot be read, or that holds
// none, is refused: a command that names no author would otherwise do
// nothing and pass.
std::vector<int> authors_in(const Settings& settings) {
  const fs::path directory = settings.directory();
  const std::string start = settings.name_start();
  constexpr std::string_view extension = ".txt";
  std::set<int> authors;
  std::error_code error;
  for (fs::directory_iterator entry(directory, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.size() < start.size() + extension.size() || !name.starts_with(start)) continue;
    const std::string_view stem(name.data() + start.size(), name.size() - start.size() - extension.size());
    const std::string_view ending = std::string_view(name).substr(name.size() - extension.size());
    const auto lower = [](char ch) { return std::tolower(static_cast<unsigned char>(ch)); };
    if (!std::ranges::equal(ending, extension, {}, lower)) continue;
    if (const std::optional<int> author = author_number_of(stem)) authors.insert(*author);
  }
  if (error) throw Refusal{1, "cannot read the corpus directory " + directory.string() + ": " + error.message()};
  if (authors.empty())
    throw Refusal{1, "no author files " + start + std::string(profile::file_prefix) + "NNNN.txt in " +
                         directory.string()};
  return {authors.begin(), authors.end()};
}

// An author file mapped into memory, read-only: however large it is, the
// list of its works reads it without holding a copy.
class MappedFile {
 public:
  // Nothing when the file is missing, unreadable, no regular file (a
  // directory, a FIFO) or cannot be mapped; `why` then says which.
  static std::optional<MappedFile> open(const std::string& path, std::string& why) {
    const RegularFile file = open_regular_file(path);
    if (file.descriptor < 0) {
      why = file.why;
      return std::nullopt;
    }
    std::optional<MappedFile> mapped;
    const std::size_t size = static_cast<std::size_t>(file.size);
    void* data = size == 0 ? nullptr : ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.descriptor, 0);
    if (data == MAP_FAILED) {
      why = std::strerror(errno);
    } else {
      mapped.emplace(MappedFile(static_cast<const char*>(data), size));
    }
    ::close(file.descriptor);
    return mapped;
  }
  MappedFile(MappedFile&& other) noexcept : data_(std::exchange(other.data_, nullptr)), size_(other.size_) {}
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  MappedFile& operator=(MappedFile&&) = delete;
  ~MappedFile() {
    if (data_ != nullptr) ::munmap(const_cast<char*>(data_), size_);
  }

  std::string_view bytes() const { return {data_ == nullptr ? "" : data_, size_}; }

 private:
  MappedFile(const char* data, std::size_t size) : data_(data), size_(size) {}

  const char* data_;
  std::size_t size_;
};

// The author files a command covers: those named, or every one.
std::vector<Target> targets_of(const Options& options, const Settings& settings) {
  if (!options.targets.empty()) return options.targets;
  std::vector<Target> all;
  for (const int author : authors_in(settings)) all.push_back({author, std::nullopt});
  return all;
}

// Whether standard output failed to take what was written to it: closed,
// full, or a pipe whose reader has gone. Says why on standard error.
bool output_failed(Console& console) {
  if (console.out.flush()) return false;
  const int error = errno;
  console.err << "scrivel-corpus: cannot write to standard output: " << std::strerror(error) << "\n";
  return true;
}

// Names on standard error what is wrong in an author file's list: the
// search's errors, an empty file being said to be one, which Error 001
// alone does not tell, and the headers left out. Returns whether the list
// has no error.
bool report_list(const std::string& path, bool empty, const WorkList& list, Console& console) {
  for (const std::uint64_t header : list.damaged_headers)
    console.err << "scrivel-corpus: " << path << ": the work header at offset " << header
                << " has bytes that are no digits for its number; left out\n";
  if (list.errors.empty()) return true;
  console.err << "scrivel-corpus: " << path << ": " << (empty ? "the file is empty: " : "") << list.errors;
  return false;
}

// The corpus's tables, read from the disk; one damaged or unreadable is named on `err`.
Catalogue catalogue_of(const Settings& settings, DiskFiles& files, std::ostream& err) {
  return Catalogue(files, settings.prefix,
                   [&err](const std::string& message) { err << "scrivel-corpus: " << message << "\n"; });
}

// Calls `each` with every author file that a listing covers, once each,
// and the file's bytes; names a file that cannot be read. Returns the
// listing's exit status: 1 when a file failed, or standard output did; 128
// + the signal that stopped it.
template <typename Each>
int for_each_author_file(const Options& options, const Settings& settings, Console& console, Each each) {
  int status = 0;
  std::set<int> listed;
  for (const Target& target : targets_of(options, settings)) {
    if (!listed.insert(target.author).second) continue;
    const std::string path = settings.path_of(target.author);
    std::string why;
    const std::optional<MappedFile> file = MappedFile::open(path, why);
    if (!file) {
      console.err << "scrivel-corpus: Cannot open file: " << path << " (" << why << ")\n";
      status = 1;
      continue;
    }
    if (!each(target.author, path, file->bytes())) status = 1;
    if (output_failed(console)) return 1;
    if (console.stop.load() != 0) return 128 + console.stop.load();
  }
  return output_failed(console) ? 1 : status;
}

// Each work of each author file named, with what the corpus's tables say
// of it, in tab-separated lines or in JSON lines.
int list_command(const Options& options, const Settings& settings, Console& console) {
  DiskFiles files;
  Catalogue catalogue = catalogue_of(settings, files, console.err);
  if (!options.json) console.out << list_header;
  return for_each_author_file(options, settings, console,
                              [&](int author, const std::string& path, std::string_view bytes) {
                                const WorkList list = list_works(bytes);
                                for (const ListedWork& work : list.works) {
                                  const WorkRecord record = record_of(author, work, catalogue);
                                  options.json ? write_json(console.out, record) : write_tsv(console.out, record);
                                }
                                return report_list(path, bytes.empty(), list, console);
                              });
}

// Each author file named, with its name in the author table and the number of its works.
int authors_command(const Options& options, const Settings& settings, Console& console) {
  DiskFiles files;
  const Catalogue catalogue = catalogue_of(settings, files, console.err);
  if (!options.json) console.out << authors_header;
  return for_each_author_file(options, settings, console,
                              [&](int author, const std::string& path, std::string_view bytes) {
                                const WorkList list = list_works(bytes);
                                const AuthorRecord record = author_record_of(author, list.works.size(), catalogue);
                                options.json ? write_json(console.out, record) : write_tsv(console.out, record);
                                return report_list(path, bytes.empty(), list, console);
                              });
}

// The works a conversion covers, each once: those named, and every work of
// each author named alone, whose works `whole_authors` receives where the
// file lists without an error. The author files are listed `jobs` at a
// time, since each listing reads its whole file.
std::vector<Job> jobs_of(const Options& options, const Settings& settings, Console& console, int& failed_files,
                         std::map<int, std::set<int>>& whole_authors) {
  const std::vector<Target> targets = targets_of(options, settings);
  std::vector<std::optional<WorkList>> lists(targets.size());
  std::vector<char> empty(targets.size());  // not vector<bool>: each thread writes an element of its own
  std::vector<std::string> why(targets.size());
  in_parallel(targets.size(), settings.jobs, console.stop, [&](std::size_t i) {
    if (const auto file = MappedFile::open(settings.path_of(targets[i].author), why[i])) {
      lists[i] = list_works(file->bytes());
      empty[i] = file->bytes().empty();
    }
  });
  if (console.stop.load() != 0) return {};
  std::vector<Job> jobs;
  std::set<std::pair<int, int>> taken;
  std::set<int> failed;    // author files, each counted once
  std::set<int> reported;  // author files whose list was told of
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const Target& target = targets[i];
    const std::string path = settings.path_of(target.author);
    if (!lists[i]) {
      if (failed.insert(target.author).second)
        console.err << "scrivel-corpus: Cannot open file: " << path << " (" << why[i] << ")\n";
      continue;
    }
    if (!target.work && reported.insert(target.author).second && !report_list(path, empty[i] != 0, *lists[i], console))
      failed.insert(target.author);
    std::set<int>* whole = !target.work && lists[i]->errors.empty() ? &whole_authors[target.author] : nullptr;
    for (const ListedWork& work : lists[i]->works) {
      if (whole) whole->insert(work.work);
      if (target.work && *target.work != work.work) continue;
      if (taken.insert({target.author, work.work}).second)
        jobs.push_back({target.author, work.work, path, work.bytes, {}});
    }
    // A work named that the list does not hold: its conversion says why.
    if (target.work && taken.insert({target.author, *target.work}).second)
      jobs.push_back({target.author, *target.work, path, 0, {}});
  }
  failed_files = static_cast<int>(failed.size());
  return jobs;
}

// What the corpus's tables name of each work, which its TEI edition gives.
void name_works(std::vector<Job>& jobs, const Settings& settings, Console& console) {
  DiskFiles files;
  Catalogue catalogue = catalogue_of(settings, files, console.err);
  for (Job& job : jobs) job.names = catalogue.names(job.author, job.work);
}

int convert_command(const Options& options, const Settings& settings, Console& console) {
  const auto start = std::chrono::steady_clock::now();
  int failed_files = 0;
  std::map<int, std::set<int>> whole_authors;
  std::vector<Job> jobs = jobs_of(options, settings, console, failed_files, whole_authors);
  if (settings.format == Format::tei) name_works(jobs, settings, console);
  const BatchSettings batch{settings.format, settings.normalization, settings.tei, settings.layout,
                            settings.config_note, settings.out, settings.jobs};
  const BatchSummary summary = convert_batch(jobs, batch, console);
  if (console.stop.load() == 0) name_files_of_missing_works(whole_authors, batch, console.err);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char line[200];
  std::snprintf(line, sizeof line,
                "scrivel-corpus: %d works converted, %d with warnings, %d failed, %.1f MB of input, %.1f s\n",
                summary.converted, summary.with_warnings, summary.failed + failed_files, summary.bytes / 1e6, seconds);
  console.err << line;
  if (summary.not_started > 0)
    console.err << "scrivel-corpus: stopped; " << summary.not_started << " works not started\n";
  if (console.stop.load() != 0) return 128 + console.stop.load();
  return summary.failed + failed_files + summary.unnamed_groups > 0 ? 1 : 0;
}

// Indexes every work of the author files named, or of every one, into the
// search index.
int index_command(const Options& options, const Settings& settings, Console& console) {
  DiskFiles files;
  Catalogue catalogue = catalogue_of(settings, files, console.err);
  search::IndexRequest request{options.database, {}, {}, options.targets.empty(), settings.jobs};
  const int listed = for_each_author_file(options, settings, console,
                                          [&](int author, const std::string& path, std::string_view bytes) {
                                            const WorkList list = list_works(bytes);
                                            request.authors.push_back(
                                                author_record_of(author, list.works.size(), catalogue));
                                            for (const ListedWork& work : list.works)
                                              request.works.push_back({{author, work.work, path, work.bytes, {}},
                                                                       record_of(author, work, catalogue)});
                                            return report_list(path, bytes.empty(), list, console);
                                          });
  if (listed > 1) return listed;
  const int built = search::build_index(request, console);
  return std::max(listed, built);
}

// Serves the index, with the texts from the corpus's author files.
int serve_command(const Options& options, const Settings& settings, Console& console) {
  const serve::ServeRequest request{options.database, [settings](int author) { return settings.path_of(author); },
                                    options.bind, options.port};
  return serve::serve(request, console);
}

}  // namespace

int run_corpus(const std::vector<std::string>& args, Console& console) {
  std::string error;
  const std::optional<Options> options = parse_options(args, error);
  if (!options) {
    console.err << "scrivel-corpus: " << error << "\n" << usage;
    return usage_status;
  }
  switch (options->command) {
    case Options::Command::help: console.out << help; return output_failed(console) ? 1 : 0;
    case Options::Command::version:
      console.out << "scrivel-corpus " << profile::version << "\n";
      return output_failed(console) ? 1 : 0;
    default: break;
  }
  if (options->command == Options::Command::search) {
    const search::SearchRequest request{options->database, options->query, options->exact, options->count,
                                        options->json,     console.colour, options->limit, options->within};
    const int status = search::search(request, console.out, console.err);
    return output_failed(console) ? 1 : status;
  }
  try {
    const Settings settings = settings_of(*options);
    if (options->command == Options::Command::list) return list_command(*options, settings, console);
    if (options->command == Options::Command::authors) return authors_command(*options, settings, console);
    if (options->command == Options::Command::index) return index_command(*options, settings, console);
    if (options->command == Options::Command::serve) return serve_command(*options, settings, console);
    return convert_command(*options, settings, console);
  } catch (const Refusal& refusal) {
    console.err << "scrivel-corpus: " << refusal.message << (refusal.message.ends_with('\n') ? "" : "\n");
    if (refusal.status == usage_status) console.err << usage;
    return refusal.status;
  }
}

}  // namespace scrivel::corpus
