// The queries of scrivel-corpus search: what each parses into, and where
// and why a wrong one is refused.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "search/query.h"

namespace scrivel::search {
namespace {

// A tree in one line: a word as its text and "*" for a prefix, "a b" a
// phrase, NEAR(a b,N), AND(...), OR(...).
std::string shown(const QueryNode& node) {
  std::string text;
  const auto list = [&](const auto& items, auto show, std::string_view open) {
    text += open;
    for (const auto& item : items) {
      if (&item != &items.front()) text += ' ';
      text += show(item);
    }
  };
  const auto word = [](const QueryWord& word) { return word.prefix ? word.text + '*' : word.text; };
  switch (node.kind) {
    case QueryNode::Kind::word:
      return word(node.words.at(0));
    case QueryNode::Kind::phrase:
      list(node.words, word, "\"");
      return text + '"';
    case QueryNode::Kind::near:
      list(node.children, shown, "NEAR(");
      return text + ',' + std::to_string(node.distance) + ')';
    case QueryNode::Kind::all_of:
      list(node.children, shown, "AND(");
      return text + ')';
    case QueryNode::Kind::any_of:
      list(node.children, shown, "OR(");
      return text + ')';
  }
  return text;
}

std::string parsed(std::string_view query) {
  const auto result = parse_query(query);
  if (const auto* error = std::get_if<QueryError>(&result))
    return "error at " + std::to_string(error->offset) + ": " + error->message;
  return shown(std::get<QueryNode>(result));
}

TEST(Query, ParsesWordsPhrasesNearAndOperators) {
  const struct {
    std::string_view query, tree;
  } cases[] = {
      // Greek, kept as typed, a combining accent too; a prefix.
      {"λόγος", "λόγος"},
      {"λο\u0301γος", "λο\u0301γος"},
      {"λογ*", "λογ*"},
      // Beta Code, in capitals or not, decoded to NFC; a prefix's sigma ends its word.
      {"lo/gos", "λόγος"},
      {"LO/GOS", "λόγος"},
      {"logos", "λογος"},
      {"*LO/GOS", "Λόγος"},
      {"*lo/gos", "Λόγος"},
      {"lo/g*", "λόγ*"},
      {"logis*", "λογις*"},
      // Breathings beside the parentheses of the query.
      {"ou)", "οὐ"},
      {"*(/omhros", "Ὅμηρος"},
      {"(ou) OR mh/ )", "OR(οὐ μή)"},
      {"( lo/gos )", "λόγος"},
      {"(ou) )", "οὐ"},
      {"(a( OR b )(g )", "AND(OR(ἁ β) γ)"},
      // Phrases; operators are words inside them.
      {"\"μῆνιν ἄειδε\"", "\"μῆνιν ἄειδε\""},
      {"\"mh=nin a)/eide\"", "\"μῆνιν ἄειδε\""},
      {"\"λόγος OR θεός\"", "\"λόγος OR θεός\""},
      {"\"λογ*\"", "\"λογ*\""},
      // NEAR, its distance, phrases inside it.
      {"NEAR(μῆνιν θεά)", "NEAR(μῆνιν θεά,10)"},
      {"NEAR( μῆνιν \"ἄειδε θεά\" , 5 )", "NEAR(μῆνιν \"ἄειδε θεά\",5)"},
      {"NEAR(mh=nin qea/, 0)", "NEAR(μῆνιν θεά,0)"},
      {"NEAR(mh=nin qea/ )", "NEAR(μῆνιν θεά,10)"},
      {"NEAR(a b,1000)", "NEAR(α β,1000)"},
      // AND binds tighter than OR; units side by side are ANDed; groups.
      {"α β OR γ", "OR(AND(α β) γ)"},
      {"α OR β AND γ", "OR(α AND(β γ))"},
      {"α AND β OR γ δ", "OR(AND(α β) AND(γ δ))"},
      {"(α OR β) γ", "AND(OR(α β) γ)"},
      {"α (β OR (γ δ))", "AND(α OR(β AND(γ δ)))"},
      {"α\"β γ\"NEAR(δ ε)", "AND(α \"β γ\" NEAR(δ ε,10))"},
      // Operators only in capitals and alone; a comma outside NEAR is a character.
      {"α and β Or γ", "AND(α and β Or γ)"},
      {"NEAR (α β)", "AND(NEAR AND(α β))"},
      {"α,β", "α,β"},
      {" \tα\r\nβ ", "AND(α β)"},
  };
  for (const auto& [query, tree] : cases) EXPECT_EQ(parsed(query), tree) << query;
}

TEST(Query, WordsKeepTheirOffsets) {
  const QueryNode node = std::get<QueryNode>(parse_query("  λόγος \"mh=nin qea/*\""));
  ASSERT_EQ(node.children.size(), 2u);
  EXPECT_EQ(node.children[0].words.at(0).offset, 2u);
  const std::vector<QueryWord>& phrase = node.children[1].words;
  ASSERT_EQ(phrase.size(), 2u);
  EXPECT_EQ(phrase[0].offset, 14u);
  EXPECT_EQ(phrase[1].offset, 21u);
  EXPECT_FALSE(phrase[0].prefix);
  EXPECT_TRUE(phrase[1].prefix);
}

std::string repeated(std::string_view text, std::size_t times) {
  std::string all;
  for (std::size_t i = 0; i < times; ++i) all += text;
  return all;
}

TEST(Query, TakesQueriesUpToEachLimit) {
  EXPECT_EQ(parsed(repeated("(", 31) + "NEAR(α β)" + repeated(" )", 31)), "NEAR(α β,10)");
  EXPECT_EQ(parsed(repeated("( ", 32) + "a" + repeated(" )", 32)), "α");
  EXPECT_EQ(parsed(repeated("α ", 64)).substr(0, 9), "AND(α α");
  EXPECT_EQ(parsed(repeated("α", max_query_bytes / 2)).size(), max_query_bytes);
}

TEST(Query, RefusesWhatIsWrongWhereItIs) {
  const struct {
    std::string query;
    std::size_t offset;
    std::string_view message;
  } cases[] = {
      {"", 0, "the query is empty"},
      {" \t ", 0, "only blanks"},
      {"\"μῆνιν ἄειδε", 0, "\" opens a phrase that is never closed"},
      {"α \"β\" \"γ", 8, "\" opens a phrase that is never closed"},
      {"(α OR β", 0, "( is never closed"},
      {"(α (β)", 0, "( is never closed"},
      {"( lo/gos)", 0, "in Beta Code a ) touching a word is a breathing"},
      {"NEAR(a b)", 0, "NEAR( is never closed"},
      {"α β)", 5, ") closes no ("},
      {") α", 0, ") closes no ("},
      {"( )", 0, "( ) holds nothing"},
      {"OR λογος", 0, "OR has no word, phrase or group before it"},
      {"λογος AND", 11, "AND has no word, phrase or group after it"},
      {"AND", 0, "AND has no word"},
      {"α OR OR β", 3, "OR has no word, phrase or group after it"},
      {"(α AND) β", 4, "AND has no word"},
      {"NEAR()", 0, "NEAR( ) holds fewer than two words or phrases"},
      {"NEAR(α)", 0, "fewer than two"},
      {"NEAR(, 5)", 0, "fewer than two"},
      {"NEAR(α (β))", 8, "a group cannot stand inside NEAR( )"},
      {"NEAR(α OR β)", 8, "OR cannot stand inside NEAR( )"},
      {"NEAR(α NEAR(β γ))", 8, "NEAR( cannot stand inside NEAR( )"},
      {"\"\"", 0, "the phrase \"\" holds no word"},
      {"\"α (β\"", 4, "a parenthesis cannot stand inside a phrase"},
      {"NEAR(α β, x)", 12, "the distance of NEAR( ) is no number"},
      {"NEAR(α β, -1)", 12, "no number"},
      {"NEAR(α β,1001)", 11, "more than 1000"},
      {"NEAR(α β, 99999999999999999999)", 12, "more than 1000"},
      {"NEAR(α β, )", 10, "no distance"},
      {"NEAR(α β, 5 γ)", 14, "should close after its distance"},
      {"NEAR(α β, 5", 0, "NEAR( is never closed"},
      {"λο*γος", 4, "a * can only end a word"},
      {"λογος*θεος*", 10, "a * can only end a word"},
      {"*", 0, "a word of * alone"},
      {"α \"β **\"", 7, "a word of * alone"},
      {"lo/gos **", 7, "a word of * alone"},
      {"$", 0, "the word $ stands for no text in Beta Code"},
      {"λογος \xff", 11, "no valid UTF-8"},
      {"λογος \xce", 11, "no valid UTF-8"},
      {"\xc0\xaf λογος", 0, "no valid UTF-8"},
      {"λογος \xed\xa0\x80", 11, "no valid UTF-8"},
      {repeated("(", 33) + "α" + repeated(")", 33), 32, "nested more than 32 deep"},
      {repeated("(", 32) + "NEAR(α β)" + repeated(" )", 32), 32, "nested more than 32 deep"},
      {repeated("α ", 64) + "\"β γ\"", 193, "more than 64 words"},
      {repeated("α", max_query_bytes / 2) + " ", max_query_bytes, "longer than 4096 bytes"},
  };
  for (const auto& [query, offset, message] : cases) {
    const auto result = parse_query(query);
    const auto* error = std::get_if<QueryError>(&result);
    ASSERT_NE(error, nullptr) << query;
    EXPECT_EQ(error->offset, offset) << query;
    EXPECT_NE(error->message.find(message), std::string::npos) << query << ": " << error->message;
  }
}

TEST(Query, RefusesAHugeQueryAtOnce) {
  const std::string huge = repeated("(λόγος ", 150'000);
  const auto start = std::chrono::steady_clock::now();
  const auto result = parse_query(huge);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  ASSERT_TRUE(std::holds_alternative<QueryError>(result));
  // Shown around its fault, not whole.
  const std::string text = describe(std::get<QueryError>(result), huge);
  EXPECT_LT(text.size(), 400u);
  EXPECT_TRUE(text.starts_with("the query is longer than 4096 bytes\n...")) << text;
}

TEST(Query, DescribesAFaultWithACaretUnderItsCharacter) {
  const struct {
    std::string query, description;
  } cases[] = {
      {"λόγος θε*ός", "a * can only end a word\nλόγος θε*ός\n        ^\n"},
      // A combining accent takes no column; a tab shows as a blank.
      {"λο\u0301γ*ος", "a * can only end a word\nλο\u0301γ*ος\n   ^\n"},
      {"α\tβ)", "this ) closes no (\nα β)\n   ^\n"},
      {"", "the query is empty\n\n^\n"},
      {"α \xff", "the query is no valid UTF-8 from here on\nα ?\n  ^\n"},
  };
  for (const auto& [query, description] : cases)
    EXPECT_EQ(describe(std::get<QueryError>(parse_query(query)), query), description);

  // A long query is shown in 80 columns, its fault 20 from the right.
  const std::string tail = repeated("β ", 50) + "*";
  const std::string text = describe(std::get<QueryError>(parse_query(tail)), tail);
  EXPECT_EQ(text, "a word of * alone stands for no word\n..." + repeated("β ", 30) + "*\n" +
                      std::string(63, ' ') + "^\n");
}

}  // namespace
}  // namespace scrivel::search
