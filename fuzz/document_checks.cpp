#include "document_checks.h"

namespace scrivel::checks {
namespace {

// Length of the UTF-8 sequence at `s`, of which `available` bytes remain, or
// 0 when it is not one (overlong forms, surrogates and values past U+10FFFF
// included). A pointer rather than a view: it is called for every character
// of every fuzzed document.
std::size_t utf8_sequence(const unsigned char* s, std::size_t available) {
  const unsigned char lead = s[0];
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned min, code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (available < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (s[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

std::string check_utf8(std::string_view document) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(document.data());
  for (std::size_t at = 0; at < document.size();) {
    const std::size_t length = utf8_sequence(bytes + at, document.size() - at);
    if (length == 0) return "not UTF-8 at byte " + std::to_string(at);
    at += length;
  }
  return "";
}

// "" when the record holds three fields and a URN of the work.
std::string check_record(std::string_view record, std::size_t at) {
  const std::size_t first_tab = record.find('\t');
  const std::size_t second_tab = record.find('\t', first_tab + 1);
  if (first_tab == std::string_view::npos || second_tab == std::string_view::npos ||
      record.find('\t', second_tab + 1) != std::string_view::npos)
    return "a record without three fields at byte " + std::to_string(at);
  if (!record.starts_with("urn:cts:greekLit:tlg")) return "a record without a URN at byte " + std::to_string(at);
  return "";
}

}  // namespace

std::string check_html(std::string_view document) {
  if (!document.starts_with("<html>\n")) return "no HTML heading";
  if (!document.ends_with("\n</body>\n</html>\n")) return "no HTML ending";
  return check_utf8(document);
}

std::string check_text(std::string_view document) {
  if (!document.ends_with('\n')) return "no line feed at the end";
  return check_utf8(document);
}

std::string check_tsv(std::string_view document) {
  constexpr std::string_view header = "urn\tcitation\ttext\n";
  if (!document.starts_with(header)) return "no header line";
  if (!document.ends_with('\n')) return "no line feed at the end";
  for (std::size_t at = header.size(); at < document.size();) {
    const std::size_t end = document.find('\n', at);
    if (std::string fault = check_record(document.substr(at, end - at), at); !fault.empty()) return fault;
    at = end + 1;
  }
  return check_utf8(document);
}

std::string check_rtf(std::string_view document) {
  if (!document.starts_with("{\\rtf1")) return "no RTF heading";
  int depth = 0;
  for (std::size_t at = 0; at < document.size(); ++at) {
    switch (document[at]) {
      case '\\':
        ++at;  // the escaped character or the control word's first letter
        break;
      case '{': ++depth; break;
      case '}':
        if (--depth < 0) return "a brace closes more than is open at byte " + std::to_string(at);
        if (depth == 0 && at + 1 != document.size())
          return "the heading's group closes before the end at byte " + std::to_string(at);
        break;
      default: break;
    }
  }
  if (depth != 0) return std::to_string(depth) + " group(s) left open";
  return "";
}

std::string check_document(std::string_view document, Format format) {
  switch (format) {
    case Format::rtf: return check_rtf(document);
    case Format::html: return check_html(document);
    case Format::text: return check_text(document);
    case Format::tsv: return check_tsv(document);
  }
  return "";
}

std::string check_messages(std::string_view messages) {
  if (!messages.empty() && !messages.ends_with('\n')) return "the last message line has no line feed";
  return "";
}

}  // namespace scrivel::checks
