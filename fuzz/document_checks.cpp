#include "document_checks.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace scrivel::checks {
namespace {

constexpr std::string_view rtf_heading = "{\\rtf1";
constexpr std::string_view html_heading = "<html>\n";
constexpr std::string_view html_ending = "\n</body>\n</html>\n";
constexpr std::string_view tsv_header = "urn\tcitation\ttext\n";
constexpr std::string_view urn = "urn:cts:greekLit:tlg";
constexpr std::size_t head_kept = std::max({rtf_heading.size(), html_heading.size(), tsv_header.size()});
constexpr std::size_t tail_kept = html_ending.size();

// A document is checked a word at a time: most of its words are ASCII, and
// few hold a brace or a backslash.
constexpr std::uint64_t ones = 0x0101010101010101, highs = 0x8080808080808080;

// The eight bytes at `s`, the first in the lowest bits.
std::uint64_t word_at(const char* s) {
  std::uint64_t word;
  std::memcpy(&word, s, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}
bool ascii(std::uint64_t word) { return (word & highs) == 0; }
// The high bit of each byte of `word` that is `ch`, and no other bit.
std::uint64_t marks_of(std::uint64_t word, char ch) {
  const std::uint64_t x = word ^ (ones * static_cast<unsigned char>(ch));
  return ~(((x & ~highs) + ~highs) | x) & highs;
}
std::string at_byte(std::uint64_t at) { return " at byte " + std::to_string(at); }

}  // namespace

void DocumentCheck::take(std::string_view bytes) {
  if (head_.size() < head_kept) head_.append(bytes.substr(0, head_kept - head_.size()));
  tail_.append(bytes.substr(bytes.size() - std::min(bytes.size(), tail_kept)));
  if (tail_.size() > tail_kept) tail_.erase(0, tail_.size() - tail_kept);
  switch (format_) {
    case Format::rtf: take_braces(bytes); break;
    case Format::tsv: take_records(bytes); [[fallthrough]];
    case Format::html:
    case Format::text: take_utf8(bytes); break;
  }
  size_ += bytes.size();
}

// A sequence is refused at its first byte that cannot follow: the ranges
// of the second byte leave out overlong forms, surrogates and values past
// U+10FFFF. The state is kept in locals, which ASan does not check at each use.
void DocumentCheck::take_utf8(std::string_view bytes) {
  if (!utf8_fault_.empty()) return;
  int pending = pending_;
  unsigned char low = low_, high = high_;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    while (pending == 0 && i + 8 <= bytes.size() && ascii(word_at(bytes.data() + i))) i += 8;
    if (i == bytes.size()) break;
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (pending > 0) {
      if (byte < low || byte > high) {
        utf8_fault_ = "not UTF-8" + at_byte(sequence_at_);
        break;
      }
      --pending, low = 0x80, high = 0xBF;
    } else if (byte >= 0x80) {
      sequence_at_ = size_ + i;
      low = 0x80, high = 0xBF;
      if (byte >= 0xC2 && byte <= 0xDF) {
        pending = 1;
      } else if (byte >= 0xE0 && byte <= 0xEF) {
        pending = 2;
        if (byte == 0xE0) low = 0xA0;
        if (byte == 0xED) high = 0x9F;
      } else if (byte >= 0xF0 && byte <= 0xF4) {
        pending = 3;
        if (byte == 0xF0) low = 0x90;
        if (byte == 0xF4) high = 0x8F;
      } else {
        utf8_fault_ = "not UTF-8" + at_byte(sequence_at_);
        break;
      }
    }
  }
  pending_ = pending, low_ = low, high_ = high;
}

// Only the braces and the backslashes count, and any byte after the brace
// that closes the heading's group.
void DocumentCheck::take_braces(std::string_view bytes) {
  if (bytes.empty() || !brace_fault_.empty()) return;
  if (closed_at_) {
    brace_fault_ = "the heading's group closes before the end" + at_byte(*closed_at_);
    return;
  }
  std::int64_t depth = depth_;
  // The escaped character or the control word's first letter, which counts for nothing.
  std::size_t escaped_at = escaped_ ? 0 : std::string_view::npos;
  // Takes the mark at `at`; false at a fault.
  const auto take = [&](std::size_t at) {
    if (at == escaped_at) return true;
    if (bytes[at] == '\\') {
      escaped_at = at + 1;
    } else if (bytes[at] == '{') {
      ++depth;
    } else if (--depth < 0) {
      brace_fault_ = "a brace closes more than is open" + at_byte(size_ + at);
    } else if (depth == 0 && at + 1 < bytes.size()) {
      brace_fault_ = "the heading's group closes before the end" + at_byte(size_ + at);
    } else if (depth == 0) {
      closed_at_ = size_ + at;
    }
    return brace_fault_.empty();
  };
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    const std::uint64_t word = word_at(bytes.data() + at);
    for (std::uint64_t marks = marks_of(word, '{') | marks_of(word, '}') | marks_of(word, '\\'); marks != 0;
         marks &= marks - 1)
      if (!take(at + std::countr_zero(marks) / 8)) return;
  }
  for (; at < bytes.size(); ++at)
    if ((bytes[at] == '{' || bytes[at] == '}' || bytes[at] == '\\') && !take(at)) return;
  depth_ = depth;
  escaped_ = escaped_at == bytes.size();
}

void DocumentCheck::take_records(std::string_view bytes) {
  std::uint64_t at = size_;
  if (at < tsv_header.size()) {
    const std::size_t header = std::min<std::size_t>(bytes.size(), tsv_header.size() - at);
    bytes.remove_prefix(header);
    at += header;
    record_at_ = tsv_header.size();
  }
  while (!bytes.empty() && record_fault_.empty()) {
    const std::size_t end = std::min(bytes.find('\n'), bytes.size());
    const std::string_view part = bytes.substr(0, end);
    for (std::size_t tab = part.find('\t'); tab != std::string_view::npos; tab = part.find('\t', tab + 1)) ++tabs_;
    if (const std::uint64_t into = at - record_at_; into < urn.size()) {
      const std::size_t compared = std::min<std::size_t>(part.size(), urn.size() - into);
      urn_ = urn_ && part.substr(0, compared) == urn.substr(into, compared);
    }
    if (end == bytes.size()) return;
    if (tabs_ != 2) {
      record_fault_ = "a record without three fields" + at_byte(record_at_);
    } else if (!urn_ || at + end - record_at_ < urn.size()) {
      record_fault_ = "a record without a URN" + at_byte(record_at_);
    }
    bytes.remove_prefix(end + 1);
    at += end + 1;
    record_at_ = at, tabs_ = 0, urn_ = true;
  }
}

std::string DocumentCheck::verdict() const {
  const std::string utf8 = pending_ > 0 && utf8_fault_.empty() ? "not UTF-8" + at_byte(sequence_at_) : utf8_fault_;
  switch (format_) {
    case Format::rtf:
      if (!head_.starts_with(rtf_heading)) return "no RTF heading";
      if (!brace_fault_.empty()) return brace_fault_;
      if (depth_ != 0) return std::to_string(depth_) + " group(s) left open";
      return "";
    case Format::html:
      if (!head_.starts_with(html_heading)) return "no HTML heading";
      if (!tail_.ends_with(html_ending)) return "no HTML ending";
      return utf8;
    case Format::text:
      if (!tail_.ends_with('\n')) return "no line feed at the end";
      return utf8;
    case Format::tsv:
      if (!head_.starts_with(tsv_header)) return "no header line";
      if (!tail_.ends_with('\n')) return "no line feed at the end";
      if (!record_fault_.empty()) return record_fault_;
      return utf8;
  }
  return "";
}

std::string check_html(std::string_view document) { return check_document(document, Format::html); }
std::string check_rtf(std::string_view document) { return check_document(document, Format::rtf); }
std::string check_text(std::string_view document) { return check_document(document, Format::text); }
std::string check_tsv(std::string_view document) { return check_document(document, Format::tsv); }

std::string check_document(std::string_view document, Format format) {
  DocumentCheck check(format);
  check.take(document);
  return check.verdict();
}

std::string check_messages(std::string_view messages) {
  if (!messages.empty() && !messages.ends_with('\n')) return "the last message line has no line feed";
  return "";
}

}  // namespace scrivel::checks
