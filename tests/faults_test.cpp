// Damaged and odd author files: every run ends, with its message and exit
// status, and leaves a sound document or none. Damaged inputs that need only
// end soundly are replayed from fuzz/regressions/.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

#include "author_file_builder.h"
#include "conversion.h"
#include "document_checks.h"

namespace scrivel::testing {
namespace {

using authorfile::Bytes;

std::string hex(std::size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%zX", value);
  return text;
}

constexpr std::array<Format, 5> every_format = {Format::rtf, Format::html, Format::text, Format::tsv, Format::tei};

// A document of every format, each sound, and the messages, whatever the run reported.
void expect_sound(const Bytes& file) {
  for (const Format format : every_format) {
    const Conversion conversion = convert(file, format);
    EXPECT_EQ(checks::check_messages(conversion.messages), "");
    if (!conversion.document.empty()) {
      EXPECT_EQ(checks::check_document(conversion.document, format), "") << extension_of(format);
    }
  }
}

TEST(Faults, TruncationAtEveryOffset) {
  // A title, a citation text, signs with numbers, a letter with diacritics,
  // formatting left open, and the file end code: cut anywhere in any of them.
  const Bytes whole = authorfile::single_work(
      "~[EF 82 C1 C2 FF]~[z 1 ytext Prol line 12]*)/ANDRA %14 $1 [12 \"3 ~[89 8C E2]W(=|~[BF F4 FF B1]LOGOS");
  std::size_t data = whole.size();
  while (whole[data - 1] == 0) --data;
  ASSERT_EQ(whole[data - 1], 0xFE);
  for (std::size_t length = 0; length < data; ++length) {
    SCOPED_TRACE(length);
    const Bytes cut(whole.begin(), whole.begin() + length);
    const Conversion html = convert(cut, Format::html);
    expect_sound(cut);
    EXPECT_EQ(html.outcome.status, 1);
    if (length < 12) {
      EXPECT_EQ(html.outcome.reports.fatal_error, 1);
      EXPECT_EQ(html.outcome.reports.fatal_message, "Error 001: Unexpected data, count=7");
      EXPECT_TRUE(html.document.empty());
    } else {
      EXPECT_EQ(html.outcome.reports.fatal_error, 4);
      EXPECT_EQ(html.outcome.reports.fatal_message, "Error 004: unexpected end of file, offset:" + hex(length - 1));
      EXPECT_TRUE(html.messages.ends_with("Error 004: unexpected end of file, offset:" + hex(length - 1) +
                                          "\n1 blocks were read\n"));
    }
  }
  const Conversion whole_work = convert(Bytes(whole.begin(), whole.begin() + data), Format::html);
  EXPECT_EQ(whole_work.outcome.status, 0);
  EXPECT_FALSE(whole_work.outcome.reports.ended_early());
}

TEST(Faults, ABlockOfNothingButItsEndAndPadding) {
  Bytes file = authorfile::Builder(1).work(1).unit("A").unit(std::string(8177, 'B')).unit("C").finish();
  ASSERT_EQ(file.size(), 2 * authorfile::block_size);
  Bytes empty_block(authorfile::block_size, 0);
  empty_block[0] = 0xFE;
  file.insert(file.begin() + authorfile::block_size, empty_block.begin(), empty_block.end());
  const Conversion html = convert(file, Format::html);
  EXPECT_EQ(html.outcome.status, 0);
  EXPECT_EQ(notes_of(html.messages), "Error 101: block expected after FE block, count=2000\n");
  EXPECT_TRUE(body_of(html.document, Format::html).ends_with("\xCE\xB2\xCE\xBE"));  // ...beta, then xi
}

// Long words whose letters take the slow path (J, and a vowel with a mark
// that no precomposed letter carries) fill and refill the document's buffer
// in the middle of a word: each word comes out as the first one does.
TEST(Faults, WordsOfLettersWithoutAPrecomposedFormAcrossBuffers) {
  for (const Format format : {Format::html, Format::rtf, Format::text}) {
    for (const int words : {1, 9, 70, 600}) {
      SCOPED_TRACE(std::string(extension_of(format)) + " " + std::to_string(words));
      const std::string word = "JE=*A=IJ ";
      std::string text, expected;
      const std::string one = body_of(convert(authorfile::single_work(word), format).document, format);
      for (int i = 0; i < words; ++i) text += word, expected += one;
      EXPECT_EQ(body_of(convert(authorfile::single_work(text), format).document, format), expected);
    }
  }
}

}  // namespace
}  // namespace scrivel::testing
