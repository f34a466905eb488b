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
  if (file_) file_->write(buffer_, used_);
  buffer_ = buffer_ == buffers_.get() ? buffers_.get() + buffer_size : buffers_.get();
  used_ = 0;
}

const char* Document::itos(int x) {
  const auto end = std::to_chars(itos_buffer_, itos_buffer_ + sizeof itos_buffer_ - 1, x).ptr;
  *end = '\0';
  return itos_buffer_;
}

// RTF readers take the number of "\u" as a signed 16-bit value, and code
// points beyond 16 bits as a UTF-16 surrogate pair of two escapes. Past
// U+10FFFF, where Unicode ends, stands the replacement character.
void Document::print_rtf_unicode(int code_point) {
  if (code_point > 0x10FFFF) code_point = replacement_character;
  if (code_point > 0xFFFF) {
    const int offset = code_point - 0x10000;
    print_rtf_unicode(0xD800 + (offset >> 10));
    print_rtf_unicode(0xDC00 + (offset & 0x3FF));
    return;
  }
  char* out = reserve(16);
  *out++ = '\\';
  *out++ = 'u';
  out = std::to_chars(out, out + 8, code_point >= 0x8000 ? code_point - 0x10000 : code_point).ptr;
  *out++ = '?';
  used_ = out - buffer_;
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
    char* out = reserve(5);
    used_ += toUTF8(c > 127 ? c : replacement_character, out);
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
