#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "files.h"
#include "messages.h"

namespace scrivel {

// The line-break value of `print`: 11, since 10 is an ordinary newline byte.
constexpr int line_break = 11;

// A character as one output mode writes it, ready to copy: eight bytes, of
// which `length` count.
struct EncodedCharacter {
  char text[7];
  char length;
};

// The code points below U+2100 hold the Greek letters, the combining marks
// and the punctuation of the text; their encoded forms come from tables.
inline constexpr int encoded_limit = 0x2100;
using EncodedCharacters = std::array<EncodedCharacter, encoded_limit>;

// RTF: "\\u", the decimal code point, and "?" (the one replacement character).
inline constexpr EncodedCharacters rtf_escapes = [] {
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
inline constexpr EncodedCharacters utf8_forms = [] {
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

// ASCII characters that one of the output modes does not write as they stand.
inline constexpr std::array<bool, 128> ascii_needs_care = [] {
  std::array<bool, 128> care{};
  for (const char c : {'<', '>', '&', '{', '}', '\\', static_cast<char>(line_break)}) care[c] = true;
  return care;
}();

// The output document: its name, heading and ending, and every character
// written in the form of the output mode (RTF: ASCII with Unicode escapes;
// HTML: UTF-8). Writes go through a buffer, never one library call each.
class Document {
 public:
  Document(FileSystem& files, Messages& messages, int rtf, int author, int work)
      : rtf(rtf),
        files_(files),
        messages_(messages),
        author_(author),
        work_(work),
        encoded_(rtf ? rtf_escapes.data() : utf8_forms.data()) {}

  // Creates the document and writes the heading; throws FatalExit when it cannot be created.
  void printheading();
  void printending();
  // Flushes and closes the document; false, after a message, when a write failed.
  bool close();

  // One character value: above 127 a code point, 11 a line break, 0 to 127
  // ASCII, below 0 a byte above 0x7F that came from a string.
  void print(int c) {
    // The Greek letters, most of the text, and the marks around them. An RTF
    // escape ends a control word: no delimiter is needed after it.
    if (c >= 0x80 && c < encoded_limit) {
      print_encoded(encoded_[c]);
      return;
    }
    // Plain ASCII with no delimiter pending: one byte as it stands.
    if (c >= 0 && c < 128 && !ascii_needs_care[c] && !RTF_NeedSpace) {
      put(static_cast<char>(c));
      return;
    }
    rtf ? print_rtf(c) : print_html(c);
  }
  // A character in the output mode's form from one of the tables, above
  // ASCII: it needs no delimiter, and it ends a pending control word.
  void print_encoded(const EncodedCharacter& e) {
    rtf_clearspace();
    std::memcpy(reserve(sizeof e), &e, sizeof e);
    used_ += e.length;
  }
  void printstring(std::string_view s) {
    // Text that needs no escape, as a citation's is, goes in whole.
    const auto plain = [](char ch) { return ch >= 0 && !ascii_needs_care[static_cast<unsigned char>(ch)]; };
    if (!RTF_NeedSpace && std::all_of(s.begin(), s.end(), plain)) {
      write(s);
      return;
    }
    for (const char ch : s) print(static_cast<signed char>(ch));
  }
  void printspaces(int n) {
    for (int i = 0; i < n; ++i) print(' ');
  }
  // Decimal text of x, valid until the next call.
  const char* itos(int x);
  // UTF-8 of u into utf8 (room for 5), zero-terminated; returns the byte
  // count. Beyond U+10FFFF, where UTF-8 ends, the replacement character.
  static int toUTF8(unsigned u, char* utf8) {
    if (u <= 0x7F) return encode_utf8(u, utf8, 1, 0);
    if (u <= 0x7FF) return encode_utf8(u, utf8, 2, 0xC0);
    if (u <= 0xFFFF) return encode_utf8(u, utf8, 3, 0xE0);
    return encode_utf8(u <= 0x10FFFF ? u : 0xFFFD, utf8, 4, 0xF0);
  }

  // The RTF delimiter rule: a control word that ends in a letter or digit
  // needs a blank before text that could continue it.
  void rtf_space() {
    if (RTF_NeedSpace) put(' ');
    RTF_NeedSpace = 0;
  }
  void rtf_clearspace() { RTF_NeedSpace = 0; }
  void rtf_needspace() { RTF_NeedSpace = 1; }

  // Markup, written as it stands.
  void write(std::string_view text) {
    if (text.size() > buffer_size) {
      for (const char ch : text) put(ch);
      return;
    }
    std::memcpy(reserve(text.size()), text.data(), text.size());
    used_ += text.size();
  }

  const int rtf;  // 1 RTF, 0 HTML
  int RTF_NeedSpace = 0;

 private:
  void print_rtf(int c);
  void print_html(int c);
  void print_rtf_unicode(int code_point);
  // The lead byte carries `lead` and the top bits; each following byte six bits.
  static int encode_utf8(unsigned u, char* utf8, int n, unsigned lead) {
    for (int i = n - 1; i > 0; --i, u >>= 6) utf8[i] = static_cast<char>(0x80 | (u & 0x3F));
    utf8[0] = static_cast<char>(lead | u);
    utf8[n] = '\0';
    return n;
  }
  void put(char ch) {
    if (used_ == buffer_size) flush();
    buffer_[used_++] = ch;
  }
  // Room for `n` more bytes in the buffer, which then take them directly.
  char* reserve(std::size_t n) {
    if (buffer_size - used_ < n) flush();
    return buffer_ + used_;
  }
  void flush();

  FileSystem& files_;
  Messages& messages_;
  const int author_;
  const int work_;
  std::string name_;
  const EncodedCharacter* encoded_;  // the output mode's forms of the code points below encoded_limit
  // Two buffers: one fills while the file may still be writing the other.
  // They are declared before the file, so that the file, closed when it is
  // destroyed, is gone before them.
  static constexpr std::size_t buffer_size = 1 << 20;
  std::unique_ptr<char[]> buffers_ = std::make_unique_for_overwrite<char[]>(2 * buffer_size);
  char* buffer_ = buffers_.get();  // the one that fills
  std::size_t used_ = 0;
  std::unique_ptr<OutputFile> file_;
  char itos_buffer_[34];
};

}  // namespace scrivel
