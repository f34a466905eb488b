#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace scrivel {
namespace {

class DiskInput : public InputFile {
 public:
  explicit DiskInput(std::FILE* file) : file_(file) {
    // Unbuffered: the work search reads 32 bytes of each block it walks, and
    // a stream buffer would pull in whole pages instead.
    std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  ~DiskInput() override { std::fclose(file_); }
  DiskInput(const DiskInput&) = delete;
  DiskInput& operator=(const DiskInput&) = delete;

  bool seek(std::uint64_t offset) override {
    return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
  }
  std::size_t read(unsigned char* dest, std::size_t n) override {
    return std::fread(dest, 1, n, file_);
  }

 private:
  std::FILE* file_;
};

constexpr std::size_t disk_buffer_size = 1 << 20;

// The bytes of an open file, up to `largest_text` and one more; nothing,
// with the reason, when a read fails or the file has grown past that.
std::optional<std::string> read_all(int descriptor, std::string& why) {
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(descriptor, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      return std::nullopt;
    }
    if (n == 0) return text;
    text.append(chunk, static_cast<std::size_t>(n));
    if (text.size() > largest_text) {
      why = "larger than " + std::to_string(largest_text >> 20) + " MiB";
      return std::nullopt;
    }
  }
}

// Flushes and closes `file`; false when that or an earlier write failed.
bool close_file(std::FILE* file, bool failed) {
  if (std::fflush(file) != 0 || std::ferror(file)) failed = true;
  if (std::fclose(file) != 0) failed = true;
  return !failed;
}

// Writes each buffer as it comes back, from the calling thread.
class DiskOutput : public OutputFile {
 public:
  explicit DiskOutput(std::FILE* file) : file_(file) {}
  ~DiskOutput() override { close(0); }
  DiskOutput(const DiskOutput&) = delete;
  DiskOutput& operator=(const DiskOutput&) = delete;

  std::span<char> next_buffer(std::size_t used) override {
    write(used);
    return {buffer_.get(), disk_buffer_size};
  }
  bool close(std::size_t used) override {
    if (!file_) return !failed_;
    write(used);
    const bool closed = close_file(file_, failed_);
    file_ = nullptr;
    failed_ = !closed;
    return closed;
  }

 private:
  void write(std::size_t used) {
    if (used > 0 && std::fwrite(buffer_.get(), 1, used, file_) != used) failed_ = true;
  }

  std::FILE* file_;
  bool failed_ = false;
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(disk_buffer_size);
};

// Writes from a thread of its own: the document fills one buffer while the
// other is written. One write is in flight at a time; the buffer it writes
// is lent again only once it has finished.
class BackgroundDiskOutput : public OutputFile {
 public:
  explicit BackgroundDiskOutput(std::FILE* file) : file_(file), writer_([this] { write_in_turn(); }) {}
  ~BackgroundDiskOutput() override { close(0); }
  BackgroundDiskOutput(const BackgroundDiskOutput&) = delete;
  BackgroundDiskOutput& operator=(const BackgroundDiskOutput&) = delete;

  std::span<char> next_buffer(std::size_t used) override {
    hand_over(used);
    filling_ = filling_ == buffers_.get() ? buffers_.get() + disk_buffer_size : buffers_.get();
    return {filling_, disk_buffer_size};
  }
  bool close(std::size_t used) override {
    if (!writer_.joinable()) return !failed_;
    hand_over(used);
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return pending_ == nullptr; });
      closing_ = true;
      changed_.notify_all();
    }
    writer_.join();
    const bool closed = close_file(file_, failed_);
    failed_ = !closed;
    return closed;
  }

 private:
  // Waits for the last write to finish, then gives the writer the bytes just filled.
  void hand_over(std::size_t used) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    if (used == 0) return;
    pending_ = filling_;
    pending_size_ = used;
    changed_.notify_all();
  }

  void write_in_turn() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return pending_ != nullptr || closing_; });
      if (pending_ == nullptr) return;
      lock.unlock();
      const bool written = std::fwrite(pending_, 1, pending_size_, file_) == pending_size_;
      lock.lock();
      if (!written) failed_ = true;
      pending_ = nullptr;
      changed_.notify_all();
    }
  }

  std::FILE* file_;
  std::unique_ptr<char[]> buffers_ = std::make_unique_for_overwrite<char[]>(2 * disk_buffer_size);
  char* filling_ = buffers_.get() + disk_buffer_size;  // the buffer lent last; the first call lends the other
  bool failed_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  const char* pending_ = nullptr;  // the bytes the writer is to write, until it has
  std::size_t pending_size_ = 0;
  bool closing_ = false;
  std::thread writer_;  // last: it starts once the members it uses exist
};

// Lends the string's own room, a little at a time, so that a small
// document costs a small allocation.
class MemoryOutput : public OutputFile {
 public:
  explicit MemoryOutput(std::string& data) : data_(data) {}
  std::span<char> next_buffer(std::size_t used) override {
    length_ += used;
    const std::size_t room = std::max(min_lent, length_);
    data_.resize(length_ + room);
    return {data_.data() + length_, room};
  }
  bool close(std::size_t used) override {
    data_.resize(length_ + used);
    return true;
  }

 private:
  std::string& data_;
  std::size_t length_ = 0;  // bytes taken
};

}  // namespace

bool MemoryInput::seek(std::uint64_t offset) {
  position_ = offset;
  return true;
}

std::size_t MemoryInput::read(unsigned char* dest, std::size_t n) {
  if (position_ >= data_.size()) return 0;
  const std::size_t available = std::min<std::uint64_t>(n, data_.size() - position_);
  std::memcpy(dest, data_.data() + position_, available);
  position_ += available;
  return available;
}

std::vector<std::string> FileSystem::names_in(const std::string&) { return {}; }

RegularFile open_regular_file(const std::string& path) {
  RegularFile file;
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat status {};
  if (descriptor < 0 || ::fstat(descriptor, &status) != 0) {
    file.why = std::strerror(errno);
    file.missing = errno == ENOENT;
  } else if (!S_ISREG(status.st_mode)) {
    file.why = S_ISDIR(status.st_mode) ? "a directory" : S_ISFIFO(status.st_mode) ? "a FIFO" : "not a regular file";
  } else {
    file.descriptor = descriptor;
    file.size = static_cast<std::uint64_t>(status.st_size);
    return file;
  }
  if (descriptor >= 0) ::close(descriptor);
  return file;
}

// Reading stops past `largest_text`, whatever size the file claims.
FileText DiskFiles::read_text(const std::string& name) {
  const RegularFile file = open_regular_file(name);
  if (file.descriptor < 0) return {std::nullopt, file.missing ? "" : file.why};
  FileText read;
  read.text = read_all(file.descriptor, read.why);
  ::close(file.descriptor);
  return read;
}

std::vector<std::string> DiskFiles::names_in(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(directory.empty() ? "." : directory, error), end;
       !error && entry != end; entry.increment(error))
    names.push_back(entry->path().filename().string());
  return names;
}

std::unique_ptr<InputFile> DiskFiles::open_input(const std::string& path) {
  // A directory opens for reading on some systems and then reads nothing.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;
  return std::make_unique<DiskInput>(file);
}

std::unique_ptr<OutputFile> DiskFiles::output_to(int descriptor) {
  std::FILE* file = ::fdopen(descriptor, "w");
  if (!file) {
    ::close(descriptor);
    return nullptr;
  }
  if (writing_ == Writing::in_turn) return std::make_unique<DiskOutput>(file);
  return std::make_unique<BackgroundDiskOutput>(file);
}

std::unique_ptr<OutputFile> DiskFiles::create_output(const std::string& name) {
  const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return descriptor < 0 ? nullptr : output_to(descriptor);
}

FileText MemoryFiles::read_text(const std::string& name) {
  const auto found = inputs.find(name);
  if (found == inputs.end()) return {};
  return {found->second, ""};
}

std::vector<std::string> MemoryFiles::names_in(const std::string& directory) {
  std::string start = directory == "." ? "" : directory;
  if (!start.empty() && !start.ends_with('/')) start += '/';
  std::vector<std::string> names;
  for (const auto& [path, text] : inputs)
    if (path.starts_with(start) && path.find('/', start.size()) == std::string::npos)
      names.push_back(path.substr(start.size()));
  return names;
}

std::unique_ptr<InputFile> MemoryFiles::open_input(const std::string& path) {
  const auto found = inputs.find(path);
  if (found == inputs.end()) return nullptr;
  return std::make_unique<MemoryInput>(found->second);
}

std::unique_ptr<OutputFile> memory_output(std::string& data) {
  return std::make_unique<MemoryOutput>(data);
}

std::unique_ptr<OutputFile> MemoryFiles::create_output(const std::string& name) {
  return memory_output(outputs[name]);
}

}  // namespace scrivel
