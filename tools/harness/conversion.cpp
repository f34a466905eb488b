#include "conversion.h"

#include <cstdio>
#include <sstream>

#include "scrivel.h"

namespace scrivel::testing {

std::string to_string(const authorfile::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

Conversion convert(const authorfile::Bytes& author_file, const std::string& format, int author, int work) {
  char path[32];
  std::snprintf(path, sizeof path, "tlg%04d.txt", author);
  return scrivel::convert(to_string(author_file), {author, work, format == "rtf" ? 1 : 0, path});
}

std::string body_of(const std::string& document, bool rtf) {
  const std::string start = rtf ? "\\uc1\\pard\\f0\\fs24\n" : "\n<body>\n";
  const std::string end = rtf ? "}" : "\n</body>\n</html>\n";
  const std::size_t from = document.find(start);
  if (from == std::string::npos || !document.ends_with(end)) return "(no heading or no ending in: " + document + ")";
  const std::size_t body = from + start.size();
  return document.substr(body, document.size() - end.size() - body);
}

std::string notes_of(const std::string& messages) {
  std::istringstream lines(messages);
  std::string notes;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("reading ") || line.ends_with(" blocks were read")) continue;
    notes += line + "\n";
  }
  return notes;
}

}  // namespace scrivel::testing
