// The search index's words: their folded and exact forms held to ICU for
// every letter the composer writes, and how lines split into words.
#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <string>
#include <vector>

#include "greek/letters.h"
#include "output/nfc.h"
#include "search/fold.h"

namespace scrivel::search {
namespace {

std::string utf8_of(const NfcForm& form) {
  icu::UnicodeString text;
  for (int i = 0; i < form.length; ++i) text.append(static_cast<UChar32>(form.code_points[i]));
  std::string out;
  return text.toUTF8String(out);
}

// The combining marks that stand for the diacritics, in their bits' order.
constexpr UChar32 marks_by_bit[] = {0x0313, 0x0314, 0x0301, 0x0300, 0x0342, 0x0308, 0x0345};

// ICU's view of a word: NFD, each base letter case-folded, and for the
// exact form the diacritics that follow it.
void icu_forms(const std::string& word, std::string& folded, std::string& exact) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  const icu::UnicodeString decomposed = nfd->normalize(icu::UnicodeString::fromUTF8(word), status);
  ASSERT_TRUE(U_SUCCESS(status));
  folded.clear();
  exact.clear();
  for (int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
    const UChar32 c = decomposed.char32At(i);
    if (u_charType(c) == U_NON_SPACING_MARK) {
      for (int bit = 0; bit < 7; ++bit)
        if (marks_by_bit[bit] == c) exact.back() = static_cast<char>(((exact.back() - 1) | (1 << bit)) + 1);
      continue;
    }
    icu::UnicodeString letter(c);
    std::string base;
    letter.foldCase().toUTF8String(base);
    folded += base;
    exact += base;
    exact += static_cast<char>(1);
  }
}

TEST(Fold, EveryLetterTheComposerWritesFoldsAsIcuFoldsIt) {
  WordSplitter splitter;
  int compared = 0;
  for (int index = 0; index < letter_count; ++index) {
    const std::string letter = utf8_of(nfc_of_letter(index));
    std::string folded, exact;
    icu_forms(letter, folded, exact);
    splitter.split(letter);
    ASSERT_EQ(splitter.words().size(), 1u) << "letter index " << index;
    const Word& word = splitter.words().front();
    ASSERT_EQ(splitter.folded(word), folded) << "letter index " << index << ": " << letter;
    ASSERT_EQ(splitter.exact(word), exact) << "letter index " << index << ": " << letter;
    ++compared;
  }
  EXPECT_EQ(compared, letter_count);
}

struct SplitCase {
  const char* text;
  std::vector<std::string> folded;
  bool broken;
};

TEST(Fold, LinesSplitIntoWords) {
  const SplitCase cases[] = {
      {"μῆνιν ἄειδε θεὰ", {"μηνιν", "αειδε", "θεα"}, false},
      {"οὐλομένην, ἣ μυρί' Ἀχαιοῖς", {"ουλομενην", "η", "μυρι", "αχαιοισ"}, false},
      {"μῆ[νιν] <ἄ>ειδε", {"μηνιν", "αειδε"}, false},
      {"λο\u0301γος λόγοσ ΛΟΓΟΣ", {"λογοσ", "λογοσ", "λογοσ"}, false},
      {"Homerus Epic. 12", {"homerus", "epic", "12"}, false},
      {"ἀνα-", {"ανα"}, true},
      {"ἀνα-  ", {"ανα"}, true},
      {"ἀνα -", {"ανα"}, false},
      {"Πελο-ποννησίων", {"πελο", "ποννησιων"}, false},
      {"\xFF\xC3(λόγος", {"λογοσ"}, false},
      {"", {}, false},
  };
  WordSplitter splitter;
  for (const SplitCase& each : cases) {
    splitter.split(each.text);
    std::vector<std::string> folded;
    for (const Word& word : splitter.words()) folded.emplace_back(splitter.folded(word));
    EXPECT_EQ(folded, each.folded) << each.text;
    EXPECT_EQ(splitter.last_word_broken(), each.broken) << each.text;
  }
}

TEST(Fold, ExactFormsKeepTheMarksWhateverTheNormalization) {
  WordSplitter splitter;
  const auto exact_of = [&](const char* text) {
    splitter.split(text);
    return std::string(splitter.exact(splitter.words().front()));
  };
  EXPECT_EQ(exact_of("λόγος"), exact_of("λο\u0301γος"));
  EXPECT_EQ(exact_of("ἄειδε"), exact_of("α\u0313\u0301ειδε"));
  EXPECT_EQ(exact_of("Λόγος"), exact_of("λόγος"));
  EXPECT_NE(exact_of("λόγος"), exact_of("λογος"));
  EXPECT_NE(exact_of("ἄειδε"), exact_of("ἅειδε"));
}

TEST(Fold, AWordBrokenAtALineEndIsOneWordOfTheLineWhereItBegins) {
  const std::vector<std::string_view> lines = {"τῶν Πελο-", "ποννησίων καὶ", "", "τέλος"};
  std::vector<std::string> rows(lines.size());
  visit_indexed_words(
      lines,
      [&](std::size_t line, const WordSplitter& split, const Word& word, const WordSplitter* next,
          const Word& next_word) {
        rows[line] += std::string(split.folded(word)) + (next ? std::string(next->folded(next_word)) : "") + " ";
        if (next) {
          EXPECT_EQ(lines[line].substr(word.begin, word.end - word.begin), "Πελο");
        }
      },
      [&](std::size_t line, bool last) {
        if (!last) rows[line] += line_end_word;
      });
  const std::string end(line_end_word);
  EXPECT_EQ(rows, (std::vector<std::string>{"των πελοποννησιων " + end, "και " + end, end, "τελοσ "}));
}

}  // namespace
}  // namespace scrivel::search
