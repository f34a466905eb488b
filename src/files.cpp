#include "files.h"

#include <algorithm>
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

// The document's bytes go to the disk from a thread of their own, so that
// the decoder fills the next buffer while the last one is written. One write
// is in flight at a time: a new one waits until the last has finished.
class DiskOutput : public OutputFile {
 public:
  explicit DiskOutput(std::FILE* file) : file_(file), writer_([this] { write_in_turn(); }) {}
  ~DiskOutput() override { close(); }
  DiskOutput(const DiskOutput&) = delete;
  DiskOutput& operator=(const DiskOutput&) = delete;

  void write(const char* data, std::size_t n) override {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pending_ == nullptr; });
    pending_ = data;
    pending_size_ = n;
    changed_.notify_all();
  }
  bool close() override {
    if (writer_.joinable()) {
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pending_ == nullptr; });
        closing_ = true;
        changed_.notify_all();
      }
      writer_.join();
    }
    if (file_) {
      if (std::fflush(file_) != 0 || std::ferror(file_)) failed_ = true;
      if (std::fclose(file_) != 0) failed_ = true;
      file_ = nullptr;
    }
    return !failed_;
  }

 private:
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
  bool failed_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  const char* pending_ = nullptr;  // the bytes the writer is to write, until it has
  std::size_t pending_size_ = 0;
  bool closing_ = false;
  std::thread writer_;  // last: it starts once the members it uses exist
};

class MemoryOutput : public OutputFile {
 public:
  explicit MemoryOutput(std::string& data) : data_(data) {}
  void write(const char* data, std::size_t n) override { data_.append(data, n); }
  bool close() override { return true; }

 private:
  std::string& data_;
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

std::optional<std::string> DiskFiles::read_text(const std::string& name) {
  std::FILE* file = std::fopen(name.c_str(), "r");
  if (!file) return std::nullopt;
  std::string text;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  return text;
}

std::unique_ptr<InputFile> DiskFiles::open_input(const std::string& path) {
  // A directory opens for reading on some systems and then reads nothing.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return nullptr;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;
  return std::make_unique<DiskInput>(file);
}

std::unique_ptr<OutputFile> DiskFiles::create_output(const std::string& name) {
  std::FILE* file = std::fopen(name.c_str(), "w");
  if (!file) return nullptr;
  return std::make_unique<DiskOutput>(file);
}

std::optional<std::string> MemoryFiles::read_text(const std::string& name) {
  const auto found = inputs.find(name);
  if (found == inputs.end()) return std::nullopt;
  return found->second;
}

std::unique_ptr<InputFile> MemoryFiles::open_input(const std::string& path) {
  const auto found = inputs.find(path);
  if (found == inputs.end()) return nullptr;
  return std::make_unique<MemoryInput>(found->second);
}

std::unique_ptr<OutputFile> MemoryFiles::create_output(const std::string& name) {
  std::string& document = outputs[name];
  document.clear();
  return std::make_unique<MemoryOutput>(document);
}

}  // namespace scrivel
