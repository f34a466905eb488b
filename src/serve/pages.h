#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/searcher.h"

// The web library's pages, as HTML: every value from the index and the
// tables is escaped where it is written (as XML escapes it, every attribute
// in double quotes), so that a title holding markup shows as text.
namespace scrivel::serve {

// Text escaped for a URL's query, as a form sends it.
std::string query_escaped(std::string_view text);

struct AuthorEntry {
  int author = 0;
  std::string name;
  std::string synonyms;  // joined by "; "
  std::int64_t works = 0;
};

struct WorkEntry {
  int author = 0;
  int work = 0;
  std::string urn;
  std::string abbreviation;
  std::string title;
  std::string levels;  // joined by "."
  std::int64_t lines = 0;
};

// What a work is called where it has no title: its abbreviation, else its number.
std::string work_label(const WorkEntry& work);

std::string authors_page(const std::vector<AuthorEntry>& authors);
std::string works_page(const AuthorEntry& author, const std::vector<WorkEntry>& works);
// A work's reading page: what stands before its text and after it. The
// text is the reading page's body; `passage`, where given, is the line to
// open at and mark.
std::string work_page_start(const AuthorEntry& author, const WorkEntry& work, std::string_view passage);
std::string work_page_end();
// Said within the text where a work could not be read to its end.
std::string text_cut_short(std::string_view why);

// What the search page was asked, as its form holds it.
struct SearchForm {
  std::string query;
  bool exact = false;
  std::string within;                   // "12, 59:1"
  std::vector<corpus::Target> targets;  // what `within` names
  std::size_t page = 1;
};
struct SearchResults {
  std::vector<search::Hit> hits;
  bool more = false;
  std::vector<search::WorkCount> counts;
  bool more_than_counted = false;  // the counts are of the first hits only
  bool cut_short = false;          // an exact search stopped before reading every line it might match
};
constexpr std::size_t hits_per_page = 50;

// The form alone, the form with the results, or with why the query is none.
std::string search_page(const SearchForm& form, const SearchResults* results, std::string_view error);

// A page that says what was not found, or what went wrong.
std::string message_page(std::string_view title, std::string_view message);

}  // namespace scrivel::serve
