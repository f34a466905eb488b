#include "input/work_list.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "files.h"
#include "input/byte_source.h"
#include "input/id_data.h"
#include "messages.h"

namespace scrivel {
namespace {

// The numbers of the headers EF 81 d d d that the search can take for a
// work's: those after the author header up to 8186 of a block, all five
// bytes present.
std::set<int> header_numbers(std::string_view file) {
  constexpr std::size_t header = id::work_header_size;
  std::set<int> numbers;
  for (std::size_t block = 0; block < file.size(); block += block_size) {
    const std::string_view data = file.substr(block, block_size);
    const std::size_t last = std::min(data.size() - std::min(data.size(), header - 1), block_size - header);
    for (std::size_t i = data.find(static_cast<char>(id::escape), id::author_header_size); i < last;
         i = data.find(static_cast<char>(id::escape), i + 1)) {
      const auto* bytes = reinterpret_cast<const byte*>(data.data() + i);
      if (bytes[1] == id::work_code) numbers.insert(id::work_number(bytes + 2));
    }
  }
  return numbers;
}

bool opens_with_start_header(std::string_view file) {
  const std::size_t at = id::author_header_size;
  return file.size() >= at + id::work_header_size && static_cast<byte>(file[at]) == id::escape &&
         static_cast<byte>(file[at + 1]) == id::work_code;
}

// Whether nothing but the padding of a block (zeros and blanks) follows
// `from` up to its block's end.
bool only_padding_follows(std::string_view file, std::size_t from) {
  const std::size_t block_end = std::min(file.size(), (from + block_size - 1) / block_size * block_size);
  return file.substr(from, block_end - from).find_first_not_of(std::string_view("\0 ", 2)) == std::string_view::npos;
}

// Where the data of the work whose header stands at `from` end, short of
// `limit`: at the end code F0 FE, which only padding follows. The same two
// bytes can stand inside the data as the operands of a citation code (line
// 14462 is 8B F0 FE), followed by text.
std::uint64_t data_end(std::string_view file, std::uint64_t from, std::uint64_t limit) {
  static constexpr char end_bytes[] = {static_cast<char>(id::file_end), static_cast<char>(id::block_end)};
  constexpr std::string_view end_code(end_bytes, sizeof end_bytes);
  const std::string_view data = file.substr(0, limit);
  for (std::size_t at = data.find(end_code, from); at != std::string_view::npos; at = data.find(end_code, at + 1)) {
    if (only_padding_follows(file, at + end_code.size())) return at;
  }
  return limit;
}

// The work's abbreviation, which its start may carry after its header: the
// escape of level c and a string. Other escapes (a repeated author header)
// may stand between; anything else ends the search.
std::string abbreviation_at(std::string_view file, std::uint64_t header) {
  const auto* bytes = reinterpret_cast<const byte*>(file.data());
  std::size_t at = header + id::work_header_size + 1;
  while (at + 1 < file.size() && bytes[at] == id::escape) {
    const byte code = bytes[at + 1];
    std::size_t end = at + 2;
    while (end < file.size() && bytes[end] != id::string_end) ++end;
    if (code == id::abbreviation_code) {
      std::string abbreviation;
      for (std::size_t i = at + 2; i < end; ++i) abbreviation += id::character_of(bytes[i]);
      return abbreviation;
    }
    at = end + 1;
  }
  return "";
}

// Whether the three bytes after the EF 81 at `header` are digits. The data
// of the work before a damaged header still end at it, since the decoder
// ends a work at a header of another number.
bool has_digits(std::string_view file, std::uint64_t header) {
  const std::string_view digits = file.substr(header + 2, 3);
  return std::ranges::all_of(digits, [](char digit) {
    return static_cast<byte>(digit) >= id::digit_zero && static_cast<byte>(digit) <= id::digit_zero + 9;
  });
}

}  // namespace

WorkList list_works(std::string_view author_file) {
  WorkList list;
  std::set<std::string> errors;
  // A file whose first block lacks its start header fails every search at
  // once: the rest of it, which may be very large, need not be looked at.
  std::set<int> numbers;
  if (opens_with_start_header(author_file)) numbers = header_numbers(author_file);
  // Without a header the search has nothing to find, but it still says what
  // is wrong with the file.
  if (numbers.empty()) numbers.insert(1);
  for (const int work : numbers) {
    MemoryInput input(author_file);
    std::ostringstream out;
    Messages messages(out);
    try {
      ByteSource source(input, messages);
      if (source.find_work(work)) list.works.push_back({work, source.offset() + std::uint64_t{1}, 0, ""});
    } catch (const FatalExit&) {
      errors.insert(out.str());
    }
  }
  std::sort(list.works.begin(), list.works.end(),
            [](const ListedWork& a, const ListedWork& b) { return a.header < b.header; });
  for (std::size_t i = 0; i < list.works.size(); ++i) {
    const std::uint64_t next = i + 1 < list.works.size() ? list.works[i + 1].header : author_file.size();
    list.works[i].bytes = data_end(author_file, list.works[i].header, next) - list.works[i].header;
    list.works[i].abbreviation = abbreviation_at(author_file, list.works[i].header);
  }
  std::erase_if(list.works, [&](const ListedWork& work) {
    if (has_digits(author_file, work.header)) return false;
    list.damaged_headers.push_back(work.header);
    return true;
  });
  for (const std::string& error : errors) list.errors += error;
  return list;
}

}  // namespace scrivel
