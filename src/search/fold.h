#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

// The words of a line as the search index holds them. Each word has two
// forms:
// - folded: lower case, without breathings, accents, diaeresis, iota
//   subscript or length marks, final sigma as σ: what a search matches by
//   default, so that λογος finds λόγος, Λόγος and λόγοσ;
// - exact: the same letters in lower case, each with its breathings,
//   accents, diaeresis and iota subscript, whatever the Unicode
//   normalization of the text: what --exact matches.
// The letters and their marks are those of the composer's letter table,
// read in NFC, since the index holds the documents' NFC text. Punctuation
// and blanks part words; editorial brackets inside a word ("μῆ[νιν]") and
// combining marks do not. Latin letters and digits are words too.

namespace scrivel::search {

// A word: where it stands in the line (bytes), and where its forms stand
// in the splitter's buffers.
struct Word {
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::uint32_t folded_begin = 0;
  std::uint32_t folded_end = 0;
  std::uint32_t exact_begin = 0;
  std::uint32_t exact_end = 0;
};

// Splits lines into words, reusing its buffers from line to line.
class WordSplitter {
 public:
  // Splits `text`, UTF-8. Bytes that are no UTF-8 part words.
  void split(std::string_view text);

  std::span<const Word> words() const { return words_; }
  std::string_view folded(const Word& word) const {
    return std::string_view(folded_).substr(word.folded_begin, word.folded_end - word.folded_begin);
  }
  // The exact form: each letter's UTF-8 followed by one byte, 1 plus its
  // marks, so that forms compare letter by letter and a prefix ends at a
  // letter's end. It is a key, not text.
  std::string_view exact(const Word& word) const {
    return std::string_view(exact_).substr(word.exact_begin, word.exact_end - word.exact_begin);
  }
  // Whether the line ends with a hyphen right after its last word, which
  // the next line's first word goes on.
  bool last_word_broken() const { return last_word_broken_; }

 private:
  std::vector<Word> words_;
  std::string folded_;
  std::string exact_;
  bool last_word_broken_ = false;
};

// What the index holds between one line and the next of a work, a word
// itself, so that phrases are found across line ends.
inline constexpr std::string_view line_end_word = "\u00B6";

// The words the index holds for each line of a work: the line's own words,
// where the last is broken by a hyphen joined with the next line's first
// word, which that line then leaves out (Πελο- / ποννησίων is one word,
// found at the line where it begins). Calls, for each line in order,
// `word(line, split, word, next_split, next_word)` for each of its words
// (`next_split` is null but for a joined word, whose second part
// `next_word` is) and then `line_end(line, last)`, `last` where no line of
// the work follows.
template <typename OnWord, typename OnLineEnd>
void visit_indexed_words(std::span<const std::string_view> lines, OnWord&& word, OnLineEnd&& line_end) {
  WordSplitter this_line;
  WordSplitter next_line;
  std::size_t first_own = 0;  // of this line's words; 1 where the line before took the first
  if (!lines.empty()) this_line.split(lines[0]);
  for (std::size_t line = 0; line < lines.size(); ++line) {
    const bool last = line + 1 == lines.size();
    if (!last) next_line.split(lines[line + 1]);
    const std::span<const Word> words = this_line.words();
    const bool joins = this_line.last_word_broken() && !last && words.size() > first_own &&
                       !next_line.words().empty();
    const std::size_t own_end = words.size() - (joins ? 1 : 0);
    for (std::size_t i = first_own; i < own_end; ++i) word(line, this_line, words[i], nullptr, words[i]);
    if (joins) word(line, this_line, words.back(), &next_line, next_line.words().front());
    line_end(line, last);
    first_own = joins ? 1 : 0;
    std::swap(this_line, next_line);
  }
}

}  // namespace scrivel::search
