#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "files.h"
#include "messages.h"
#include "output/format.h"

namespace scrivel {

// The output document: its name, heading and ending, every character in the
// form of its format, and the markup of the formatting commands. The format
// is chosen once, when the document is made; nothing else tells the modes
// apart. The bytes go into buffers that the document's file lends, never
// one library call per character.
class Document {
 public:
  Document(FileSystem& files, Messages& messages, int rtf, int author, int work)
      : files_(files),
        messages_(messages),
        format_(format_of(rtf)),
        encoded_(format_.encoded),
        letters_(format_.letters),
        author_(author),
        work_(work) {}

  // Creates the document and writes the heading; throws FatalExit when it cannot be created.
  void printheading();
  void printending();
  // Hands the last bytes to the file, which printheading created, and closes
  // it; false, after a message, when a write failed.
  bool close();

  // One character value: from 0x80 up to encoded_limit a code point (the
  // text has none above), 11 a line break, 0 to 127 ASCII, below 0 a byte
  // above 0x7F that came from a string.
  void print(int c) {
    if (c >= 0x80) {
      print_encoded(encoded_[c]);
      return;
    }
    // Plain ASCII with no delimiter pending: one byte as it stands.
    if (c >= 0 && !needs_care[c] && !RTF_NeedSpace_) {
      put(static_cast<char>(c));
      return;
    }
    print_with_care(c);
  }
  // Writes letter `index` of the letter table (decode/letters.h); false,
  // writing nothing, where no precomposed character stands for it.
  bool print_letter(int index) {
    const EncodedCharacter& e = letters_[index];
    if (e.length == 0) return false;
    print_encoded(e);
    return true;
  }
  // For a run of letters written in one loop: the letter forms, and the room
  // left in the buffer, a fresh buffer when less than `wanted` is left; the
  // loop hands back where it stopped writing.
  struct Room {
    char* next;
    char* end;
  };
  const EncodedCharacter* letter_forms() const { return letters_; }
  Room room_for_letters(std::size_t wanted) {
    if (static_cast<std::size_t>(end_ - next_) < wanted) next_buffer();
    return {next_, end_};
  }
  // A letter ends a pending control word.
  void letters_written(char* next) {
    if (next != next_) RTF_NeedSpace_ = false;
    next_ = next;
  }
  void printstring(std::string_view s);
  // A line that a reference opens: the line break, the reference, and the
  // three non-breaking blanks that set it off from the text.
  void write_reference_line(std::string_view reference);
  void printspaces(int n) {
    for (int i = 0; i < n; ++i) print(' ');
  }
  // ASCII characters that one of the formats does not write as they stand.
  static constexpr std::array<bool, 128> needs_care = [] {
    std::array<bool, 128> care{};
    for (const char c : {'<', '>', '&', '{', '}', '\\', static_cast<char>(line_break)}) care[c] = true;
    return care;
  }();
  // Whether a control word waits for its delimiter, which the next text settles.
  bool delimiter_pending() const { return RTF_NeedSpace_; }

  // Decimal text of x, valid until the next call.
  const char* itos(int x);

  // The markup of the commands that are literals, by number.
  void write_command(int command) { write_markup(format_.commands[command]); }
  // A marker in the text: its opening, `param`, its closing.
  void write_marker(MarkerKind kind, int param);
  void write_special_end() { write_markup(format_.special_end); }
  void write_nonbreaking_blanks(int count);

 private:
  void print_with_care(int c);
  // A character above ASCII needs no delimiter, and it ends a pending control word.
  void print_encoded(const EncodedCharacter& e) {
    RTF_NeedSpace_ = false;
    std::memcpy(reserve(sizeof e), &e, sizeof e);
    next_ += e.length;
  }
  void write_markup(const Markup& markup);
  void leave(Delimiter after);
  // Writes the blank that a control word asked for, if it did.
  void settle_delimiter() {
    if (RTF_NeedSpace_) put(' ');
    RTF_NeedSpace_ = false;
  }
  void write(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(end_ - next_)) {
      write_across_buffers(text);
      return;
    }
    std::memcpy(next_, text.data(), text.size());
    next_ += text.size();
  }
  void write_across_buffers(std::string_view text);
  void put(char ch) {
    if (next_ == end_) next_buffer();
    *next_++ = ch;
  }
  // Room for `n` more bytes, at most min_lent, which then take them directly.
  char* reserve(std::size_t n) {
    if (static_cast<std::size_t>(end_ - next_) < n) next_buffer();
    return next_;
  }
  void next_buffer();

  FileSystem& files_;
  Messages& messages_;
  const Format& format_;
  // The format's tables that every letter reads, kept at hand.
  const EncodedCharacter* const encoded_;
  const EncodedCharacter* const letters_;
  const int author_;
  const int work_;
  std::string name_;
  std::unique_ptr<OutputFile> file_;
  std::span<char> lent_;  // the buffer that the file lent last
  char* next_ = nullptr;  // where the next byte goes in it
  char* end_ = nullptr;
  bool RTF_NeedSpace_ = false;  // a control word wants a blank before text that could continue it
  char itos_buffer_[16];
};

}  // namespace scrivel
