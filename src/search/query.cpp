#include "search/query.h"

#include <algorithm>
#include <utility>

#include "decode/plain_text.h"
#include "search/utf8.h"

namespace scrivel::search {

namespace {

bool is_blank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r'; }

enum class TokenKind { end, word, quote, open, close, near_open, and_op, or_op, comma };

struct Token {
  TokenKind kind;
  std::size_t offset;
  std::string_view text;
};

// What the parser reads a token for: a comma is a token only directly
// inside NEAR( ), and the operators are words between quotes.
enum class Context { query, phrase, near };

bool starts_unit(TokenKind kind) {
  return kind == TokenKind::word || kind == TokenKind::quote || kind == TokenKind::open ||
         kind == TokenKind::near_open;
}

// A parse over one query, which ends at the first fault: thrown as the
// QueryError that parse_query returns. Only groups and NEAR( ) recurse,
// each counted against max_query_nesting before it goes deeper.
class Parser {
 public:
  explicit Parser(std::string_view query)
      : query_(query),
        beta_code_(std::ranges::all_of(query, [](char ch) { return static_cast<unsigned char>(ch) < 0x80; })) {}

  QueryNode parse() {
    if (query_.size() > max_query_bytes) throw QueryError{max_query_bytes, "the query is longer than 4096 bytes"};
    if (!beta_code_) check_utf8();
    if (peek(Context::query).kind == TokenKind::end)
      throw QueryError{0, query_.empty() ? "the query is empty" : "the query holds only blanks"};
    QueryNode node = parse_or();
    // parse_or stops only at the end or at a ")" that closes no group.
    if (const Token rest = peek(Context::query); rest.kind != TokenKind::end)
      throw QueryError{rest.offset, "this ) closes no ("};
    return node;
  }

 private:
  void check_utf8() const {
    for (std::size_t at = 0; at < query_.size();) {
      const std::size_t length = code_point_at(query_, at).length;
      if (length == 0) throw QueryError{at, "the query is no valid UTF-8 from here on"};
      at += length;
    }
  }

  QueryNode parse_or() {
    std::vector<QueryNode> alternatives;
    alternatives.push_back(parse_and(nullptr));
    for (Token op = peek(Context::query); op.kind == TokenKind::or_op; op = peek(Context::query)) {
      take(op);
      alternatives.push_back(parse_and(&op));
    }
    return joined(QueryNode::Kind::any_of, std::move(alternatives));
  }

  // `after_operator`: the operator before the first unit, if one is.
  QueryNode parse_and(const Token* after_operator) {
    std::vector<QueryNode> units;
    units.push_back(parse_unit(after_operator));
    for (Token next = peek(Context::query);; next = peek(Context::query)) {
      if (next.kind == TokenKind::and_op) {
        take(next);
        units.push_back(parse_unit(&next));
      } else if (starts_unit(next.kind)) {
        units.push_back(parse_unit(nullptr));
      } else {
        break;
      }
    }
    return joined(QueryNode::Kind::all_of, std::move(units));
  }

  static QueryNode joined(QueryNode::Kind kind, std::vector<QueryNode> nodes) {
    if (nodes.size() == 1) return std::move(nodes.front());
    QueryNode node;
    node.kind = kind;
    node.children = std::move(nodes);
    return node;
  }

  QueryNode parse_unit(const Token* after_operator) {
    const Token token = peek(Context::query);
    switch (token.kind) {
      case TokenKind::word:
        take(token);
        return word_node(token);
      case TokenKind::quote:
        return parse_phrase(token);
      case TokenKind::open:
        return parse_group(token);
      case TokenKind::near_open:
        return parse_near(token);
      default:
        throw missing_operand(token, after_operator);
    }
  }

  // Where a unit should be there is an operator, a ")" or the end: groups
  // have ruled out "( )", and the query an empty one.
  static QueryError missing_operand(const Token& found, const Token* after_operator) {
    if (after_operator)
      return {after_operator->offset, std::string(after_operator->text) + " has no word, phrase or group after it"};
    if (found.kind == TokenKind::close) return {found.offset, "this ) closes no ("};
    return {found.offset, std::string(found.text) + " has no word, phrase or group before it"};
  }

  QueryNode parse_group(const Token& open) {
    enter(open);
    take(open);
    const Token first = peek(Context::query);
    if (first.kind == TokenKind::close) throw QueryError{open.offset, "( ) holds nothing"};
    if (first.kind == TokenKind::end) throw unclosed(open);
    QueryNode inner = parse_or();
    const Token last = peek(Context::query);
    if (last.kind != TokenKind::close) throw unclosed(open);
    take(last);
    --depth_;
    return inner;
  }

  QueryNode parse_phrase(const Token& quote) {
    take(quote);
    QueryNode phrase;
    phrase.kind = QueryNode::Kind::phrase;
    Token token = peek(Context::phrase);
    for (; token.kind != TokenKind::quote; token = peek(Context::phrase)) {
      if (token.kind == TokenKind::end) throw QueryError{quote.offset, "this \" opens a phrase that is never closed"};
      if (token.kind != TokenKind::word) throw QueryError{token.offset, "a parenthesis cannot stand inside a phrase"};
      take(token);
      phrase.words.push_back(read_word(token));
    }
    take(token);
    if (phrase.words.empty()) throw QueryError{quote.offset, "the phrase \"\" holds no word"};
    return phrase;
  }

  QueryNode parse_near(const Token& near) {
    enter(near);
    take(near);
    QueryNode node;
    node.kind = QueryNode::Kind::near;
    for (bool open = true; open;) {
      const Token token = peek(Context::near);
      switch (token.kind) {
        case TokenKind::word:
          take(token);
          node.children.push_back(word_node(token));
          break;
        case TokenKind::quote:
          node.children.push_back(parse_phrase(token));
          break;
        case TokenKind::comma:
          take(token);
          node.distance = read_distance(token, near);
          open = false;
          break;
        case TokenKind::close:
          take(token);
          open = false;
          break;
        case TokenKind::end:
          throw unclosed(near);
        case TokenKind::open:
          throw QueryError{token.offset, "a group cannot stand inside NEAR( )"};
        default:
          throw QueryError{token.offset, std::string(token.text) + " cannot stand inside NEAR( )"};
      }
    }
    if (node.children.size() < 2) throw QueryError{near.offset, "NEAR( ) holds fewer than two words or phrases"};
    --depth_;
    return node;
  }

  // The distance after NEAR's comma, up to a blank or ")", and the ")"
  // that must follow it.
  int read_distance(const Token& comma, const Token& near) {
    skip_blanks();
    const std::size_t start = pos_;
    while (pos_ < query_.size() && !is_blank(query_[pos_]) && query_[pos_] != ')') ++pos_;
    const std::string_view digits = query_.substr(start, pos_ - start);
    if (digits.empty()) throw QueryError{comma.offset, "NEAR( ) has no distance after its comma"};
    if (!std::ranges::all_of(digits, [](char ch) { return ch >= '0' && ch <= '9'; }))
      throw QueryError{start, "the distance of NEAR( ) is no number"};
    int distance = 0;
    for (const char digit : digits) {
      distance = distance * 10 + (digit - '0');
      if (distance > max_near_distance) throw QueryError{start, "the distance of NEAR( ) is more than 1000"};
    }
    skip_blanks();
    if (pos_ == query_.size()) throw unclosed(near);
    if (query_[pos_] != ')') throw QueryError{pos_, "NEAR( ) should close after its distance"};
    ++pos_;
    return distance;
  }

  QueryNode word_node(const Token& token) {
    QueryNode node;
    node.words.push_back(read_word(token));
    return node;
  }

  QueryWord read_word(const Token& token) {
    if (++words_ > max_query_words) throw QueryError{token.offset, "the query has more than 64 words"};
    std::string_view text = token.text;
    const bool prefix = text.ends_with('*');
    if (prefix) text.remove_suffix(1);
    if (text.find_first_not_of('*') == std::string_view::npos)
      throw QueryError{token.offset, "a word of * alone stands for no word"};
    return {beta_code_ ? greek_of_beta_code(text, token) : greek_as_typed(text, token), prefix, token.offset};
  }

  static std::string greek_as_typed(std::string_view text, const Token& token) {
    if (const std::size_t star = text.find('*'); star != std::string_view::npos)
      throw QueryError{token.offset + star, "a * can only end a word"};
    return std::string(text);
  }

  // Beta Code writes its letters as capitals.
  static std::string greek_of_beta_code(std::string_view text, const Token& token) {
    std::string capitals(text);
    for (char& ch : capitals)
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    std::string greek = plain_text_of_greek(capitals);
    if (greek.empty())
      throw QueryError{token.offset, "the word " + std::string(text) + " stands for no text in Beta Code"};
    return greek;
  }

  void enter(const Token& opening) {
    if (++depth_ > max_query_nesting)
      throw QueryError{opening.offset, "groups and NEAR( ) are nested more than 32 deep"};
  }

  QueryError unclosed(const Token& opening) const {
    std::string message = "this " + std::string(opening.text) + " is never closed";
    if (beta_code_ && query_.find(')') != std::string_view::npos)
      message += " (in Beta Code a ) touching a word is a breathing: leave a blank before the closing ))";
    return {opening.offset, std::move(message)};
  }

  void skip_blanks() {
    while (pos_ < query_.size() && is_blank(query_[pos_])) ++pos_;
  }

  // The token after the blanks at the reading position, which it leaves
  // there: take() passes it.
  Token peek(Context context) {
    skip_blanks();
    const std::string_view rest = query_.substr(pos_);
    if (rest.empty()) return {TokenKind::end, pos_, rest};
    const auto token = [&](TokenKind kind, std::size_t length) { return Token{kind, pos_, rest.substr(0, length)}; };
    if (rest[0] == '"') return token(TokenKind::quote, 1);
    if (rest[0] == '(') return token(TokenKind::open, 1);
    if (rest[0] == ')') return token(TokenKind::close, 1);
    if (context == Context::near && rest[0] == ',') return token(TokenKind::comma, 1);
    if (context != Context::phrase && rest.starts_with("NEAR(")) return token(TokenKind::near_open, 5);
    std::size_t length = 1;
    while (length < rest.size() && !ends_word(rest[length], context)) ++length;
    if (context != Context::phrase && rest.substr(0, length) == "AND") return token(TokenKind::and_op, length);
    if (context != Context::phrase && rest.substr(0, length) == "OR") return token(TokenKind::or_op, length);
    return token(TokenKind::word, length);
  }

  // In Beta Code a parenthesis after a word's first character is a breathing.
  bool ends_word(char ch, Context context) const {
    return is_blank(ch) || ch == '"' || (context == Context::near && ch == ',') ||
           (!beta_code_ && (ch == '(' || ch == ')'));
  }

  void take(const Token& token) { pos_ = token.offset + token.text.size(); }

  std::string_view query_;
  bool beta_code_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  std::size_t words_ = 0;
};

// A character of the query as a terminal shows it: the bytes it takes, what
// stands for it, and the columns that takes.
struct Shown {
  std::size_t length;
  std::string_view text;
  std::size_t columns;
};

bool is_combining(char32_t value) {
  return (value >= 0x300 && value <= 0x36F) || (value >= 0x1DC0 && value <= 0x1DFF) ||
         (value >= 0x20D0 && value <= 0x20FF) || (value >= 0xFE20 && value <= 0xFE2F);
}

Shown shown_at(std::string_view query, std::size_t at) {
  const CodePoint point = code_point_at(query, at);
  if (point.length == 0) return {1, "?", 1};
  if (point.value < 0x20 || (point.value >= 0x7F && point.value < 0xA0)) return {point.length, " ", 1};
  return {point.length, query.substr(at, point.length), is_combining(point.value) ? 0u : 1u};
}

// The column of the character that holds byte `offset`.
std::size_t column_of(std::string_view query, std::size_t offset) {
  std::size_t column = 0;
  for (std::size_t at = 0; at < offset;) {
    const Shown shown = shown_at(query, at);
    if (at + shown.length > offset) break;
    column += shown.columns;
    at += shown.length;
  }
  return column;
}

// A long query is shown in a window of 80 columns, shifted so that the fault
// has 20 after it.
constexpr std::size_t columns_shown = 80;
constexpr std::size_t columns_after_fault = 20;
constexpr std::string_view cut = "...";

}  // namespace

std::variant<QueryNode, QueryError> parse_query(std::string_view query) {
  try {
    return Parser(query).parse();
  } catch (QueryError& error) {
    return std::move(error);
  }
}

std::string describe(const QueryError& error, std::string_view query) {
  const std::size_t fault = column_of(query, std::min(error.offset, query.size()));
  const std::size_t last = fault + columns_after_fault;
  const std::size_t first = last > columns_shown ? last - columns_shown : 0;
  std::string line(first > 0 ? cut : "");
  const std::size_t caret = line.size() + fault - first;
  std::size_t column = 0;
  bool shown_last = false;  // a combining mark goes with the character before it
  for (std::size_t at = 0; at < query.size();) {
    const Shown shown = shown_at(query, at);
    at += shown.length;
    if (shown.columns > 0 && column >= first + columns_shown) {
      line += cut;
      break;
    }
    shown_last = shown.columns == 0 ? shown_last : column >= first;
    if (shown_last) line += shown.text;
    column += shown.columns;
  }
  return error.message + "\n" + line + "\n" + std::string(caret, ' ') + "^\n";
}

}  // namespace scrivel::search
