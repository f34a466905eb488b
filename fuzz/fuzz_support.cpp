#include "fuzz_support.h"

#include <algorithm>

#include "document_checks.h"
#include "conversion.h"

namespace scrivel::fuzzing {

int first_work_number(const authorfile::Bytes& file) {
  if (file.size() < 12) return 1;
  return 100 * file[9] + 10 * file[10] + file[11] - 111 * 0xB0;
}

authorfile::Bytes lay_out_content(const authorfile::Bytes& content) {
  authorfile::Builder builder(1);
  builder.work(1);
  auto start = content.begin();
  for (auto end = std::find(start, content.end(), '\n'); end != content.end();
       start = end + 1, end = std::find(start, content.end(), '\n')) {
    builder.raw(authorfile::Bytes(start, end));
  }
  builder.raw(authorfile::Bytes(start, content.end()));
  return builder.finish();
}

std::string conversion_fault(const authorfile::Bytes& file, int work) {
  for (const std::string format : {"html", "rtf"}) {
    const testing::Conversion result = testing::convert(file, format, 1, work);
    std::string fault = checks::check_messages(result.messages);
    if (fault.empty() && !result.document.empty())
      fault = format == "html" ? checks::check_html(result.document) : checks::check_rtf(result.document);
    if (!fault.empty()) return format + ": " + fault;
  }
  return "";
}

}  // namespace scrivel::fuzzing
