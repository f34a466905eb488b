#include "output/document.h"

#include <charconv>

namespace scrivel {
namespace {

constexpr std::string_view rtf_heading =
    "{\\rtf1\\ansi\\ansicpg1253\\deff0\\deflang1032{\\fonttbl\n"
    "{\\f0\\froman\\fcharset161 Palatino Linotype;}}\n"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green128\\blue0;}\n"
    "\\uc1\\pard\\f0\\fs24\n";

constexpr std::string_view html_heading_start =
    "<html>\n"
    "<head>\n"
    "\t<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
    "\t<title>scrivel 4.0";

constexpr std::string_view html_heading_end =
    "</title>\n"
    "\t<style type=\"text/css\">\n"
    "\t\tbody {font-family: \"Palatino Linotype\";}\n"
    "\t\t.hba {text-decoration: overline;}\n"
    "\t\t.exp {letter-spacing: 1em;}\n"
    "\t\t.code {color: red;}\n"
    "\t</style>\n"
    "</head>"
    "\n<body>\n";

constexpr int replacement_character = 0xFFFD;

}  // namespace

void Document::printheading() {
  name_ = "sv" + std::to_string(author_) + "_" + std::to_string(work_) + (rtf ? ".rtf" : ".html");
  file_ = files_.create_output(name_);
  if (!file_) {
    messages_.printf("Cannot open/write to '%s'\n", name_.c_str());
    throw FatalExit{1};
  }
  if (rtf) {
    write(rtf_heading);
    return;
  }
  write(html_heading_start);
  write(": ");
  write(itos(author_));
  write(" ");
  write(itos(work_));
  write(html_heading_end);
}

void Document::printending() { write(rtf ? "}" : "\n</body>\n</html>\n"); }

bool Document::close() {
  if (!file_) return true;
  flush();
  const bool written = file_->close();
  file_.reset();
  if (!written) messages_.printf("Cannot open/write to '%s'\n", name_.c_str());
  return written;
}

void Document::flush() {
  if (file_) file_->write(buffer_.data(), used_);
  used_ = 0;
}

const char* Document::itos(int x) {
  const auto end = std::to_chars(itos_buffer_, itos_buffer_ + sizeof itos_buffer_ - 1, x).ptr;
  *end = '\0';
  return itos_buffer_;
}

int Document::toUTF8(unsigned u, char* utf8) {
  if (u > 0x10FFFF) u = replacement_character;
  int n;
  if (u <= 0x7F) {
    utf8[0] = static_cast<char>(u);
    n = 1;
  } else if (u <= 0x7FF) {
    utf8[0] = static_cast<char>(0xC0 + (u >> 6));
    utf8[1] = static_cast<char>(0x80 + (u & 0x3F));
    n = 2;
  } else if (u <= 0xFFFF) {
    utf8[0] = static_cast<char>(0xE0 + (u >> 12));
    utf8[1] = static_cast<char>(0x80 + ((u >> 6) & 0x3F));
    utf8[2] = static_cast<char>(0x80 + (u & 0x3F));
    n = 3;
  } else {
    utf8[0] = static_cast<char>(0xF0 + (u >> 18));
    utf8[1] = static_cast<char>(0x80 + ((u >> 12) & 0x3F));
    utf8[2] = static_cast<char>(0x80 + ((u >> 6) & 0x3F));
    utf8[3] = static_cast<char>(0x80 + (u & 0x3F));
    n = 4;
  }
  utf8[n] = '\0';
  return n;
}

// RTF readers take the number of "\u" as a signed 16-bit value, and code
// points beyond 16 bits as a UTF-16 surrogate pair of two escapes.
void Document::print_rtf_unicode(int code_point) {
  if (code_point > 0xFFFF) {
    const int offset = code_point - 0x10000;
    print_rtf_unicode(0xD800 + (offset >> 10));
    print_rtf_unicode(0xDC00 + (offset & 0x3FF));
    return;
  }
  write("\\u");
  write(itos(code_point >= 0x8000 ? code_point - 0x10000 : code_point));
  put('?');
}

void Document::print_rtf(int c) {
  if (c > 127) {
    rtf_clearspace();
    print_rtf_unicode(c);
    return;
  }
  if (c == line_break) {
    write("\\line\n");
    rtf_clearspace();
    return;
  }
  rtf_space();
  // Braces and the backslash would open or close a group or start a control word.
  if (c == '{' || c == '}' || c == '\\') put('\\');
  put(static_cast<char>(c));
}

void Document::print_html(int c) {
  if (c > 127 || c < 0) {
    // A raw byte from a string is no UTF-8: it stands as the replacement character.
    char utf8[5];
    write(std::string_view(utf8, toUTF8(c > 127 ? c : replacement_character, utf8)));
    return;
  }
  switch (c) {
    case '<':
      write("&lt;");
      return;
    case '>':
      write("&gt;");
      return;
    case '&':
      write("&amp;");
      return;
    case line_break:
      write("<br>\n");
      return;
    default:
      put(static_cast<char>(c));
  }
}

}  // namespace scrivel
