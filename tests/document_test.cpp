// The document writer: name, heading and ending, and the characters of
// each output mode with the RTF delimiter rule.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {
namespace {

using namespace std::literals;

constexpr std::string_view rtf_heading =
    "{\\rtf1\\ansi\\ansicpg1253\\deff0\\deflang1032{\\fonttbl\n"
    "{\\f0\\froman\\fcharset161 Palatino Linotype;}}\n"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\n"
    "\\uc1\\pard\\f0\\fs24\n";

std::string html_heading(std::string_view title) {
  return "<html>\n<head>\n"
         "\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
         "\t<title>" + std::string(title) + "</title>\n"
         "\t<style type=\"text/css\">\n"
         "\t\tbody {font-family: \"Palatino Linotype\";}\n"
         "\t\t.hba {text-decoration: overline;}\n"
         "\t\t.exp {letter-spacing: 1em;}\n"
         "\t\t.code {color: red;}\n"
         "\t</style>\n"
         "</head>\n<body>\n";
}

// Captures the messages of one test.
struct Captured {
  std::ostringstream out;
  Messages messages{out};
};

// Writes the heading of author 7, work 2, then `body`; returns what follows the heading.
template <typename Body>
std::string after_heading(int rtf, Body body) {
  MemoryFiles files;
  Captured c;
  Document doc(files, c.messages, rtf, 7, 2);
  doc.printheading();
  body(doc);
  EXPECT_TRUE(doc.close());
  EXPECT_EQ(c.out.str(), "");
  const std::string written = files.outputs[rtf ? "sv7_2.rtf" : "sv7_2.html"];
  const std::string heading = rtf ? std::string(rtf_heading) : html_heading("scrivel 4.0: 7 2");
  EXPECT_TRUE(written.starts_with(heading));
  return written.substr(std::min(heading.size(), written.size()));
}

TEST(DocumentTest, HeadingAndEndingInBothModes) {
  const auto end = [](Document& doc) { doc.printending(); };
  EXPECT_EQ(after_heading(1, end), "}");
  EXPECT_EQ(after_heading(0, end), "\n</body>\n</html>\n");
}

TEST(DocumentTest, LongNumbersMakeLongNameAndTitle) {
  MemoryFiles files;
  Captured c;
  Document doc(files, c.messages, 0, INT_MAX, INT_MAX);
  doc.printheading();
  ASSERT_TRUE(doc.close());
  ASSERT_EQ(files.outputs.size(), 1u);
  EXPECT_EQ(files.outputs["sv2147483647_2147483647.html"], html_heading("scrivel 4.0: 2147483647 2147483647"));
}

TEST(DocumentTest, LongTextArrivesWholeAndInOrder) {
  std::string expected;
  for (int i = 0; i < 200000; ++i) expected += static_cast<char>('a' + i % 26);
  EXPECT_EQ(after_heading(0, [&](Document& doc) { doc.printstring(expected); }), expected);
}

struct PrintCase {
  bool pending;  // a control word has asked for a delimiter
  std::vector<int> values;
  std::string_view expected;
};

void check_prints(int rtf, const std::vector<PrintCase>& cases) {
  for (const PrintCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.values) + (c.pending ? " after a control word" : ""));
    EXPECT_EQ(after_heading(rtf,
                            [&](Document& doc) {
                              if (c.pending) doc.rtf_needspace();
                              for (const int v : c.values) doc.print(v);
                            }),
              c.expected);
  }
}

TEST(DocumentTest, PrintInRtf) {
  check_prints(1, {
      {false, {'a', '<', '>', '&'}, "a<>&"},   {true, {'a', 'b'}, " ab"},
      {true, {'<', '&'}, " <&"},               {true, {945, 'a'}, "\\u945?a"},
      {true, {11, 'a'}, "\\line\na"},          {true, {10, 10}, " \n\n"},
      {true, {-73}, " \xB7"},                  {false, {-128, -1}, "\x80\xFF"},
      {true, {'{', '}', '\\'}, " \\{\\}\\\\"}, {true, {0x10000}, "\\u-10240?\\u-9216?"},
      {false, {171, 128, 255}, "\\u171?\\u128?\\u255?"},
      {false, {0x7FFF, 0x8000, 0xFFFF}, "\\u32767?\\u-32768?\\u-1?"},
      {false, {0x1F600}, "\\u-10179?\\u-8704?"},
      {false, {0x10FFFF}, "\\u-9217?\\u-8193?"},  {false, {0x110000}, "\\u-3?"},
  });
}

TEST(DocumentTest, PrintInHtml) {
  check_prints(0, {
      {false, {'<', '>', '&'}, "&lt;&gt;&amp;"}, {true, {'a'}, "a"},
      {false, {11}, "<br>\n"},                   {false, {10}, "\n"},
      {false, {'{', '}', '\\'}, "{}\\"},         {false, {0x1FAF}, "\xE1\xBE\xAF"},
      {false, {945, 171}, "\xCE\xB1\xC2\xAB"},   {false, {0x1F600}, "\xF0\x9F\x98\x80"},
      {false, {-73, -128, -1}, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  });
}

TEST(DocumentTest, StringsAndBlanks) {
  const auto body = [](Document& doc) {
    doc.printstring("");
    doc.printspaces(0);
    doc.printspaces(-2);
    doc.rtf_needspace();
    doc.printstring("a\xB7{<");
    doc.printspaces(2);
  };
  EXPECT_EQ(after_heading(1, body), " a\xB7\\{<  ");
  EXPECT_EQ(after_heading(0, body), "a\xEF\xBF\xBD{&lt;  ");
}

TEST(DocumentTest, ToUTF8) {
  const struct {
    unsigned u;
    std::string_view bytes;
  } cases[] = {{0, "\0"sv}, {0x41, "A"}, {0x7F, "\x7F"}, {0x80, "\xC2\x80"}, {0x7FF, "\xDF\xBF"},
               {0x800, "\xE0\xA0\x80"}, {0x3B1, "\xCE\xB1"}, {0xD800, "\xED\xA0\x80"},
               {0xFFFF, "\xEF\xBF\xBF"}, {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.u);
    char utf8[5];
    std::memset(utf8, 'x', sizeof utf8);
    const int n = Document::toUTF8(c.u, utf8);
    ASSERT_EQ(n, static_cast<int>(c.bytes.size()));
    EXPECT_EQ(std::string_view(utf8, n), c.bytes);
    EXPECT_EQ(utf8[n], '\0');
  }
}

TEST(DocumentTest, ItosWritesSignedDecimalIntoOneBuffer) {
  MemoryFiles files;
  Captured c;
  Document doc(files, c.messages, 1, 7, 2);
  EXPECT_STREQ(doc.itos(-5), "-5");
  EXPECT_STREQ(doc.itos(0), "0");
  EXPECT_STREQ(doc.itos(INT_MIN), "-2147483648");
  const char* first = doc.itos(INT_MAX);
  EXPECT_STREQ(first, "2147483647");
  EXPECT_EQ(doc.itos(42), first);
  EXPECT_STREQ(first, "42");
}

}  // namespace
}  // namespace scrivel
