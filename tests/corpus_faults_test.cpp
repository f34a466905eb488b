// scrivel-corpus as a process, under faults: a disk that fills up in the
// middle of a batch, and a batch stopped by Ctrl-C or killed outright.
// Whatever happens, a document stands under its own name only when whole.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "author_file_builder.h"
#include "conversion.h"
#include "corpus_testing.h"
#include "fresh_directory.h"

extern char** environ;

namespace scrivel::testing {
namespace {

namespace fs = std::filesystem;
using authorfile::Builder;
using authorfile::Bytes;
using namespace std::chrono_literals;

constexpr int author = 9;
const std::string author_path = "corpus/tlg0009.txt";

// An author file of `works` works, each of numbered lines of Greek that
// take about `work_size` bytes. The text is plain Beta Code, put in as bytes:
// translating each line byte by byte would take most of the test's time
// under the sanitizers.
Bytes author_file(int works, std::size_t work_size) {
  const std::string verse = "MH=NIN A)/EIDE QEA\\ *PHLHI+A/DEW *)AXILH=OS OU)LOME/NHN, H(\\ MURI/' *)AXAIOI=S A)/LGE' ";
  Bytes text;
  while (text.size() < 2000) text.insert(text.end(), verse.begin(), verse.end());
  Builder builder(author);
  for (int work = 1; work <= works; ++work) {
    builder.work(work);
    for (std::size_t line = 1; line * text.size() < work_size; ++line) {
      Bytes unit = authorfile::translate("~[line " + std::to_string(line % 16000 + 1) + "]");
      unit.insert(unit.end(), text.begin(), text.end());
      builder.raw(unit);
    }
  }
  return builder.finish();
}

std::string stem_of(int work) { return "sv" + std::to_string(author) + "_" + std::to_string(work); }

// The files that a document or a log is written under before it takes its name.
std::set<std::string> temporaries_in(const fs::path& directory) {
  std::set<std::string> temporaries;
  for (const std::string& name : files_in(directory))
    if (name.starts_with(".") && name.find(".part") != std::string::npos) temporaries.insert(name);
  return temporaries;
}

std::set<std::string> documents_in(const fs::path& directory) {
  std::set<std::string> documents;
  for (const std::string& name : files_in(directory))
    if (!name.starts_with(".") && name.ends_with(".html")) documents.insert(name);
  return documents;
}

// Checks that every document in `directory`, and the log beside it, are
// those that converting its work alone gives.
void expect_whole(const fs::path& directory, const std::string& author_data) {
  for (const std::string& name : documents_in(directory)) {
    const int work = std::stoi(name.substr(name.find('_') + 1));
    const Conversion alone =
        scrivel::convert(author_data, {author, work, Format::html, Normalization::none, author_path, {}, {}});
    EXPECT_TRUE(read_file(directory / name) == alone.document) << name << " is not the whole document";
    EXPECT_EQ(read_file(directory / (stem_of(work) + ".log")), alone.messages) << name;
  }
}

// scrivel-corpus run in the current directory, its standard error into a
// file, its standard output into another (by default, nowhere); as the user
// nobody, who may run one process (the program itself, and no thread), when
// `as_nobody_without_threads`.
class Program {
 public:
  Program(const std::vector<std::string>& args, const fs::path& err, const fs::path& out = "/dev/null",
          bool as_nobody_without_threads = false, const std::string& program = SCRIVEL_CORPUS_PROGRAM) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    constexpr uid_t nobody = 65534;
    const rlimit one{1, 1};
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
      if (as_nobody_without_threads &&
          (::setgid(nobody) != 0 || ::setuid(nobody) != 0 || ::setrlimit(RLIMIT_NPROC, &one) != 0))
        ::_exit(126);
      ::execve(argv[0], argv.data(), environ);
      ::_exit(127);
    }
    spawned_ = pid_ > 0;
  }
  ~Program() {
    if (!spawned_ || finished_) return;
    ::kill(pid_, SIGKILL);
    wait();
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool spawned() const { return spawned_; }
  void signal(int number) { ::kill(pid_, number); }
  bool running() {
    if (!finished_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) finished_ = true;
    return !finished_;
  }
  // The exit status, 128 + the signal's number for a process that a signal ended.
  int wait() {
    if (!finished_) ::waitpid(pid_, &status_, 0);
    finished_ = true;
    return WIFSIGNALED(status_) ? 128 + WTERMSIG(status_) : WEXITSTATUS(status_);
  }

 private:
  pid_t pid_ = 0;
  bool spawned_ = false;
  bool finished_ = false;
  int status_ = 0;
};

// A tmpfs of a given size, mounted for the life of the object.
class SmallDisk {
 public:
  SmallDisk(const fs::path& where, std::size_t bytes) : where_(where) {
    fs::create_directories(where);
    const std::string options = "size=" + std::to_string(bytes);
    if (::mount("scrivel-test", where.c_str(), "tmpfs", 0, options.c_str()) != 0) error_ = std::strerror(errno);
  }
  ~SmallDisk() {
    if (error_.empty()) ::umount(where_.c_str());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  // Why the mount failed; empty when it succeeded.
  const std::string& error() const { return error_; }

 private:
  fs::path where_;
  std::string error_;
};

// Runs in a directory of its own with a corpus/ folder.
class CorpusFaults : public InFreshDirectory {
 protected:
  // Writes the author file, and keeps its bytes for the reference conversions.
  void add_author(const Bytes& file) {
    author_data_.assign(reinterpret_cast<const char*>(file.data()), file.size());
    std::ofstream(author_path, std::ios::binary) << author_data_;
  }
  // Starts converting every work into `out`, as HTML.
  static std::unique_ptr<Program> start(const fs::path& out, int jobs) {
    fs::create_directories(out);
    return std::make_unique<Program>(std::vector<std::string>{"convert", "--corpus", "corpus", "--format", "html",
                                                              "--out", out.string(), "--jobs", std::to_string(jobs)},
                                     "err.txt");
  }
  // Waits until the first document has taken its name in `out`; false when
  // the program ended first or none came within a minute.
  static bool first_document_in(const fs::path& out, Program& program) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (documents_in(out).empty()) {
      if (!program.running() || std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  std::string author_data_;
};

// Six works whose documents are alike in size, on a disk with room for two
// and a half of them: the first two are converted, each later one fails and
// leaves its log only, no document under its name or a temporary one.
TEST_F(CorpusFaults, AFullDiskFailsTheWorksWithoutRoomAndKeepsTheEarlierOnesWhole) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  add_author(author_file(6, 150'000));
  const std::size_t document_size =
      scrivel::convert(author_data_, {author, 1, Format::html, Normalization::none, author_path, {}, {}}).document.size();
  const SmallDisk disk("full", document_size * 5 / 2);
  if (!disk.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.error();

  const auto program = start("full", 1);
  ASSERT_TRUE(program->spawned());
  EXPECT_EQ(program->wait(), 1);
  const std::string err = read_file("err.txt");
  std::set<std::string> left = {stem_of(1) + ".html", stem_of(2) + ".html"};
  for (int work = 1; work <= 6; ++work) left.insert(stem_of(work) + ".log");
  EXPECT_EQ(files_in("full"), left);
  expect_whole("full", author_data_);
  // The log has scrivel's message, which names the document alone; the batch names its file.
  for (int work = 3; work <= 6; ++work) {
    const std::string failure = "Cannot open/write to '" + stem_of(work) + ".html'";
    EXPECT_NE(err.find("work " + std::to_string(work) + " failed: Cannot open/write to 'full/" + stem_of(work) + ".html'"),
              std::string::npos) << err;
    EXPECT_NE(read_file("full/" + stem_of(work) + ".log").find(failure), std::string::npos) << work;
  }
  EXPECT_NE(err.find("2 works converted, 0 with warnings, 4 failed"), std::string::npos) << err;
}

// A disk with room for the document and none for its log: the work fails,
// since its log is part of its result, and leaves neither its document nor
// a temporary file behind.
TEST_F(CorpusFaults, ALogWithoutRoomFailsTheWork) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
  add_author(author_file(1, 150'000));
  const std::string document =
      scrivel::convert(author_data_, {author, 1, Format::html, Normalization::none, author_path, {}, {}}).document;
  const std::size_t page = ::sysconf(_SC_PAGESIZE);
  const SmallDisk disk("full", (document.size() + page - 1) / page * page);
  if (!disk.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.error();

  const auto program = start("full", 1);
  ASSERT_TRUE(program->spawned());
  EXPECT_EQ(program->wait(), 1);
  const std::string err = read_file("err.txt");
  EXPECT_NE(err.find("work 1 failed: cannot write full/" + stem_of(1) + ".log: No space left on device"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("0 works converted, 0 with warnings, 1 failed"), std::string::npos) << err;
  EXPECT_EQ(files_in("full"), std::set<std::string>{});
}

// Enough works that the batch is far from done when its first document
// appears; two at a time, so that two are in flight when the signal comes.
constexpr std::size_t batch_works = 32;
constexpr std::size_t batch_work_size = 4 << 20;

// Ctrl-C finishes the works under way, then exits with 130; a batch killed
// outright leaves what it was writing under temporary names only.
TEST_F(CorpusFaults, AStoppedOrKilledBatchLeavesNoPartialDocumentUnderItsName) {
  add_author(author_file(static_cast<int>(batch_works), batch_work_size));
  for (const int signal : {SIGINT, SIGKILL}) {
    SCOPED_TRACE(signal);
    const std::string out = "out" + std::to_string(signal);
    const auto program = start(out, 2);
    ASSERT_TRUE(program->spawned());
    ASSERT_TRUE(first_document_in(out, *program)) << "the batch ended before a signal could stop it:\n"
                                                  << read_file("err.txt");
    program->signal(signal);
    EXPECT_EQ(program->wait(), 128 + signal);
    EXPECT_LT(documents_in(out).size(), batch_works) << "the signal came too late to stop the batch";
    expect_whole(out, author_data_);
    if (signal != SIGINT) continue;
    EXPECT_NE(read_file("err.txt").find("scrivel-corpus: stopped; "), std::string::npos) << read_file("err.txt");
    EXPECT_EQ(temporaries_in(out), std::set<std::string>{});
  }
}

// Every command checks that its output was written: a list cut short by a
// full disk fails, and says why, instead of passing for a whole one.
TEST_F(CorpusFaults, OutputThatCannotBeWrittenFailsTheCommand) {
  add_author(author_file(2, 1000));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"list", "--corpus", "corpus"}, {"authors", "--corpus", "corpus", "--json"}, {"--version"}, {"--help"}}) {
    SCOPED_TRACE(args[0]);
    Program program(args, "err.txt", "/dev/full");
    ASSERT_TRUE(program.spawned());
    EXPECT_EQ(program.wait(), 1);
    EXPECT_EQ(read_file("err.txt"), "scrivel-corpus: cannot write to standard output: No space left on device\n");
  }
}

// Threads that cannot be made cost speed, not the batch: under a limit of
// one process, every work is converted on the program's own thread.
TEST_F(CorpusFaults, ABatchWithoutThreadsIsConvertedWhole) {
  if (::geteuid() != 0) GTEST_SKIP() << "running as another user under a process limit needs root";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers make threads of their own, which the process limit refuses";
#endif
  add_author(author_file(4, 2000));
  fs::permissions(".", fs::perms::all, fs::perm_options::add);
  fs::permissions("corpus", fs::perms::all, fs::perm_options::add);
  fs::create_directories("out");
  fs::permissions("out", fs::perms::all, fs::perm_options::add);
  // A copy that nobody can reach: the build may stand in a home folder that only root can enter.
  fs::copy_file(SCRIVEL_CORPUS_PROGRAM, "scrivel-corpus");
  fs::permissions("scrivel-corpus", fs::perms::all, fs::perm_options::add);
  Program program({"convert", "--corpus", "corpus", "--format", "html", "--out", "out", "--jobs", "4"}, "err.txt",
                  "/dev/null", true, fs::absolute("scrivel-corpus"));
  ASSERT_TRUE(program.spawned());
  EXPECT_EQ(program.wait(), 0) << read_file("err.txt");
  EXPECT_EQ(documents_in("out").size(), 4u);
  expect_whole("out", author_data_);
}

// The search index is written aside and takes its name whole: a build
// killed at any point leaves the earlier index as it was and searchable,
// and searches run while a build goes on. The next build clears what a
// killed one left.
TEST_F(CorpusFaults, AKilledIndexBuildLeavesTheEarlierIndexSearchable) {
  add_author(author_file(1, 1 << 16));
  ASSERT_EQ(run_corpus({"index", "--corpus", "corpus", "--db", "index.sqlite"}).status, 0);
  const std::vector<std::string> count = {"search", "--db", "index.sqlite", "--count", "μηνιν"};
  const Outcome before = run_corpus(count);
  ASSERT_EQ(before.status, 0) << before.err;
  add_author(author_file(8, 2 << 20));
  Program stopped({"index", "--corpus", "corpus", "--db", "index.sqlite", "--jobs", "2"}, "err.txt");
  while (stopped.running() && temporaries_in(".").empty()) std::this_thread::sleep_for(1ms);
  stopped.signal(SIGINT);
  EXPECT_EQ(stopped.wait(), 128 + SIGINT);
  EXPECT_NE(read_file("err.txt").find("stopped; index.sqlite is left as it was"), std::string::npos)
      << read_file("err.txt");
  EXPECT_EQ(run_corpus(count).out, before.out);
  EXPECT_EQ(temporaries_in("."), std::set<std::string>{});
  for (const std::uintmax_t written : {std::uintmax_t{0}, std::uintmax_t{1} << 20, std::uintmax_t{8} << 20}) {
    SCOPED_TRACE(written);
    // What the build before left: the next build clears it, which the end checks.
    for (const std::string& name : temporaries_in(".")) fs::remove(name);
    Program program({"index", "--corpus", "corpus", "--db", "index.sqlite", "--jobs", "2"}, "err.txt");
    ASSERT_TRUE(program.spawned());
    bool grown = false;
    while (!grown && program.running()) {
      std::error_code gone;  // the build may remove it between the two looks
      for (const std::string& name : temporaries_in("."))
        grown = grown || (fs::file_size(name, gone) >= written && !gone);
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(grown) << "the build ended before it could be killed: " << read_file("err.txt");
    for (int search = 0; search < 2; ++search) EXPECT_EQ(run_corpus(count).out, before.out);
    program.signal(SIGKILL);
    EXPECT_EQ(program.wait(), 128 + SIGKILL);
    EXPECT_EQ(run_corpus(count).out, before.out);
  }
  ASSERT_EQ(run_corpus({"index", "--corpus", "corpus", "--db", "index.sqlite"}).status, 0);
  EXPECT_NE(run_corpus(count).out, before.out);
  EXPECT_EQ(temporaries_in("."), std::set<std::string>{});
}

}  // namespace
}  // namespace scrivel::testing
