// The bundled sample, converted whole and compared with reviewed copies of
// its documents, so that any change to the output shows in a diff.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "author_file_builder.h"
#include "conversion.h"

namespace scrivel::testing {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), {}};
}

authorfile::Bytes sample() {
  const std::string text = read_file(SCRIVEL_SAMPLE_DIR "/tlg0012.txt");
  return {text.begin(), text.end()};
}

TEST(Sample, IsBuiltFromItsSource) {
  EXPECT_EQ(sample(), authorfile::build(read_file(SCRIVEL_SAMPLE_DIR "/tlg0012.src")));
}

TEST(Sample, ConvertsToTheReviewedDocuments) {
  for (const Format format : {Format::html, Format::rtf, Format::text, Format::tsv, Format::tei}) {
    for (const int work : {1, 2}) {
      const std::string name = "sv12_" + std::to_string(work) + std::string(extension_of(format));
      SCOPED_TRACE(name);
      const Conversion result = convert(sample(), format, 12, work);
      EXPECT_EQ(result.outcome.status, 0);
      EXPECT_EQ(notes_of(result.messages), "");
      EXPECT_EQ(result.document, read_file(SCRIVEL_EXPECTED_DIR "/" + name));
    }
  }
}

}  // namespace
}  // namespace scrivel::testing
