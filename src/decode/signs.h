#pragma once

#include <array>
#include <string_view>

#include "decode/context.h"
#include "profile.h"

namespace scrivel {

// The Beta Code signs: most carry a decimal number that selects a character,
// a formatting effect, or a switch between Greek and Latin text.
class SignHandlers {
 public:
  explicit SignHandlers(profile::Script start) : in_latin_(start == profile::Script::latin) {}

  static constexpr bool is_sign(byte c) { return sign_bytes[c]; }

  // Handles the sign in the current byte, with the number behind it.
  void handle(Context& context);
  // Between "&" and "$" the text is Latin: letters and diacritic signs stand as they are.
  bool in_latin_run() const { return in_latin_; }

 private:
  // The bytes that the handlers take.
  static constexpr std::array<bool, 256> sign_bytes = [] {
    std::array<bool, 256> signs{};
    for (const char c : std::string_view("\"#$%&:;<>@[]^_`{}")) signs[static_cast<byte>(c)] = true;
    return signs;
  }();

  void quotation_mark(Context& context);
  void special_character(Context& context);
  void greek_style(Context& context);
  void punctuation(Context& context);
  void markup_span(Context& context);
  void bracket(Context& context);
  void brace(Context& context);
  void unsupported_brace(Context& context, int n);
  void alternate(Context& context, bool& open, int opening, int closing);

  // Whether the quotation marks "3, "6, "7 and "8 stand open: each alternates.
  bool qm3open_ = false, qm6open_ = false, qm7open_ = false, qm8open_ = false;
  byte sign_ = 0;  // the sign being handled, since reading its number moves the cursor on
  bool in_latin_;
};

}  // namespace scrivel
