#include "document_checks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace scrivel::checks {
namespace {

constexpr std::string_view rtf_heading = "{\\rtf1";
constexpr std::string_view html_heading = "<html>\n";
constexpr std::string_view html_ending = "\n</body>\n</html>\n";
constexpr std::string_view tsv_header = "urn\tcitation\ttext\n";
constexpr std::string_view urn = "urn:cts:greekLit:tlg";
constexpr std::string_view tei_heading = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr std::string_view tei_ending = "</TEI>\n";
constexpr std::size_t head_kept =
    std::max({rtf_heading.size(), html_heading.size(), tsv_header.size(), tei_heading.size()});
constexpr std::size_t tail_kept = std::max(html_ending.size(), tei_ending.size());

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

// XML 1.0 holds no control character but the blanks, of which TEI documents
// use only the line feed, and no DEL.
bool control(unsigned char byte) { return (byte < 0x20 && byte != '\n') || byte == 0x7F; }
// Whether the byte ends a run of plain text: markup, or a control character.
bool ends_text(char ch) { return control(static_cast<unsigned char>(ch)) || ch == '<' || ch == '>' || ch == '&'; }
// The same for each byte of `word`: the high bit of each that does, and no other bit.
std::uint64_t text_ends(std::uint64_t word) {
  const std::uint64_t below_blank = ~(((word & ~highs) + ones * (0x80 - 0x20)) | word) & highs;
  return (below_blank & ~marks_of(word, '\n')) | marks_of(word, 0x7F) | marks_of(word, '<') | marks_of(word, '>') |
         marks_of(word, '&');
}

constexpr std::array<std::string_view, 5> entities = {"&lt;", "&gt;", "&amp;", "&quot;", "&nbsp;"};
constexpr std::size_t longest_entity = 6;
// XML knows the first four; HTML, whose blanks after a reference are no-break
// ones, knows the fifth too.
// A plain loop: a document of millions of entities is checked in the
// sanitizers' unoptimised build too.
bool begins_entity(std::string_view text, bool html = false) {
  for (std::size_t i = 0; i < (html ? entities.size() : entities.size() - 1); ++i) {
    const std::string_view entity = entities[i];
    if (text.size() >= entity.size() && std::memcmp(text.data(), entity.data(), entity.size()) == 0) return true;
  }
  return false;
}
// HTML's elements that have no end tag.
bool void_element(std::string_view name) { return name == "br" || name == "meta"; }

bool name_start(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_'; }
bool name_part(char ch) { return name_start(ch) || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.'; }
bool blank(char ch) { return ch == ' ' || ch == '\n'; }
std::size_t past_blanks(std::string_view tag, std::size_t at) {
  while (blank(tag[at])) ++at;
  return at;
}
// The name that starts at `at` ("" when none does); `at` moves past it. The
// documents declare no namespace prefix, so a name's only colon is that of
// xml:, the prefix bound without one.
std::string_view take_name(std::string_view tag, std::size_t& at) {
  std::size_t end = tag.substr(at).starts_with("xml:") ? at + 4 : at;
  if (!name_start(tag[end])) return {};
  while (name_part(tag[++end])) {
  }
  const std::string_view name = tag.substr(at, end - at);
  at = end;
  return name;
}

// An element's tag, from its `<` to its `>`, as far as it is well formed.
struct Tag {
  enum class Kind { start, end, empty } kind = Kind::start;
  std::string_view name = {};
  std::string_view fault = {};  // "" when well formed
  std::size_t fault_at = 0;
};

// Whether an attribute from `at` to `end`, where the tag's attributes are
// well formed, is named `name`.
bool named_before(std::string_view tag, std::size_t at, std::size_t end, std::string_view name) {
  while ((at = past_blanks(tag, at)) < end) {
    if (take_name(tag, at) == name) return true;
    at = tag.find('"', tag.find('"', at) + 1) + 1;
  }
  return false;
}

// The attributes of a start or empty tag, from `at` to the tag's `>`: each
// after a blank, named once, its value in double quotes, without a `<` or a
// stray `&`.
Tag read_attributes(std::string_view tag, std::size_t at, Tag read) {
  const std::size_t first = at;
  for (;;) {
    const std::size_t next = past_blanks(tag, at);
    if (next == tag.size() - 1) return read;
    if (tag.substr(next) == "/>") {
      read.kind = Tag::Kind::empty;
      return read;
    }
    if (next == at) return {.fault = "an attribute without a blank before it", .fault_at = at};
    at = next;
    const std::string_view name = take_name(tag, at);
    if (name.empty()) return {.fault = "an attribute without a name", .fault_at = at};
    if (named_before(tag, first, next, name)) return {.fault = "an attribute given twice", .fault_at = next};
    at = past_blanks(tag, at);
    if (tag[at] != '=') return {.fault = "an attribute without a value", .fault_at = at};
    at = past_blanks(tag, at + 1);
    if (tag[at] != '"') return {.fault = "an attribute value without double quotes", .fault_at = at};
    const std::size_t close = tag.find('"', at + 1);
    if (close == std::string_view::npos) return {.fault = "an attribute value left open", .fault_at = at};
    const std::string_view value = tag.substr(at + 1, close - at - 1);
    if (const std::size_t lt = value.find('<'); lt != std::string_view::npos)
      return {.fault = "a < in an attribute value", .fault_at = at + 1 + lt};
    for (std::size_t amp = value.find('&'); amp != std::string_view::npos; amp = value.find('&', amp + 1))
      if (!begins_entity(value.substr(amp))) return {.fault = "a & that begins no entity", .fault_at = at + 1 + amp};
    at = close + 1;
  }
}

Tag read_tag(std::string_view tag) {
  for (std::size_t at = 0; at < tag.size(); ++at)
    if (control(static_cast<unsigned char>(tag[at]))) return {.fault = "a control character", .fault_at = at};
  Tag read;
  std::size_t at = 1;
  if (tag[at] == '/') read.kind = Tag::Kind::end, ++at;
  read.name = take_name(tag, at);
  if (read.name.empty()) return {.fault = "a tag without an element name", .fault_at = at};
  if (read.kind != Tag::Kind::end) return read_attributes(tag, at, read);
  if (past_blanks(tag, at) != tag.size() - 1) return {.fault = "an end tag that does not parse", .fault_at = at};
  return read;
}

}  // namespace

void DocumentCheck::take(std::string_view bytes) {
  if (head_.size() < head_kept) head_.append(bytes.substr(0, head_kept - head_.size()));
  tail_.append(bytes.substr(bytes.size() - std::min(bytes.size(), tail_kept)));
  if (tail_.size() > tail_kept) tail_.erase(0, tail_.size() - tail_kept);
  switch (format_) {
    case Format::rtf: take_braces(bytes); break;
    case Format::tsv: take_records(bytes); [[fallthrough]];
    case Format::text: take_utf8(bytes); break;
    case Format::html:
    case Format::tei:
      take_markup(bytes);
      take_utf8(bytes);
      break;
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

// The markup is followed a byte at a time, but plain text a word at a time.
void DocumentCheck::take_markup(std::string_view bytes) {
  std::size_t at = 0;
  while (at < bytes.size() && xml_fault_.empty()) {
    if (markup_.empty()) {
      at = take_text(bytes, at);
    } else if (markup_[0] == '<') {
      at = take_tag(bytes, at);
    } else {
      at = take_entity(bytes, at);
    }
  }
}

// Takes text up to the first byte that ends it, and that byte; returns
// where the text or markup after it starts.
std::size_t DocumentCheck::take_text(std::string_view bytes, std::size_t at) {
  for (; at + 8 <= bytes.size(); at += 8)
    if (const std::uint64_t ends = text_ends(word_at(bytes.data() + at)); ends != 0) {
      at += std::countr_zero(ends) / 8;
      break;
    }
  while (at < bytes.size() && !ends_text(bytes[at])) ++at;
  if (at == bytes.size()) return at;
  if (bytes[at] == '<' || bytes[at] == '&') {
    markup_at_ = size_ + at;
    // Markup that these bytes hold whole is taken as it stands, which most
    // is; what a buffer's end cuts is gathered in markup_.
    const std::size_t end = bytes[at] == '<' ? bytes.find('>', at) : bytes.substr(0, at + longest_entity).find(';', at);
    if (end == std::string_view::npos) {
      markup_ = bytes[at];
    } else if (bytes[at] == '<') {
      take_element(bytes.substr(at, end + 1 - at));
    } else {
      take_entity_whole(bytes.substr(at, end + 1 - at));
    }
    return end == std::string_view::npos ? at + 1 : end + 1;
  } else if (bytes[at] == '>') {
    xml_fault_ = "a > outside a tag" + at_byte(size_ + at);
  } else if (format_ != Format::html) {  // HTML's text keeps a control character as it stands
    xml_fault_ = "a control character" + at_byte(size_ + at);
  }
  return at + 1;
}

std::size_t DocumentCheck::take_tag(std::string_view bytes, std::size_t at) {
  const std::size_t end = bytes.find('>', at);
  markup_.append(bytes.substr(at, end == std::string_view::npos ? end : end + 1 - at));
  if (end == std::string_view::npos) return bytes.size();
  take_element(markup_);
  markup_.clear();
  return end + 1;
}

// An entity is taken to its `;`, or to as many bytes as the longest holds.
std::size_t DocumentCheck::take_entity(std::string_view bytes, std::size_t at) {
  while (at < bytes.size() && markup_.size() < longest_entity && markup_.back() != ';') markup_ += bytes[at++];
  if (markup_.size() < longest_entity && markup_.back() != ';') return at;
  take_entity_whole(markup_);
  markup_.clear();
  return at;
}

void DocumentCheck::take_entity_whole(std::string_view entity) {
  if (!begins_entity(entity, format_ == Format::html)) xml_fault_ = "a & that begins no entity" + at_byte(markup_at_);
}

// Processing instructions (the XML declaration, which the heading holds, and
// the schema's xml-model) stand before the root; an end tag closes the
// element opened last, and a start or empty tag outside every element opens
// the root, of which there is one.
void DocumentCheck::take_element(std::string_view tag) {
  if (tag.starts_with("<?")) {
    if (rooted_) xml_fault_ = "a processing instruction after the start" + at_byte(markup_at_);
    return;
  }
  const Tag read = read_tag(tag);
  if (!read.fault.empty()) {
    xml_fault_ = std::string(read.fault) + at_byte(markup_at_ + read.fault_at);
  } else if (read.kind == Tag::Kind::end) {
    if (open_.empty() || open_.back() != read.name) {
      xml_fault_ = "an end tag that closes no open element" + at_byte(markup_at_);
    } else {
      open_.pop_back();
    }
  } else if (open_.empty() && rooted_) {
    xml_fault_ = "a second root element" + at_byte(markup_at_);
  } else if (!rooted_ && format_ == Format::tei && read.name != "TEI") {
    xml_fault_ = "a root element other than TEI" + at_byte(markup_at_);
  } else {
    rooted_ = true;
    if (read.kind == Tag::Kind::start && !(format_ == Format::html && void_element(read.name)))
      open_.emplace_back(read.name);
  }
}

std::string DocumentCheck::verdict() const {
  const std::string utf8 = pending_ > 0 && utf8_fault_.empty() ? "not UTF-8" + at_byte(sequence_at_) : utf8_fault_;
  const std::string markup = !xml_fault_.empty() ? xml_fault_
                             : open_.empty()     ? ""
                                                 : std::to_string(open_.size()) +
                                                       " element(s) left open, the innermost " + open_.back();
  switch (format_) {
    case Format::rtf:
      if (!head_.starts_with(rtf_heading)) return "no RTF heading";
      if (!brace_fault_.empty()) return brace_fault_;
      if (depth_ != 0) return std::to_string(depth_) + " group(s) left open";
      return "";
    case Format::html:
      if (!head_.starts_with(html_heading)) return "no HTML heading";
      if (!tail_.ends_with(html_ending)) return "no HTML ending";
      return markup.empty() ? utf8 : markup;
    case Format::text:
      if (!tail_.ends_with('\n')) return "no line feed at the end";
      return utf8;
    case Format::tsv:
      if (!head_.starts_with(tsv_header)) return "no header line";
      if (!tail_.ends_with('\n')) return "no line feed at the end";
      if (!record_fault_.empty()) return record_fault_;
      return utf8;
    case Format::tei:
      if (!head_.starts_with(tei_heading)) return "no TEI heading";
      if (!tail_.ends_with(tei_ending)) return "no TEI ending";
      return markup.empty() ? utf8 : markup;
  }
  return "";
}

std::string check_html(std::string_view document) { return check_document(document, Format::html); }
std::string check_rtf(std::string_view document) { return check_document(document, Format::rtf); }
std::string check_text(std::string_view document) { return check_document(document, Format::text); }
std::string check_tsv(std::string_view document) { return check_document(document, Format::tsv); }
std::string check_tei(std::string_view document) { return check_document(document, Format::tei); }

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
