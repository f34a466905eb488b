// Author files of one awkward pattern repeated for a megabyte: each converts
// to a sound, complete document with the messages the pattern calls for.
// The time limit of these tests (10 s, set in CMakeLists.txt) stands guard
// over linear time: a quadratic scan or an unbounded buffer would blow it by
// far. bench/pathological.py measures the times themselves.

#include "pathological.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "conversion.h"
#include "document_checks.h"

namespace scrivel::testing {
namespace {

using authorfile::Bytes;

// 1 MiB, not the benchmark's 4: in the sanitizer build the costliest
// patterns (a reference written for each 0x90, a warning for each byte)
// took 2 to 4.5 s at 1 MiB on a busy 2-core machine, four times that at
// 4 MiB, and the limit is there to catch time that grows faster than the
// input, not a slow build.
constexpr std::size_t size = 1 << 20;

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

std::string_view view(const Bytes& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// The lines of the messages between the "reading" line and the closing
// blocks line, as views: a million of them are read in a moment.
std::vector<std::string_view> notes_in(std::string_view messages) {
  std::vector<std::string_view> lines;
  for (std::size_t end = messages.find('\n'); end != std::string_view::npos; end = messages.find('\n')) {
    lines.push_back(messages.substr(0, end));
    messages.remove_prefix(end + 1);
  }
  if (!lines.empty() && lines.front().starts_with("reading ")) lines.erase(lines.begin());
  if (!lines.empty() && lines.back().ends_with(" blocks were read")) lines.pop_back();
  return lines;
}

std::ptrdiff_t lines_not_starting(const std::vector<std::string_view>& lines, std::string_view start) {
  return std::ranges::count_if(lines, [&](std::string_view line) { return !line.starts_with(start); });
}

// The bytes of the works' content: each block's, between its headers and its end code.
std::size_t content_bytes(const Bytes& file) {
  constexpr std::size_t headers = 13;
  std::size_t bytes = 0;
  for (std::size_t block = 0; block < file.size(); block += authorfile::block_size) {
    const auto content = file.begin() + static_cast<std::ptrdiff_t>(block + headers);
    const auto end = std::find_if(content, file.begin() + static_cast<std::ptrdiff_t>(block + authorfile::block_size),
                                  [](unsigned char c) { return c == 0xFE || c == 0xF0; });
    bytes += static_cast<std::size_t>(end - content);
  }
  return bytes;
}

// Each pattern, of about the size asked lest it time nothing, into a TEI
// edition, whose markup the reading formats do not share: sound, with whole
// message lines. An eighth of the size: each z increment opens a division
// of its own, 90 MB of edition for the megabyte, 10 s in the sanitizer
// build for a quarter.
class EveryPattern : public ::testing::TestWithParam<pathological::Pattern> {};

TEST_P(EveryPattern, IsOfTheSizeAskedAndMakesASoundEdition) {
  const Bytes file = GetParam().build(size / 8);
  EXPECT_GE(file.size(), size / 8 - size / 160);
  EXPECT_LE(file.size(), size / 8 + size / 160);
  const Conversion result = convert(file, Format::tei, 1, GetParam().work);
  EXPECT_EQ(result.outcome.status, 0);
  EXPECT_EQ(checks::check_messages(result.messages), "");
  EXPECT_EQ(checks::check_document(result.document, Format::tei), "");
}

INSTANTIATE_TEST_SUITE_P(All, EveryPattern, ::testing::ValuesIn(pathological::patterns()),
                         [](const ::testing::TestParamInfo<pathological::Pattern>& info) {
                           std::string name(info.param.name);
                           std::ranges::replace(name, '-', '_');
                           return name;
                         });

// Each pattern once in each reading format.
class Pathological : public ::testing::TestWithParam<Format> {
 protected:
  bool in_rtf() const { return GetParam() == Format::rtf; }

  // Converts `work` of `file`, and checks what every run must leave: status
  // 0, whole message lines, a sound document with its heading and ending.
  Conversion convert_soundly(const Bytes& file, int work = 1) const {
    Conversion result = convert(file, GetParam(), 1, work);
    EXPECT_EQ(result.outcome.status, 0);
    EXPECT_EQ(checks::check_messages(result.messages), "");
    EXPECT_EQ(in_rtf() ? checks::check_rtf(result.document) : checks::check_html(result.document), "");
    EXPECT_FALSE(body(result).starts_with("(no heading or no ending"));
    return result;
  }
  std::string body(const Conversion& conversion) const { return body_of(conversion.document, GetParam()); }
  // The body that `content` converts to as a work of its own.
  std::string body_alone(std::string_view content) const {
    return body(convert(authorfile::single_work(content), GetParam()));
  }
  std::string_view reference_blanks() const { return in_rtf() ? "\\~\\~\\~" : "&nbsp;&nbsp;&nbsp;"; }
};

INSTANTIATE_TEST_SUITE_P(BothFormats, Pathological, ::testing::Values(Format::html, Format::rtf),
                         [](const ::testing::TestParamInfo<Format>& info) {
                           return std::string(extension_of(info.param).substr(1));
                         });

// The stack of open effects holds 256: the rest of each 300 are refused,
// each with its message, and what was written is all closed again by "$".
TEST_P(Pathological, NestedEffectsBeforeEachVerse) {
  const Bytes file = pathological::nested_effects(size);
  const Conversion result = convert_soundly(file);
  const std::size_t verses = count(view(file), pathological::nested_verse);
  const std::vector<std::string_view> notes = notes_in(result.messages);
  EXPECT_EQ(notes.size(), verses * (pathological::nesting - 256));
  EXPECT_EQ(lines_not_starting(notes, "Error: `commands' overflow, offset:"), 0);
  const std::string text = body(result);
  EXPECT_EQ(count(text, body_alone(pathological::nested_verse)), verses);
  // RTF's groups are checked with its braces; HTML's elements are counted.
  if (in_rtf()) return;
  for (const auto& [opening, closing] :
       {std::pair{"<b>", "</b>"}, std::pair{"<sup>", "</sup>"}, std::pair{"<sub>", "</sub>"},
        std::pair{"<small>", "</small>"}, std::pair{"<span", "</span>"}}) {
    EXPECT_EQ(count(text, opening), count(text, closing)) << opening;
  }
}

TEST_P(Pathological, CitationTextsOf255CharactersAtEveryLine) {
  const Bytes file = pathological::citation_texts(size);
  const Conversion result = convert_soundly(file);
  EXPECT_EQ(notes_of(result.messages), "");
  const auto text = [](char first) {
    std::string t;
    for (std::size_t i = 0; i < pathological::citation_text_length; ++i) t += static_cast<char>(first + i % 26);
    return t;
  };
  // Built by appending: `"literal" + std::string` trips a false -Wrestrict in g++ 12.
  std::string reference = "[";
  for (const std::string& part : {text('a'), std::string("."), text('A'), std::string(".1"), text('a')})
    reference += part;
  reference += "]";
  EXPECT_EQ(count(result.document, reference), count(view(file), "\xAF"));
}

// Each 0x90 writes a line with its reference; the last one names the last
// run's length and one, for the code before the run that set z to 1.
TEST_P(Pathological, RunsOfAMillionZIncrements) {
  const Bytes file = pathological::z_increments(size);
  const Conversion result = convert_soundly(file);
  EXPECT_EQ(notes_of(result.messages), "");
  const std::string_view bytes = view(file);
  const std::string text = body(result);
  // Every code writes one reference: each run starts a block of its own,
  // so no 0x91 is read along with the 0x90 before it.
  EXPECT_EQ(count(text, reference_blanks()), count(bytes, "\x90") + count(bytes, "\x91"));
  std::string last_reference = "[";
  last_reference += std::to_string(count(bytes.substr(bytes.rfind('\x91')), "\x90") + 1);
  last_reference += "]";
  last_reference += reference_blanks();
  EXPECT_TRUE(text.ends_with(last_reference)) << text.substr(text.size() - 40);
}

// The sign takes three digits, a fourth with Error 100, and shows the
// number it cannot name; the rest of the digits is text.
TEST_P(Pathological, SignsWithANumberOfAMillionDigits) {
  const Bytes file = pathological::long_numbers(size);
  const Conversion result = convert_soundly(file);
  std::vector<std::size_t> digits;
  for (const unsigned char c : file) {
    if (c == '%') digits.push_back(0);
    if (c == '1') ++digits.back();
  }
  const std::vector<std::string_view> notes = notes_in(result.messages);
  ASSERT_EQ(notes.size(), 2 * digits.size());
  std::string expected;
  const std::string sign = body_alone("%11111");
  for (std::size_t i = 0; i < digits.size(); ++i) {
    ASSERT_GE(digits[i], 5u);
    EXPECT_TRUE(notes[2 * i].starts_with("Error 100: after `%', offset:")) << notes[2 * i];
    EXPECT_TRUE(notes[2 * i + 1].starts_with("Warning 003: Not supported punctuation mark `%1111', offset:"))
        << notes[2 * i + 1];
    expected += sign;
    expected.append(digits[i] - 5, '1');
  }
  EXPECT_TRUE(body(result) == expected);
}

// Diacritics wait for a letter that never comes; the small vowel at the end
// drops them all.
TEST_P(Pathological, DiacriticsWithoutALetter) {
  const Conversion result = convert_soundly(pathological::lone_diacritics(size));
  EXPECT_EQ(notes_of(result.messages), "");
  EXPECT_EQ(body(result), body_alone("A"));
}

TEST_P(Pathological, TheLastOfAThousandShortWorks) {
  const Conversion result = convert_soundly(pathological::thousand_works(size), 999);
  EXPECT_TRUE(result.messages.starts_with("reading tlg0001.txt work 999\n"));
  EXPECT_EQ(notes_of(result.messages), "");
  EXPECT_EQ(body(result), body_alone(pathological::thousand_works_word(999)));
}

TEST_P(Pathological, AWarningForEveryByte) {
  const Bytes file = pathological::warning_per_byte(size);
  const Conversion result = convert_soundly(file);
  const std::vector<std::string_view> notes = notes_in(result.messages);
  EXPECT_EQ(notes.size(), content_bytes(file));
  EXPECT_EQ(lines_not_starting(notes, "Warning 20"), 0);
}

}  // namespace
}  // namespace scrivel::testing
