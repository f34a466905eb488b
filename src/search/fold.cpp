#include "search/fold.h"

#include <array>
#include <bit>
#include <limits>

#include "greek/letters.h"
#include "output/nfc.h"
#include "search/utf8.h"

namespace scrivel::search {
namespace {

// What a character is to a word: part of none, a letter, a mark on the
// letter before it, or a sign that stands inside a word without parting it.
enum class Kind : std::uint8_t { other, letter, mark, joiner };

struct CharacterFold {
  char32_t folded = 0;   // a letter's lower case without marks
  Diacritics marks = 0;  // a letter's or a combining mark's diacritics
  Kind kind = Kind::other;
};

// The code points below this limit hold every letter the composer writes
// (Greek Extended ends at U+1FFF) and the combining marks.
constexpr char32_t fold_limit = 0x2000;

// The combining marks that stand for the composer's diacritics.
struct CombiningMark {
  char32_t code_point;
  Diacritics marks;
};
constexpr std::array<CombiningMark, 7> combining_diacritics = {{
    {composition::combining_psili, psili},
    {composition::combining_dasia, dasia},
    {composition::combining_acute, oxeia},
    {composition::combining_grave, vareia},
    {composition::combining_perispomeni, perispomeni},
    {composition::combining_diaeresis, dialytika},
    {composition::combining_ypogegrammeni, ypogegrammeni},
}};

// Brackets that the text sets inside words for what the editor supplied
// or took out: μῆ[νιν] is the word μῆνιν.
constexpr std::u32string_view joiners = U"[]<>{}\u2329\u232A\u27E8\u27E9\u2E22\u2E23\u2E24\u2E25\u3008\u3009";

constexpr bool is_combining(char32_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
         (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F);
}

// The small letter without marks of a letter index: digamma and Latin J
// have a small form that the composer never writes.
char32_t small_letter_of(int index) {
  const byte letter = letter_of(index);
  if (letter == 'J') return U'j';
  if (letter == 'V') return 0x03DD;
  const int position = composition::letter_positions[letter];
  const int capital =
      letter_classes[letter] == LetterClass::vowel ? vowel_capitals[position] : consonant_capitals[position];
  return static_cast<char32_t>(capital + capital_to_small);
}

Diacritics marks_of_combining(char32_t c) {
  for (const CombiningMark& mark : combining_diacritics)
    if (mark.code_point == c) return mark.marks;
  return 0;
}

// How unlikely a letter index is to name the marks its character shows:
// where several indexes give one character (a perispomeni wins over an
// oxeia, a consonant takes no marks, ᾳ stands for α with an iota
// subscript or with a diaeresis, which α never takes), the one with the
// fewest diacritics, and of those one whose marks the letter can carry:
// an iota subscript under α, η or ω, a diaeresis on ι or υ.
int unlikeliness(int index, Diacritics shown) {
  const byte letter = letter_of(index);
  using composition::has;
  const bool unnatural = (has(shown, ypogegrammeni) && letter != 'A' && letter != 'H' && letter != 'W') ||
                         (has(shown, dialytika) && letter != 'I' && letter != 'U');
  return 2 * std::popcount(static_cast<unsigned>(shown)) + (unnatural ? 1 : 0);
}

// Every character that the composer writes for a letter, in NFC: its base
// letter and the marks it shows, as named by the likeliest of the letter
// indexes that give it.
std::array<CharacterFold, fold_limit> make_fold_table() {
  std::array<CharacterFold, fold_limit> table{};
  for (char32_t c = U'0'; c <= U'9'; ++c) table[c] = {c, 0, Kind::letter};
  for (char32_t c = U'a'; c <= U'z'; ++c) table[c] = table[c - U'a' + U'A'] = {c, 0, Kind::letter};
  for (char32_t c = 0; c < fold_limit; ++c)
    if (is_combining(c)) table[c] = {0, marks_of_combining(c), Kind::mark};
  for (const char32_t c : joiners)
    if (c < fold_limit) table[c].kind = Kind::joiner;
  std::array<int, fold_limit> least_unlikeliness{};
  least_unlikeliness.fill(std::numeric_limits<int>::max());
  for (int index = 0; index < letter_count; ++index) {
    const NfcForm form = nfc_of_letter(index);
    Diacritics trailing = 0;
    for (int i = 1; i < form.length; ++i) trailing |= marks_of_combining(static_cast<char32_t>(form.code_points[i]));
    const auto character = static_cast<char32_t>(form.code_points[0]);
    const Diacritics shown = letter_classes[letter_of(index)] == LetterClass::vowel
                                 ? static_cast<Diacritics>(diacritics_of(index) & ~trailing)
                                 : Diacritics{0};
    const int score = unlikeliness(index, shown);
    if (score >= least_unlikeliness[character]) continue;
    least_unlikeliness[character] = score;
    table[character] = {small_letter_of(index), shown, Kind::letter};
  }
  return table;
}

const std::array<CharacterFold, fold_limit>& fold_table() {
  static const std::array<CharacterFold, fold_limit> table = make_fold_table();
  return table;
}

CharacterFold fold_of(char32_t c) {
  if (c < fold_limit) return fold_table()[c];
  if (is_combining(c)) return {0, 0, Kind::mark};
  if (joiners.find(c) != std::u32string_view::npos) return {0, 0, Kind::joiner};
  return {};
}

// The folded letters are ASCII or small Greek letters, below U+0800: one
// byte or two.
void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void WordSplitter::split(std::string_view text) {
  words_.clear();
  folded_.clear();
  exact_.clear();
  bool in_word = false;
  bool hyphen_ends_word = false;  // the last character read is a hyphen right after a word
  std::size_t length = 0;
  for (std::size_t at = 0; at < text.size(); at += length) {
    // A byte that starts no UTF-8 is a character of its own, nothing to a word.
    const CodePoint point = code_point_at(text, at);
    length = point.length == 0 ? 1 : point.length;
    const CharacterFold fold = point.length == 0 ? CharacterFold{} : fold_of(point.value);
    const auto end = static_cast<std::uint32_t>(at + length);
    if (fold.kind == Kind::letter) {
      if (!in_word) {
        words_.push_back({static_cast<std::uint32_t>(at), end, static_cast<std::uint32_t>(folded_.size()), 0,
                          static_cast<std::uint32_t>(exact_.size()), 0});
        in_word = true;
      }
      append_utf8(folded_, fold.folded);
      append_utf8(exact_, fold.folded);
      exact_ += static_cast<char>(1 + fold.marks);
    } else if (fold.kind == Kind::mark && in_word) {
      exact_.back() = static_cast<char>(((exact_.back() - 1) | fold.marks) + 1);
    } else if (fold.kind == Kind::other) {
      // Blanks after the hyphen do not undo the break.
      if (!is_blank(text[at])) hyphen_ends_word = in_word && text[at] == '-';
      in_word = false;
      continue;
    }
    if (in_word && fold.kind != Kind::joiner) {
      words_.back().end = end;
      words_.back().folded_end = static_cast<std::uint32_t>(folded_.size());
      words_.back().exact_end = static_cast<std::uint32_t>(exact_.size());
    }
    hyphen_ends_word = false;
  }
  last_word_broken_ = hyphen_ends_word;
}

}  // namespace scrivel::search
