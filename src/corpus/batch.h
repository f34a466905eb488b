#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "corpus/corpus.h"
#include "output/format.h"

namespace scrivel::corpus {

// One work to convert, and the size of its data for the progress line.
struct Job {
  int author = 0;
  int work = 0;
  std::string path;  // of the author file, as the messages name it
  std::uint64_t bytes = 0;
};

// What every conversion of a batch shares.
struct BatchSettings {
  Format format = Format::rtf;
  Normalization normalization = Normalization::none;
  std::string config_note;  // printed before each work's messages
  std::filesystem::path out;
  int jobs = 1;
};

struct BatchSummary {
  int converted = 0;
  int with_warnings = 0;
  int failed = 0;
  int not_started = 0;      // left when a signal stopped the batch
  std::uint64_t bytes = 0;  // of the works done
};

// Calls `each` for 0 to count - 1, `jobs` calls at a time (fewer where
// threads cannot be made), until `stop` is set.
void in_parallel(std::size_t count, int jobs, const std::atomic<int>& stop,
                 const std::function<void(std::size_t)>& each);

// Converts the jobs, `settings.jobs` at a time, each with state of its own.
// A document is written under a temporary name and takes its own only when
// it is whole; each work's messages go into svA_W.log beside it. A failed
// work is named on the console's standard error and leaves no document.
// Once the console's stop is set no job starts; those under way finish.
BatchSummary convert_batch(const std::vector<Job>& jobs, const BatchSettings& settings, Console& console);

}  // namespace scrivel::corpus
