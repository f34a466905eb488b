#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "corpus/corpus.h"
#include "corpus/options.h"
#include "catalogue.h"
#include "output/format.h"

namespace scrivel::corpus {

// One work to convert, and the size of its data for the progress line.
struct Job {
  int author = 0;
  int work = 0;
  std::string path;  // of the author file, as the messages name it
  std::uint64_t bytes = 0;
  WorkNames names;  // what the tables name, for a TEI edition
};

// What every conversion of a batch shares.
struct BatchSettings {
  Format format = Format::rtf;
  Normalization normalization = Normalization::none;
  TeiChoices tei;  // for every TEI edition
  Layout layout = Layout::flat;
  std::string config_note;  // printed before each work's messages
  std::filesystem::path out;
  int jobs = 1;
};

struct BatchSummary {
  int converted = 0;
  int with_warnings = 0;
  int failed = 0;
  int not_started = 0;      // left when a signal stopped the batch
  int unnamed_groups = 0;   // text groups whose __cts__.xml could not be written
  std::uint64_t bytes = 0;  // of the works done
};

// The line on a terminal that says how far a batch is: works and bytes
// done, the rate and the time left, rewritten in place.
class Progress {
 public:
  Progress(Console& console, std::uint64_t works, std::uint64_t bytes);
  void work_done(std::uint64_t bytes);
  // Clears the line, before a message or at the end.
  void finish();

 private:
  Console& console_;
  std::uint64_t works_;
  std::uint64_t works_done_ = 0;
  double bytes_;
  double bytes_done_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A file's temporary name beside its own: hidden, told apart from those of
// another process that writes into the same directory by the process's
// number, and where that name is taken by a count after it.
std::filesystem::path temporary_name(const std::filesystem::path& final_path, int attempt = 0);

// Removes the temporary files that runs killed outright left in
// `directory`: those `names` matches, whose first group is the process's
// number (at most 9 digits), of a process that is gone. Returns how many.
int remove_stale_temporaries(const std::filesystem::path& directory, const std::regex& names);

// Calls `each` for 0 to count - 1, `jobs` calls at a time (fewer where
// threads cannot be made), until `stop` is set.
void in_parallel(std::size_t count, int jobs, const std::atomic<int>& stop,
                 const std::function<void(std::size_t)>& each);

// Converts the jobs, `settings.jobs` at a time, each with state of its own.
// A document is written under a temporary name and takes its own only when
// it is whole; each work's messages go into svA_W.log in the out directory.
// A failed work is named on the console's standard error and leaves no
// document. Once the console's stop is set no job starts; those under way
// finish. In the CapiTainS layout each work's __cts__.xml follows its
// edition, and every author's after the batch, where any of their works has
// an edition in the tree.
BatchSummary convert_batch(const std::vector<Job>& jobs, const BatchSettings& settings, Console& console);

// Names on `err` what an earlier run wrote into the out directory for works
// that an author file converted whole no longer holds (`works_now`: each
// such author's works): their documents, logs and, in the CapiTainS layout,
// folders are left as they stand, but a tree that no longer matches the
// corpus does not go unseen.
void name_files_of_missing_works(const std::map<int, std::set<int>>& works_now, const BatchSettings& settings,
                                 std::ostream& err);

}  // namespace scrivel::corpus
