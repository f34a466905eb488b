#include "fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include <sanitizer/asan_interface.h>

#include "catalogue.h"
#include "document_checks.h"
#include "input/author_table.h"
#include "input/byte_source.h"
#include "input/id_data.h"
#include "input/id_table.h"
#include "input/work_list.h"
#include "scrivel.h"

namespace scrivel::fuzzing {
namespace {

// `data` in an allocation of exactly its size, so that ASan reports any read
// past its end.
class ExactCopy {
 public:
  explicit ExactCopy(std::string_view data)
      : bytes_(std::make_unique_for_overwrite<char[]>(data.size())), size_(data.size()) {
    std::copy(data.begin(), data.end(), bytes_.get());
  }
  std::string_view view() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
};

// Two buffers of exactly the least loan, lent in turn, so that a document
// crosses as many buffer ends as it can. A buffer handed back is poisoned
// until it is lent again: ASan reports a write through a pointer that
// outlived its loan, which on disk would race the thread writing the buffer.
class Buffers {
 public:
  std::span<char> lend() {
    lent_ = 1 - lent_;
    char* buffer = buffers_[lent_].get();
    ASAN_UNPOISON_MEMORY_REGION(buffer, OutputFile::min_lent);
    return {buffer, OutputFile::min_lent};
  }
  // The first `used` bytes of the buffer lent last, which stay readable
  // until `poison_lent`.
  std::string_view lent(std::size_t used) const { return {buffers_[lent_].get(), used}; }
  void poison_lent() { ASAN_POISON_MEMORY_REGION(buffers_[lent_].get(), OutputFile::min_lent); }

 private:
  std::array<std::unique_ptr<char[]>, 2> buffers_ = {std::make_unique_for_overwrite<char[]>(OutputFile::min_lent),
                                                     std::make_unique_for_overwrite<char[]>(OutputFile::min_lent)};
  int lent_ = 0;
};

// Hands each buffer's bytes to the check as the writer hands them back: the
// document is checked whole without being kept, whatever its size.
class CheckedOutput : public OutputFile {
 public:
  CheckedOutput(Buffers& buffers, checks::DocumentCheck& check) : buffers_(buffers), check_(check) {}
  std::span<char> next_buffer(std::size_t used) override {
    hand_back(used);
    lending_ = true;
    return buffers_.lend();
  }
  bool close(std::size_t used) override {
    hand_back(used);
    return true;
  }

 private:
  void hand_back(std::size_t used) {
    if (!lending_) return;  // the first call comes before any loan
    check_.take(buffers_.lent(used));
    buffers_.poison_lent();
    lending_ = false;
  }

  Buffers& buffers_;
  checks::DocumentCheck& check_;
  bool lending_ = false;
};

// The buffers and the message stream of the conversions, kept from one
// conversion to the next. Nothing is read: the author file is handed in directly.
class ReusedFiles : public FileSystem {
 public:
  FileText read_text(const std::string&) override { return {}; }
  std::unique_ptr<InputFile> open_input(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> create_output(const std::string&) override {
    return std::make_unique<CheckedOutput>(buffers_, *check_);
  }

  // Converts into `format`; "" when the document and the messages are sound.
  std::string fault_of(std::string_view file, int work, Format format) {
    MemoryInput input(file);
    // Made and freed within the execution: libFuzzer runs an input again
    // to look for a leak when its allocations and frees differ in number.
    checks::DocumentCheck check(format);
    check_ = &check;
    messages_.str({});
    convert(input, {1, work, format, default_normalization(format), "tlg0001.txt", {}, {}}, *this, messages_);
    std::string fault = checks::check_messages(messages_.view());
    if (!fault.empty() || check.size() == 0) return fault;
    return check.verdict();
  }

 private:
  Buffers buffers_;
  checks::DocumentCheck* check_ = nullptr;  // of the conversion under way
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

// The metadata tables, compared field by field.
bool same(const std::optional<TableFault>& a, const std::optional<TableFault>& b) {
  return a.has_value() == b.has_value() && (!a || (a->offset == b->offset && a->what == b->what));
}
// What a work's own entry says of it.
bool same_place(const IdWork& a, const IdWork& b) { return a.number == b.number && a.block == b.block; }
bool same(const IdWork& a, const IdWork& b) {
  return same_place(a, b) && a.title == b.title && a.level_names == b.level_names;
}
bool same(const AuthorEntry& a, const AuthorEntry& b) {
  return a.file_name == b.file_name && a.name == b.name && a.synonyms == b.synonyms && a.language == b.language;
}
template <class Item>
bool same(const std::vector<Item>& a, const std::vector<Item>& b) {
  return std::ranges::equal(a, b, [](const Item& x, const Item& y) { return same(x, y); });
}
bool same(const IdTable& a, const IdTable& b) {
  return a.author == b.author && a.author_name == b.author_name && same(a.works, b.works) && same(a.fault, b.fault);
}
bool same(const AuthorTable& a, const AuthorTable& b) { return same(a.entries, b.entries) && same(a.fault, b.fault); }

const std::vector<IdWork>& items(const IdTable& table) { return table.works; }
const std::vector<AuthorEntry>& items(const AuthorTable& table) { return table.entries; }

// Whether the works read from a prefix are the whole's first works: the
// prefix's last work may lack the title and level names that follow it.
bool leads(const std::vector<IdWork>& prefix, const std::vector<IdWork>& whole) {
  if (prefix.size() > whole.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (i + 1 < prefix.size() ? !same(prefix[i], whole[i]) : !same_place(prefix[i], whole[i])) return false;
  return true;
}
// An entry is read whole or not at all.
bool leads(const std::vector<AuthorEntry>& prefix, const std::vector<AuthorEntry>& whole) {
  return prefix.size() <= whole.size() &&
         std::equal(prefix.begin(), prefix.end(), whole.begin(),
                    [](const AuthorEntry& a, const AuthorEntry& b) { return same(a, b); });
}

// A work's number is made of digits, its block of two bytes; a table read
// without a fault stopped at its end entry, a zero byte.
std::string content_fault(const IdTable& table, std::string_view input) {
  for (const IdWork& work : table.works)
    if (work.number < 0 || work.block < 0 || work.block > 0xFFFF)
      return named(work.number) + " in block " + std::to_string(work.block) + ": out of range";
  if (!table.fault && input.find('\0') == std::string_view::npos) return "read to its end without an end entry";
  return "";
}

bool holds_a_code(std::string_view text) {
  return std::ranges::any_of(text, [](char ch) { return static_cast<unsigned char>(ch) > 0x7F; });
}

// A file name is the 8 bytes of an entry that does not open with a
// heading's `*`, without the blanks that pad it; a field ends at the first
// byte above 0x7F.
std::string entry_fault(const AuthorEntry& entry) {
  const std::string& file = entry.file_name;
  if (file.size() > 8 || file.ends_with(' ') || file.starts_with('*')) return "a file name \"" + file + "\"";
  if (holds_a_code(entry.name) || holds_a_code(entry.language) || std::ranges::any_of(entry.synonyms, holds_a_code))
    return "entry " + file + " holds a byte above 0x7F";
  return "";
}

// `*END` at an even offset, where an entry or a heading may start.
bool has_an_end(std::string_view input) {
  constexpr std::string_view end = "*END";
  for (std::size_t at = input.find(end); at != std::string_view::npos; at = input.find(end, at + 1))
    if (at % 2 == 0) return true;
  return false;
}

std::string content_fault(const AuthorTable& table, std::string_view input) {
  for (const AuthorEntry& entry : table.entries)
    if (std::string fault = entry_fault(entry); !fault.empty()) return fault;
  if (!table.fault && !has_an_end(input)) return "read to its end without *END";
  return "";
}

// Both readers read a prefix as the whole until they run out of it: what
// they read from it stands first in what they read from the whole, and a
// prefix read to its end without a fault held all that the whole needs.
template <class Table>
std::string prefix_fault(const Table& whole, const Table& prefix, std::size_t cut) {
  const std::string where = " (the first " + std::to_string(cut) + " bytes)";
  if (!leads(items(prefix), items(whole))) return "a prefix reads otherwise than the whole" + where;
  if (!prefix.fault && !same(prefix, whole)) return "a prefix without a fault reads otherwise than the whole" + where;
  return "";
}

// The prefixes read: all but the last byte, and one cut where a hash of the
// input says, so that over many inputs the cuts fall inside every field.
std::array<std::size_t, 2> cuts(std::string_view input) {
  return {input.size() - 1, std::hash<std::string_view>{}(input) % input.size()};
}

template <class Table>
std::string reading_fault(std::string_view input, Table (*read)(std::string_view)) {
  const Table table = read(input);
  if (table.fault && table.fault->offset > input.size()) return "a fault past the input's end: " + table.fault->what;
  if (!same(table, read(input))) return "a second reading differs";
  if (std::string fault = content_fault(table, input); !fault.empty()) return fault;
  if (input.empty()) return "";
  for (const std::size_t cut : cuts(input)) {
    const Table prefix = read(ExactCopy(input.substr(0, cut)).view());
    if (std::string fault = prefix_fault(table, prefix, cut); !fault.empty()) return fault;
  }
  return "";
}

// A reader reports what it cannot read; it never throws.
template <class Table>
std::string checked_reading(std::string_view name, std::string_view input, Table (*read)(std::string_view)) {
  std::string fault;
  try {
    fault = reading_fault(input, read);
  } catch (const std::exception& error) {
    fault = std::string("threw an exception (") + error.what() + ")";
  }
  return fault.empty() ? fault : std::string(name) + ": " + fault;
}

// A corpus directory of the process's own, removed at its end; "" where
// none can be made.
class ScratchCorpus {
 public:
  ScratchCorpus() {
    char name[] = "/tmp/scrivel-fuzz-XXXXXX";
    if (::mkdtemp(name) != nullptr) path_ = std::string(name) + "/";
  }
  ~ScratchCorpus() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchCorpus(const ScratchCorpus&) = delete;
  ScratchCorpus& operator=(const ScratchCorpus&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The catalogue of a corpus whose tables are the input, or a FIFO or a
// directory in their place, as the input's first byte chooses: it must
// neither wait nor throw, and must name a table that it cannot read.
std::string catalogue_fault(std::string_view input) {
  static const ScratchCorpus corpus;
  if (corpus.path().empty()) return "";
  const int kind = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 3;
  for (const char* table : {"authtab.dir", "tlg0001.idt"}) {
    const std::string path = corpus.path() + table;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    if (kind == 0) std::ofstream(path, std::ios::binary) << input;
    if (kind == 1) ::mkfifo(path.c_str(), 0600);
    if (kind == 2) std::filesystem::create_directory(path, ignored);
  }
  int named = 0;
  DiskFiles files;
  try {
    Catalogue(files, corpus.path(), [&named](const std::string&) { ++named; }).names(1, 1);
  } catch (const std::exception& error) {
    return std::string("the catalogue threw an exception (") + error.what() + ")";
  }
  if (kind != 0 && named != 2)
    return "a FIFO or a directory in a table's place was named " + std::to_string(named) + " times, not once each";
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

constexpr std::array<Format, 5> every_format = {Format::rtf, Format::html, Format::text, Format::tsv, Format::tei};
constexpr std::array<std::string_view, 5> format_names = {"rtf: ", "html: ", "text: ", "tsv: ", "tei: "};

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
  const ExactCopy exact(data);
  const std::string_view file = exact.view();

  const WorkList list = list_works(file);
  if (std::string fault = list_fault(list, file.size()); !fault.empty()) return fault;
  std::map<int, std::uint64_t> listed;
  for (const ListedWork& work : list.works) listed.emplace(work.work, work.header);
  // A header whose digits are not digits is left out, though the search finds it.
  const std::set<std::uint64_t> left_out(list.damaged_headers.begin(), list.damaged_headers.end());
  for (const int work : numbers_to_ask(file)) {
    const std::optional<std::uint64_t> found = search(file, work);
    const auto entry = listed.find(work);
    if (found && entry == listed.end()) {
      if (left_out.contains(*found)) continue;
      return named(work) + " is found but not listed";
    }
    if (!found && entry != listed.end()) return named(work) + " is listed but not found";
    if (found && entry->second != *found)
      return named(work) + " is listed at " + std::to_string(entry->second) + " but found at " + std::to_string(*found);
  }
  return "";
}

std::string metadata_fault(std::string_view data) {
  const ExactCopy table(data);
  if (std::string fault = checked_reading("ID table", table.view(), read_id_table); !fault.empty()) return fault;
  if (std::string fault = checked_reading("author table", table.view(), read_author_table); !fault.empty())
    return fault;
  return catalogue_fault(table.view());
}

}  // namespace scrivel::fuzzing
