#include "output/format.h"

#include "decode/letters.h"

namespace scrivel {
namespace {

using EncodedCharacters = std::array<EncodedCharacter, encoded_limit>;
using LetterForms = std::array<EncodedCharacter, letter_count>;

// RTF: "\\u", the decimal code point, and "?" (the one replacement character).
constexpr EncodedCharacters rtf_escapes = [] {
  EncodedCharacters escapes{};
  for (int c = 0; c < encoded_limit; ++c) {
    EncodedCharacter& e = escapes[c];
    int n = 0;
    e.text[n++] = '\\';
    e.text[n++] = 'u';
    char digits[4];
    int count = 0;
    for (int v = c; v > 0 || count == 0; v /= 10) digits[count++] = static_cast<char>('0' + v % 10);
    while (count > 0) e.text[n++] = digits[--count];
    e.text[n++] = '?';
    e.length = static_cast<char>(n);
  }
  return escapes;
}();

// HTML: UTF-8, of one to three bytes below U+2100.
constexpr EncodedCharacters utf8_forms = [] {
  EncodedCharacters forms{};
  for (int c = 0; c < encoded_limit; ++c) {
    EncodedCharacter& e = forms[c];
    if (c < 0x80) {
      e.text[0] = static_cast<char>(c);
      e.length = 1;
    } else if (c < 0x800) {
      e.text[0] = static_cast<char>(0xC0 | c >> 6);
      e.text[1] = static_cast<char>(0x80 | (c & 0x3F));
      e.length = 2;
    } else {
      e.text[0] = static_cast<char>(0xE0 | c >> 12);
      e.text[1] = static_cast<char>(0x80 | (c >> 6 & 0x3F));
      e.text[2] = static_cast<char>(0x80 | (c & 0x3F));
      e.length = 3;
    }
  }
  return forms;
}();

// Every letter with every set of diacritics, ready to copy, so that writing
// a letter is one lookup and one eight-byte copy.
constexpr LetterForms letter_forms(const EncodedCharacters& encoded) {
  LetterForms forms{};
  for (int i = 0; i < letter_count; ++i)
    if (letter_code_points[i] != 0) forms[i] = encoded[letter_code_points[i]];
  return forms;
}
constexpr LetterForms rtf_letters = letter_forms(rtf_escapes);
constexpr LetterForms html_letters = letter_forms(utf8_forms);

// Every byte value once, for the forms that are the byte itself.
constexpr std::array<char, 256> byte_values = [] {
  std::array<char, 256> values{};
  for (int b = 0; b < 256; ++b) values[b] = static_cast<char>(b);
  return values;
}();

constexpr std::array<std::string_view, 256> bytes_as_they_stand = [] {
  std::array<std::string_view, 256> forms{};
  for (int b = 0; b < 256; ++b) forms[b] = std::string_view(&byte_values[b], 1);
  return forms;
}();

// RTF: braces and the backslash would open or close a group or start a
// control word; a byte above 0x7F stands as it is, a character of code page 1253.
constexpr std::array<std::string_view, 256> rtf_bytes = [] {
  std::array<std::string_view, 256> forms = bytes_as_they_stand;
  forms['{'] = "\\{";
  forms['}'] = "\\}";
  forms['\\'] = "\\\\";
  forms[line_break] = "\\line\n";
  return forms;
}();

// HTML: a byte above 0x7F is no UTF-8, and stands as the replacement character.
constexpr std::array<std::string_view, 256> html_bytes = [] {
  std::array<std::string_view, 256> forms = bytes_as_they_stand;
  forms['<'] = "&lt;";
  forms['>'] = "&gt;";
  forms['&'] = "&amp;";
  forms[line_break] = "<br>\n";
  for (int b = 0x80; b < 256; ++b) forms[b] = "\xEF\xBF\xBD";
  return forms;
}();

constexpr Markup word(std::string_view text) { return {text, false, Delimiter::needed}; }
constexpr Markup symbol(std::string_view text) { return {text, false, Delimiter::settled}; }
constexpr Markup tag(std::string_view text) { return {text}; }

// The markup of the commands that are literals. Commands 1, 2, 3, 4, 11 and
// 25 carry a number or act on the stack and are written by code.
constexpr std::array<Markup, 28> rtf_commands = {{
    {}, {}, {}, {}, {}, {},
    word("{\\sub"), symbol("}"),                        // 6, 7 subscript
    symbol("\\line\n"),                                 // 8 line break
    word("\\fs20"), word("\\fs24"),                     // 9, 10 small
    {}, {},
    word("\\b "), word("\\b0 "),                        // 13, 14 bold
    word("\\i"), word("\\i0"),                          // 15, 16 italic
    word("\\fs28"), word("\\fs24"),                     // 17, 18 big
    {"<hba>", true}, {"</hba>", true},                  // 19, 20 overline
    word("\\expnd8\\expndtw40"), word("\\expnd0\\expndtw0"),  // 21, 22 letter spacing
    word("{\\super"), symbol("}"),                      // 23, 24 superscript
    {},
    word("\\cf1"), word("\\cf0"),                       // 26, 27 red, for what is not rendered
}};

constexpr std::array<Markup, 28> html_commands = {{
    {}, {}, {}, {}, {}, {},
    tag("<sub>"), tag("</sub>"),
    tag("<br>\n"),
    tag("<small>"), tag("</small>"),
    {}, {},
    tag("<b>"), tag("</b>"),
    tag("<i>"), tag("</i>"),
    tag("<big>"), tag("</big>"),
    tag("<span class=\"hba\">"), tag("</span>"),
    tag("<span class=\"exp\">"), tag("</span>"),
    tag("<sup>"), tag("</sup>"),
    {},
    tag("<span class=\"code\">"), tag("</span>"),
}};

constexpr Format rtf_format = {
    ".rtf",
    "{\\rtf1\\ansi\\ansicpg1253\\deff0\\deflang1032{\\fonttbl\n"
    "{\\f0\\froman\\fcharset161 Palatino Linotype;}}\n"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\n"
    "\\uc1\\pard\\f0\\fs24\n",
    false,
    "",
    "}",
    rtf_escapes.data(),
    rtf_letters.data(),
    rtf_bytes,
    rtf_commands,
    {{{{"<<%", true}, ">>"}, {{"<<#", true}, ">>"}, {{"<<special ", true}, ">>"}}},
    {"<</special>>", true},
    symbol("\\~\\~\\~"),
};

constexpr Format html_format = {
    ".html",
    "<html>\n"
    "<head>\n"
    "\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
    "\t<title>scrivel 4.0",
    true,
    "</title>\n"
    "\t<style type=\"text/css\">\n"
    "\t\tbody {font-family: \"Palatino Linotype\";}\n"
    "\t\t.hba {text-decoration: overline;}\n"
    "\t\t.exp {letter-spacing: 1em;}\n"
    "\t\t.code {color: red;}\n"
    "\t</style>\n"
    "</head>"
    "\n<body>\n",
    "\n</body>\n</html>\n",
    utf8_forms.data(),
    html_letters.data(),
    html_bytes,
    html_commands,
    {{{tag("&lt;&lt;%"), "&gt;&gt;"}, {tag("&lt;&lt;#"), "&gt;&gt;"}, {tag("&lt;&lt;special "), "&gt;&gt;]"}}},
    tag("&lt;&lt;/special&gt;&gt;"),
    tag("&nbsp;&nbsp;&nbsp;"),
};

}  // namespace

const Format& format_of(int rtf) { return rtf ? rtf_format : html_format; }

}  // namespace scrivel
