#pragma once

#include <array>
#include <string_view>

#include "decode/composer.h"
#include "decode/stream.h"
#include "messages.h"
#include "output/commands.h"
#include "output/document.h"

namespace scrivel {

// The bytes that the sign handlers take.
inline constexpr std::array<bool, 256> sign_bytes = [] {
  std::array<bool, 256> signs{};
  for (const char c : std::string_view("\"#$%&:;<>@[]^_`{}")) signs[static_cast<byte>(c)] = true;
  return signs;
}();

// The Beta Code signs: most carry a decimal number that selects a character,
// a formatting effect, or a switch between Greek and Latin text.
class SignHandlers {
 public:
  SignHandlers(DecoderStream& in, Composer& composer, Document& document, CommandStack& commands,
               Messages& messages)
      : in_(in), composer_(composer), document_(document), commands_(commands), messages_(messages) {}

  static bool is_sign(byte c) { return sign_bytes[c]; }
  // Handles the sign in the current byte; a pending letter is written first.
  void handle();

  byte RomanFont = 0;  // a Latin run: letters and diacritic signs stand as they are

 private:
  int read_number(int num, const char* what);
  void quotation_mark();
  void special_character();
  void greek_style();
  void latin();
  void punctuation();
  void markup_span();
  void bracket();
  void nonbreaking_blanks();
  void spaces();
  void brace();
  void alternate(byte& open, int opening, int closing);
  void unsupported_brace(int param);
  unsigned long count() const { return in_.source.count; }

  DecoderStream& in_;
  Composer& composer_;
  Document& document_;
  CommandStack& commands_;
  Messages& messages_;
  byte qm3open = 0, qm6open = 0, qm7open = 0, qm8open = 0;
  byte savec = 0;
  int param = 0;
};

}  // namespace scrivel
