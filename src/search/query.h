#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The queries of `scrivel-corpus search`, read into a tree of words:
//
//   query  := or
//   or     := and ("OR" and)*
//   and    := unit (["AND"] unit)*        units side by side are ANDed
//   unit   := "(" or ")" | phrase | near | word
//   phrase := '"' word+ '"'
//   near   := "NEAR(" (word | phrase)+ ["," N] ")"    N from 0 to 1000, 10 if not given
//   word   := its characters, and a "*" after them for every word beginning so
//
// Blanks (space, tab, line feed, carriage return) separate the words. AND,
// OR and NEAR are operators only in capitals and standing alone, NEAR
// directly followed by its "(". Between quotes every word is a word, AND and
// OR too. A `"` always opens or closes a phrase, and a "," directly inside
// NEAR( ) always introduces its distance, which runs to the next blank or
// ")": `NEAR(a b, 5)`; elsewhere a comma is a character of a word. NEAR( )
// holds two words or phrases or more, and nothing else.
//
// A query that holds a byte above 0x7F is typed in Greek, in UTF-8 in any
// normalization: its words are kept as typed, "(" and ")" are always
// parentheses of the query, and a "*" may only end a word.
//
// A query all in ASCII is Beta Code, each word read into Greek as the text
// of a work is, in capitals or small letters alike: `lo/gos` and `LO/GOS`
// are λόγος, `logos` is λογος, `*LO/GOS` is Λόγος. Beta Code writes
// breathings as "(" and ")" and the capital mark as "*", so there:
//   - a "(" or ")" that starts a token (at the start of the query, after a
//     blank, or right after a quote, NEAR( or a parenthesis of the query) is
//     a parenthesis of the query; one within a word is a breathing. `ou)` is
//     οὐ, `*(/omhros` is Ὅμηρος, and `(ou) OR mh/ )` is οὐ OR μή in a group:
//     a closing parenthesis stands apart from the word before it, as in
//     `(lo/gos )` and `NEAR(lo/gos qeo/s )`.
//   - a "*" that ends a word marks the prefix; any other is the capital mark.
//     A prefix is read as a word that ends there: `logis*` is λογις*, whose
//     final sigma folding makes a sigma.
//
// What a word holds is left to the caller: its folding, its splitting where
// it holds punctuation, and whether it has letters at all.
namespace scrivel::search {

// Bounds on a query, so that any input is read quickly and in little room.
inline constexpr std::size_t max_query_bytes = 4096;
inline constexpr int max_query_nesting = 32;  // groups and NEAR( ), one inside the other
inline constexpr std::size_t max_query_words = 64;
inline constexpr int max_near_distance = 1000;

// A word of a query as the user means it: Greek text in UTF-8 (typed in
// Greek in any Unicode normalization, or decoded from Beta Code to NFC),
// and whether it stands for every word beginning so (a trailing *).
struct QueryWord {
  std::string text;
  bool prefix = false;
  std::size_t offset = 0;  // byte offset in the query where the word starts, for messages
};

struct QueryNode {
  enum class Kind { word, phrase, near, all_of, any_of };
  Kind kind = Kind::word;
  std::vector<QueryWord> words;     // word: one; phrase: its words in order
  std::vector<QueryNode> children;  // all_of (AND), any_of (OR), near (its words or phrases)
  int distance = 10;                // near: at most this many words between
};

struct QueryError {
  std::size_t offset;  // in bytes into the query, at most its length
  std::string message;
};

// Parses a query: a node, or an error saying what is wrong and where.
std::variant<QueryNode, QueryError> parse_query(std::string_view query);

// The error for a terminal, in three lines: the message, then the query (a
// window of it around the fault, where it is long), then a caret under the
// character at fault. Columns count characters, not bytes: a combining mark
// takes none, a byte that is no UTF-8 shows as "?" and a control character
// as a blank.
std::string describe(const QueryError& error, std::string_view query);

}  // namespace scrivel::search
