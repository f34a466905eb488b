// What every conversion must leave behind, whatever its input: a well-formed
// document and messages of whole lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/format.h"

namespace scrivel::checks {

// Holds a document to the rule of its format as it is written, a buffer at
// a time: it keeps a few bytes of state rather than the document, so that a
// document of any size is checked whole in the same small memory.
class DocumentCheck {
 public:
  explicit DocumentCheck(Format format) : format_(format) {}
  // Takes the document's next bytes.
  void take(std::string_view bytes);
  // "" when the bytes taken, as a whole document, hold the rule, else what
  // is wrong.
  std::string verdict() const;
  // How many bytes were taken.
  std::uint64_t size() const { return size_; }

 private:
  void take_utf8(std::string_view bytes);
  void take_braces(std::string_view bytes);
  void take_records(std::string_view bytes);
  void take_markup(std::string_view bytes);
  std::size_t take_text(std::string_view bytes, std::size_t at);
  std::size_t take_tag(std::string_view bytes, std::size_t at);
  std::size_t take_entity(std::string_view bytes, std::size_t at);
  void take_entity_whole(std::string_view entity);
  void take_element(std::string_view tag);

  Format format_;
  std::uint64_t size_ = 0;  // of the bytes taken
  std::string head_;        // their first bytes, as many as the longest heading
  std::string tail_;        // their last bytes, as many as the longest ending

  // UTF-8: the sequence started at `sequence_at_` still needs `pending_`
  // bytes, the next of them within [low_, high_].
  int pending_ = 0;
  unsigned char low_ = 0, high_ = 0;
  std::uint64_t sequence_at_ = 0;
  std::string utf8_fault_;

  // RTF: the unescaped braces open, whether the next byte is escaped, and
  // where the braces came back to none.
  std::int64_t depth_ = 0;
  bool escaped_ = false;
  std::optional<std::uint64_t> closed_at_;
  std::string brace_fault_;

  // tsv: where the record being taken starts, its tabs so far, and whether
  // its bytes so far agree with a URN of the work.
  std::uint64_t record_at_ = 0;
  std::size_t tabs_ = 0;
  bool urn_ = true;
  std::string record_fault_;

  // TEI and HTML: the elements open, the innermost last; the tag or the entity being
  // taken, from its `<` or `&` on, and where it starts; whether the root
  // element was opened.
  std::vector<std::string> open_;
  std::string markup_;
  std::uint64_t markup_at_ = 0;
  bool rooted_ = false;
  std::string xml_fault_;
};

// Each returns "" when the rule holds, else what is wrong.

// Valid UTF-8 from the heading to the document ending, its elements nested:
// each closed by an end tag in the order opened, but br and meta, which
// have none; the entity nbsp besides XML's.
std::string check_html(std::string_view document);
// The braces that are not escaped balance, never close more than is open,
// and the last one closes the heading's group at the document's end.
std::string check_rtf(std::string_view document);
// Valid UTF-8 that ends with a line feed.
std::string check_text(std::string_view document);
// Valid UTF-8: the header line, then records of three fields whose first is
// a CTS URN of the work, each ended by a line feed.
std::string check_tsv(std::string_view document);
// Valid UTF-8 without control characters but the line feed, from the XML
// declaration (and other processing instructions before the root) and the
// TEI root's start tag to its end tag: well-formed
// elements, attribute values in double quotes, and no `&` but that of the
// entities lt, gt, amp and quot.
std::string check_tei(std::string_view document);
// The rule of the document's format.
std::string check_document(std::string_view document, Format format);
// Every line of the messages ends with a line feed.
std::string check_messages(std::string_view messages);

}  // namespace scrivel::checks
