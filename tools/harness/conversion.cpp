#include "conversion.h"

#include <array>
#include <cstdio>
#include <sstream>

#include "scrivel.h"

namespace scrivel::testing {

std::string to_string(const authorfile::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

Conversion convert(const authorfile::Bytes& author_file, Format format, int author, int work) {
  char path[32];
  std::snprintf(path, sizeof path, "tlg%04d.txt", author);
  return scrivel::convert(to_string(author_file), {author, work, format, default_normalization(format), path, {}, {}});
}

Conversion convert(const authorfile::Bytes& author_file, Format format, Normalization normalization) {
  return scrivel::convert(to_string(author_file), {1, 1, format, normalization, "tlg0001.txt", {}, {}});
}

std::string body_of(const std::string& document, Format format) {
  // The heading's last line and the ending, by format.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> frames = {{
      {"\\uc1\\pard\\f0\\fs24\n", "}"},
      {"\n<body>\n", "\n</body>\n</html>\n"},
      {"", "\n"},
      {"urn\tcitation\ttext\n", ""},
      {"scrivel-grc1\">\n", "\n    </div>\n  </body></text>\n</TEI>\n"},
  }};
  const auto [start, end] = frames[static_cast<int>(format)];
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
