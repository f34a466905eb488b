// Fuzzes the query parser of `scrivel-corpus search` over any bytes: it must
// end without throwing, with an error inside the query or a tree that keeps
// the parser's bounds.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "search/query.h"

namespace {

using scrivel::search::QueryNode;
using scrivel::search::QueryWord;

// What the parser guarantees of every node, down from `node` at `depth`;
// counts the words into `words`. A query is Greek where it holds a byte above
// 0x7F. Returns "" or the fault.
std::string tree_fault(const QueryNode& node, std::string_view query, bool greek, int depth, std::size_t& words) {
  // Each group or NEAR( ) adds at most an OR and an AND above what it holds.
  if (depth > 2 * (scrivel::search::max_query_nesting + 1) + 1) return "a tree deeper than the nesting allows";
  for (const QueryWord& word : node.words) {
    ++words;
    if (word.text.empty()) return "an empty word";
    if (word.offset >= query.size()) return "a word's offset past the query";
    // A Greek word is kept as typed, and is followed by its "*" if a prefix.
    if (greek && query.substr(word.offset, word.text.size() + word.prefix) != word.text + (word.prefix ? "*" : ""))
      return "a Greek word not as typed";
  }
  using Kind = QueryNode::Kind;
  switch (node.kind) {
    case Kind::word:
      if (node.words.size() != 1 || !node.children.empty()) return "a word node without one word";
      break;
    case Kind::phrase:
      if (node.words.empty() || !node.children.empty()) return "a phrase without words";
      break;
    case Kind::near:
      if (node.children.size() < 2 || !node.words.empty()) return "NEAR with fewer than two children";
      if (node.distance < 0 || node.distance > scrivel::search::max_near_distance)
        return "NEAR's distance out of range";
      for (const QueryNode& child : node.children)
        if (child.kind != Kind::word && child.kind != Kind::phrase) return "NEAR holding more than words and phrases";
      break;
    case Kind::all_of:
    case Kind::any_of:
      if (node.children.size() < 2 || !node.words.empty()) return "AND or OR with fewer than two children";
      break;
  }
  for (const QueryNode& child : node.children)
    if (std::string fault = tree_fault(child, query, greek, depth + 1, words); !fault.empty()) return fault;
  return "";
}

std::string query_fault(std::string_view query) {
  const auto result = scrivel::search::parse_query(query);
  if (const auto* error = std::get_if<scrivel::search::QueryError>(&result)) {
    if (error->offset > query.size()) return "an error's offset past the query";
    if (error->message.empty()) return "an error without a message";
    const std::string description = scrivel::search::describe(*error, query);
    if (!description.ends_with("^\n")) return "a description without its caret";
    return "";
  }
  if (query.size() > scrivel::search::max_query_bytes) return "a query past the length limit parsed";
  const bool greek = std::ranges::any_of(query, [](char ch) { return static_cast<unsigned char>(ch) > 0x7F; });
  std::size_t words = 0;
  if (std::string fault = tree_fault(std::get<QueryNode>(result), query, greek, 1, words); !fault.empty()) return fault;
  if (words == 0 || words > scrivel::search::max_query_words) return "a tree with no words or too many";
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const std::string fault = query_fault(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
