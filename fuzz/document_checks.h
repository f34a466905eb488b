// What every conversion must leave behind, whatever its input: a well-formed
// document and messages of whole lines.
#pragma once

#include <string>
#include <string_view>

#include "output/format.h"

namespace scrivel::checks {

// Each returns "" when the rule holds, else what is wrong.

// Valid UTF-8 from the heading to the document ending.
std::string check_html(std::string_view document);
// The braces that are not escaped balance, never close more than is open,
// and the last one closes the heading's group at the document's end.
std::string check_rtf(std::string_view document);
// Valid UTF-8 that ends with a line feed.
std::string check_text(std::string_view document);
// Valid UTF-8: the header line, then records of three fields whose first is
// a CTS URN of the work, each ended by a line feed.
std::string check_tsv(std::string_view document);
// The rule of the document's format.
std::string check_document(std::string_view document, Format format);
// Every line of the messages ends with a line feed.
std::string check_messages(std::string_view messages);

}  // namespace scrivel::checks
