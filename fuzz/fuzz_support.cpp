#include "fuzz_support.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "document_checks.h"
#include "input/byte_source.h"
#include "input/id_data.h"
#include "input/work_list.h"
#include "scrivel.h"

namespace scrivel::fuzzing {
namespace {

// Memory that grows and is never cleared nor given back: the documents of
// all the conversions are written into it in turn.
class Room {
 public:
  char* data() { return bytes_.get(); }
  // Makes room for `wanted` bytes, keeping the first `kept`.
  void make(std::size_t wanted, std::size_t kept) {
    if (wanted <= size_) return;
    const std::size_t size = std::max(wanted, 2 * size_);
    auto grown = std::make_unique_for_overwrite<char[]>(size);
    std::copy_n(bytes_.get(), kept, grown.get());
    bytes_ = std::move(grown);
    size_ = size;
  }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
};

// Lends the room, the least that a document may be lent at a time: once the
// room has grown to the largest document yet, writing a document allocates
// and clears nothing, and the documents cross as many buffer ends as they can.
class ReusedOutput : public OutputFile {
 public:
  ReusedOutput(Room& room, std::size_t& length) : room_(room), length_(length) {}
  std::span<char> next_buffer(std::size_t used) override {
    length_ += used;
    room_.make(length_ + min_lent, length_);
    return {room_.data() + length_, min_lent};
  }
  bool close(std::size_t used) override {
    length_ += used;
    return true;
  }

 private:
  Room& room_;
  std::size_t& length_;
};

// The documents and messages of the conversions, kept from one conversion to
// the next. Nothing is read: the author file is handed in directly.
class ReusedFiles : public FileSystem {
 public:
  std::optional<std::string> read_text(const std::string&) override { return std::nullopt; }
  std::unique_ptr<InputFile> open_input(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> create_output(const std::string&) override {
    return std::make_unique<ReusedOutput>(room_, length_);
  }

  // Converts into `format`; "" when the document and the messages are sound.
  std::string fault_of(std::string_view file, int work, Format format) {
    MemoryInput input(file);
    length_ = 0;
    messages_.str({});
    convert(input, {1, work, format, default_normalization(format), "tlg0001.txt"}, *this, messages_);
    std::string fault = checks::check_messages(messages_.view());
    if (!fault.empty() || length_ == 0) return fault;
    const std::string_view document(room_.data(), length_);
    return checks::check_document(document, format);
  }

 private:
  Room room_;
  std::size_t length_ = 0;  // of the document written last; 0 when the run wrote none
  std::ostringstream messages_;
};

// The work number that the three bytes after the EF 81 at `mark` carry.
int number_after(std::string_view file, std::size_t mark) {
  return id::work_number(reinterpret_cast<const unsigned char*>(file.data() + mark + 2));
}

// Where the work search finds the header of `work` in `file`, as a
// conversion would start from it; nothing when it does not find it.
std::optional<std::uint64_t> search(std::string_view file, int work) {
  MemoryInput input(file);
  std::ostringstream ignored;
  Messages messages(ignored);
  try {
    ByteSource source(input, messages);
    if (source.find_work(work)) return source.offset() + std::uint64_t{1};
  } catch (const FatalExit&) {
  }
  return std::nullopt;
}

// The numbers that an EF 81 and the three bytes after it carry, wherever
// they stand, and 1: more than the search can find, since it looks only
// inside a block and past the author header.
std::set<int> numbers_to_ask(std::string_view file) {
  std::set<int> numbers{1};
  constexpr char escape = static_cast<char>(id::escape);
  for (std::size_t mark = file.find(escape); mark != std::string_view::npos && mark + 4 < file.size();
       mark = file.find(escape, mark + 1)) {
    if (static_cast<unsigned char>(file[mark + 1]) == id::work_code) numbers.insert(number_after(file, mark));
  }
  return numbers;
}

std::string named(int work) { return "work " + std::to_string(work); }

// "" when the list names each work once, in the order of their headers, and
// no work's data reach past the file's end.
std::string list_fault(const WorkList& list, std::uint64_t file_size) {
  std::set<int> seen;
  for (std::size_t i = 0; i < list.works.size(); ++i) {
    const ListedWork& work = list.works[i];
    if (work.header + work.bytes > file_size) return named(work.work) + " reaches past the file's end";
    if (i > 0 && work.header <= list.works[i - 1].header) return named(work.work) + " is out of order";
    if (!seen.insert(work.work).second) return named(work.work) + " is listed twice";
  }
  return "";
}

}  // namespace

std::string_view as_text(const unsigned char* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

int first_work_number(std::string_view file) { return file.size() < 12 ? 1 : number_after(file, 7); }

authorfile::Bytes lay_out_content(std::string_view content) {
  authorfile::Builder builder(1);
  builder.work(1);
  std::size_t start = 0;
  for (std::size_t end = content.find('\n'); end != std::string_view::npos;
       start = end + 1, end = content.find('\n', start)) {
    builder.raw(authorfile::Bytes(content.begin() + start, content.begin() + end));
  }
  builder.raw(authorfile::Bytes(content.begin() + start, content.end()));
  return builder.finish();
}

constexpr std::array<Format, 4> every_format = {Format::rtf, Format::html, Format::text, Format::tsv};
constexpr std::array<std::string_view, 4> format_names = {"rtf: ", "html: ", "text: ", "tsv: "};

std::string conversion_fault(std::string_view file, int work, Format format) {
  static ReusedFiles files;
  const std::string fault = files.fault_of(file, work, format);
  return fault.empty() ? fault : std::string(format_names[static_cast<int>(format)]) + fault;
}

std::string conversion_fault(std::string_view file, int work) {
  for (const Format format : every_format)
    if (std::string fault = conversion_fault(file, work, format); !fault.empty()) return fault;
  return "";
}

Format fuzzed_format(std::string_view file) {
  return every_format[std::hash<std::string_view>{}(file) % every_format.size()];
}

std::string listing_fault(std::string_view data) {
  const std::unique_ptr<char[]> exact = std::make_unique_for_overwrite<char[]>(data.size());
  std::copy(data.begin(), data.end(), exact.get());
  const std::string_view file(exact.get(), data.size());

  const WorkList list = list_works(file);
  if (std::string fault = list_fault(list, file.size()); !fault.empty()) return fault;
  std::map<int, std::uint64_t> listed;
  for (const ListedWork& work : list.works) listed.emplace(work.work, work.header);
  for (const int work : numbers_to_ask(file)) {
    const std::optional<std::uint64_t> found = search(file, work);
    const auto entry = listed.find(work);
    if (found && entry == listed.end()) return named(work) + " is found but not listed";
    if (!found && entry != listed.end()) return named(work) + " is listed but not found";
    if (found && entry->second != *found)
      return named(work) + " is listed at " + std::to_string(entry->second) + " but found at " + std::to_string(*found);
  }
  return "";
}

}  // namespace scrivel::fuzzing
