#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace scrivel {

// An author file, read in blocks.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Positions the next read at `offset`; false when positioning fails.
  virtual bool seek(std::uint64_t offset) = 0;
  // Reads up to `n` bytes from the current position; returns how many were read.
  virtual std::size_t read(unsigned char* dest, std::size_t n) = 0;
};

// A document being written. The writer fills buffers that the file lends:
// each call takes the first `used` bytes of the buffer lent last.
class OutputFile {
 public:
  // Every buffer lent has room for at least this many bytes: what the text
  // of a whole block may become, so that the decoder takes a block's run of
  // letters without counting its room.
  static constexpr std::size_t min_lent = 128 * 1024;

  virtual ~OutputFile() = default;
  // Takes the bytes used (0 at the first call, when nothing was lent yet)
  // and lends the next buffer.
  virtual std::span<char> next_buffer(std::size_t used) = 0;
  // Takes the bytes used, then flushes and closes; false when any write or
  // the close failed.
  virtual bool close(std::size_t used) = 0;
};

// A small file's whole text, or why there is none.
struct FileText {
  std::optional<std::string> text;
  std::string why;  // without text: "" when the file is missing, else the reason
};

// The largest file read whole as text (scrivel.cfg, a table of the corpus).
// A table lists authors or the works of one author file, some hundred
// kilobytes at most; a file of gigabytes in a table's place is no table,
// and holding it whole could exhaust the memory.
inline constexpr std::size_t largest_text = 16 << 20;

// A regular file opened for reading, or why it could not be: opened without
// blocking, so that a FIFO in its place cannot hold the run in open(), and
// refused when it is no regular file ("a directory", "a FIFO").
struct RegularFile {
  int descriptor = -1;  // to be closed by the caller; -1 when not opened
  std::uint64_t size = 0;
  std::string why;       // when not opened
  bool missing = false;  // not opened since nothing stands under the name
};
RegularFile open_regular_file(const std::string& path);

// Everything a run reads or creates: scrivel.cfg, the author file, the
// corpus's tables, the document.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The whole text of a regular file of at most `largest_text` bytes.
  virtual FileText read_text(const std::string& name) = 0;
  // The names of the files in `directory` ("" the current one), so that a
  // file can be found whatever the case of its name; none where it cannot
  // be listed, as in a file system that only takes documents.
  virtual std::vector<std::string> names_in(const std::string& directory);
  // Null when the file cannot be opened for reading.
  virtual std::unique_ptr<InputFile> open_input(const std::string& path) = 0;
  // Null when the file cannot be created.
  virtual std::unique_ptr<OutputFile> create_output(const std::string& name) = 0;
};

// The real files, relative to the current directory. A document's bytes go
// to the disk from a thread of their own (`background`), so that the
// decoder fills the next buffer while the last one is written, or from the
// calling thread, which the benchmark compares.
class DiskFiles : public FileSystem {
 public:
  enum class Writing { background, in_turn };
  explicit DiskFiles(Writing writing = Writing::background) : writing_(writing) {}

  FileText read_text(const std::string& name) override;
  std::vector<std::string> names_in(const std::string& directory) override;
  std::unique_ptr<InputFile> open_input(const std::string& path) override;
  std::unique_ptr<OutputFile> create_output(const std::string& name) override;
  // A document written to a file already open for writing, which it closes.
  std::unique_ptr<OutputFile> output_to(int descriptor);

 private:
  Writing writing_;
};

// An author file held in memory.
class MemoryInput : public InputFile {
 public:
  explicit MemoryInput(std::string_view data) : data_(data) {}
  bool seek(std::uint64_t offset) override;
  std::size_t read(unsigned char* dest, std::size_t n) override;

 private:
  std::string_view data_;
  std::uint64_t position_ = 0;
};

// A document held in memory: `data` receives its bytes, whole once closed.
std::unique_ptr<OutputFile> memory_output(std::string& data);

// Files held in memory, so that a whole run needs no disk: `inputs` holds
// scrivel.cfg, author files and tables by path ("corpus/tlg0005.txt"; a
// directory is what stands before the last "/"), `outputs` receives the
// documents.
class MemoryFiles : public FileSystem {
 public:
  std::map<std::string, std::string> inputs;
  std::map<std::string, std::string> outputs;

  FileText read_text(const std::string& name) override;
  std::vector<std::string> names_in(const std::string& directory) override;
  std::unique_ptr<InputFile> open_input(const std::string& path) override;
  std::unique_ptr<OutputFile> create_output(const std::string& name) override;
};

}  // namespace scrivel
