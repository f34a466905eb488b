// The NFC tables held to ICU: every code point the program may write, and
// every letter the composer writes, must come out as ICU normalises it; and
// so must the documents, every letter and sign written through a renderer.

#include "output/nfc.h"

#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "author_file_builder.h"
#include "conversion.h"
#include "greek/letters.h"

namespace scrivel::testing {
namespace {

using CodePoints = std::vector<int>;

// Every character the program writes lies below this one.
constexpr int written_limit = 0x2100;

// Built at compile time, as the renderers build their tables: a lookup that
// cannot run in a constant expression fails here already.
constexpr auto code_point_nfc = [] {
  std::array<NfcForm, written_limit> forms{};
  for (int code_point = 0; code_point < written_limit; ++code_point) forms[code_point] = nfc_of_code_point(code_point);
  return forms;
}();

constexpr auto letter_nfc = [] {
  std::array<NfcForm, letter_count> forms{};
  for (int index = 0; index < letter_count; ++index) forms[index] = nfc_of_letter(index);
  return forms;
}();

CodePoints code_points_of(const NfcForm& form) {
  return CodePoints(form.code_points.begin(), form.code_points.begin() + form.length);
}

// What the composer writes for a letter: its precomposed character, or the
// base letter and combining marks.
CodePoints written_for(int index) {
  if (letter_code_points[index] != 0) return {letter_code_points[index]};
  const UncomposedLetter letter = uncomposed_letter(index);
  return CodePoints(letter.code_points.begin(), letter.code_points.begin() + letter.length);
}

std::string hex(const CodePoints& code_points) {
  std::string text;
  for (const int code_point : code_points) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%s%04X", text.empty() ? "" : " ", code_point);
    text += digits;
  }
  return text;
}

// How many faults there are and the first few in full, so that a table gone
// wrong as a whole does not flood the log.
std::string report(const std::vector<std::string>& faults) {
  std::string listed = std::to_string(faults.size()) + " faults:";
  for (std::size_t i = 0; i < faults.size() && i < 8; ++i) listed += "\n  " + faults[i];
  return listed;
}

class NfcAgainstIcu : public ::testing::Test {
 protected:
  void SetUp() override {
    UErrorCode status = U_ZERO_ERROR;
    icu_nfc_ = icu::Normalizer2::getNFCInstance(status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }

  CodePoints normalized(const CodePoints& code_points) const {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString result = icu_nfc_->normalize(to_icu(code_points), status);
    EXPECT_TRUE(U_SUCCESS(status)) << hex(code_points) << ": " << u_errorName(status);
    CodePoints form;
    for (int32_t i = 0; i < result.length(); i = result.moveIndex32(i, 1)) form.push_back(result.char32At(i));
    return form;
  }

 private:
  static icu::UnicodeString to_icu(const CodePoints& code_points) {
    icu::UnicodeString text;
    for (const int code_point : code_points) text.append(static_cast<UChar32>(code_point));
    return text;
  }

  const icu::Normalizer2* icu_nfc_ = nullptr;
};

// Every code point below U+2100, and every letter as the composer writes it,
// whose form must itself be NFC, and whose characters must be assigned ones.
TEST_F(NfcAgainstIcu, EveryCodePointAndLetterHasIcusForm) {
  std::vector<std::string> faults;
  for (int code_point = 0; code_point < written_limit; ++code_point) {
    const CodePoints ours = code_points_of(code_point_nfc[code_point]);
    const CodePoints icus = normalized({code_point});
    if (ours != icus) faults.push_back(hex({code_point}) + ": the table gives " + hex(ours) + ", ICU " + hex(icus));
  }
  for (int index = 0; index < letter_count; ++index) {
    const CodePoints written = written_for(index);
    const CodePoints ours = code_points_of(letter_nfc[index]);
    const CodePoints icus = normalized(written);
    const std::string letter = "letter " + std::to_string(index) + " (written " + hex(written) + ")";
    if (ours != icus) faults.push_back(letter + ": the table gives " + hex(ours) + ", ICU " + hex(icus));
    if (normalized(ours) != ours) faults.push_back(letter + ": ICU finds " + hex(ours) + " not in NFC");
    // A place that Unicode leaves empty would show as a box.
    for (const int code_point : written)
      if (!u_isdefined(code_point)) faults.push_back(letter + ": " + hex({code_point}) + " is no character");
  }
  EXPECT_TRUE(faults.empty()) << report(faults);
}

// Every letter with every set of diacritics, capital and small, before a
// blank (a word's end) and before a hyphen, then every sign that writes a
// character: the whole text that the composer and the signs can write.
std::string every_letter_and_sign() {
  constexpr std::string_view signs = ")(/\\=+|";
  std::string content;
  int on_line = 0;
  for (const std::string_view capital : {"", "*"}) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      for (int diacritics = 0; diacritics < 128; ++diacritics) {
        std::string token = std::string(capital) + letter;
        for (std::size_t bit = 0; bit < signs.size(); ++bit)
          if (diacritics >> bit & 1) token += signs[bit];
        content += token + " " + token + "-";
        if (++on_line % 40 == 0) content += "\n";
      }
    }
  }
  content += "\n: ; @ _ ^8";
  for (int n = 0; n < 42; ++n) content += " %" + std::to_string(n);
  for (int n = 0; n < 23; ++n) content += " #" + std::to_string(n);
  for (int n = 0; n < 9; ++n) content += " \"" + std::to_string(n) + " \"" + std::to_string(n);
  for (int n = 0; n < 12; ++n) content += " [" + std::to_string(n) + " ]" + std::to_string(n);
  return content;
}

std::string icu_nfc_of_utf8(const std::string& text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString normalized =
      icu::Normalizer2::getNFCInstance(status)->normalize(icu::UnicodeString::fromUTF8(text), status);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  std::string utf8;
  return normalized.toUTF8String(utf8);
}

// Through the renderers, as the documents are written: the NFC document of
// each UTF-8 format is ICU's NFC of the same document written as it stands.
TEST(NfcDocuments, AreIcusNfcOfTheDocumentsAsTheyStand) {
  const authorfile::Bytes file = authorfile::single_work(every_letter_and_sign());
  for (const Format format : {Format::html, Format::text, Format::tsv}) {
    SCOPED_TRACE(extension_of(format));
    const Conversion standing = convert(file, format, Normalization::none);
    ASSERT_EQ(standing.outcome.status, 0) << standing.messages;
    const std::string& as_they_stand = standing.document;
    const std::string nfc = convert(file, format, Normalization::nfc).document;
    EXPECT_NE(nfc, as_they_stand);
    EXPECT_TRUE(nfc == icu_nfc_of_utf8(as_they_stand));
  }
}

}  // namespace
}  // namespace scrivel::testing
