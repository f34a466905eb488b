#include "serve/library.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>
#include <variant>

#include "files.h"
#include "output/passage.h"
#include "scrivel.h"
#include "search/index.h"
#include "search/search.h"
#include "search/searcher.h"
#include "search/sqlite.h"
#include "search/utf8.h"
#include "serve/assets.h"
#include "serve/pages.h"

namespace scrivel::serve {

// urn:cts:greekLit:tlg0012.tlg001, and a passage after a colon: the passage
// as the index writes it, letters, digits, "_" and ".".
struct WorkAddress {
  int author = 0;
  int work = 0;
  std::string passage;
};

namespace {

using search::Database;
using search::Statement;
using Json = nlohmann::ordered_json;

constexpr std::string_view html_type = "text/html; charset=utf-8";
constexpr std::string_view json_type = "application/json";
constexpr std::size_t max_page = 1000000;
constexpr std::size_t max_passage = 256;
// Where each hit must be read again to be counted (an exact search, a
// phrase), the counts per work are of the first hits only: counting a
// frequent word's hundreds of thousands would hold a turn for seconds.
constexpr std::size_t counted_hits = 10000;
// An exact search of a frequent word's rare form reads again every line
// with the word: a request stops after this many that do not match.
constexpr std::size_t lines_missed = 20000;

Response response_of(int status, std::string_view type, std::string body) {
  Response response;
  response.status = status;
  response.content_type = type;
  response.body = std::move(body);
  return response;
}

Response html(int status, std::string body) { return response_of(status, html_type, std::move(body)); }

Response json(int status, const Json& value) {
  return response_of(status, json_type, value.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n");
}

Response html_message(int status, std::string_view title, std::string_view message) {
  return html(status, message_page(title, message));
}

Response json_message(int status, std::string_view message) { return json(status, {{"error", message}}); }

// A whole decimal number of `digits` digits.
std::optional<int> number_of(std::string_view text, std::size_t digits) {
  int value = 0;
  if (text.size() != digits || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "tlg0012": an author's address.
std::optional<int> author_named(std::string_view name) {
  if (!name.starts_with("tlg")) return std::nullopt;
  return number_of(name.substr(3), 4);
}

std::optional<WorkAddress> work_named(std::string_view urn) {
  if (!urn.starts_with(urn_namespace)) return std::nullopt;
  urn.remove_prefix(urn_namespace.size());
  const std::size_t dot = urn.find('.');
  const std::size_t colon = urn.find(':');
  if (dot == std::string_view::npos || dot > colon) return std::nullopt;
  const std::optional<int> author = author_named(urn.substr(0, dot));
  const std::string_view work_name = urn.substr(dot + 1, colon == std::string_view::npos ? colon : colon - dot - 1);
  if (!author || !work_name.starts_with("tlg")) return std::nullopt;
  const std::optional<int> work = number_of(work_name.substr(3), 3);
  if (!work) return std::nullopt;
  WorkAddress address{*author, *work, {}};
  if (colon == std::string_view::npos) return address;
  const std::string_view passage = urn.substr(colon + 1);
  const bool allowed = !passage.empty() && passage.size() <= max_passage &&
                       passage.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_.") ==
                           std::string_view::npos;
  if (!allowed) return std::nullopt;
  address.passage = passage;
  return address;
}

Database open_index(const std::filesystem::path& path) {
  Database db(path.string(), Database::Mode::read_only);
  db.execute("PRAGMA mmap_size = 17179869184");
  return db;
}

std::vector<std::string> split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  while (!text.empty()) {
    const std::size_t at = text.find(separator);
    parts.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + separator.size());
  }
  return parts;
}

AuthorEntry author_of(Statement& row) {
  return {static_cast<int>(row.integer(0)), std::string(row.text(1)), std::string(row.text(2)), row.integer(3)};
}

std::vector<AuthorEntry> authors_in(Database& db) {
  Statement rows = db.prepare(
      "SELECT a.author, a.name, a.synonyms, (SELECT count(*) FROM works w WHERE w.author = a.author) "
      "FROM authors a ORDER BY a.author");
  std::vector<AuthorEntry> authors;
  while (rows.step()) authors.push_back(author_of(rows));
  return authors;
}

std::optional<AuthorEntry> author_in(Database& db, int author) {
  Statement row = db.prepare(
      "SELECT a.author, a.name, a.synonyms, (SELECT count(*) FROM works w WHERE w.author = a.author) "
      "FROM authors a WHERE a.author = ?");
  row.bind(1, author);
  if (!row.step()) return std::nullopt;
  return author_of(row);
}

std::vector<WorkEntry> works_in(Database& db, int author, std::optional<int> only = std::nullopt) {
  Statement rows = db.prepare(
      "SELECT work, urn, abbreviation, title, levels, lines FROM works WHERE author = ? AND (? < 0 OR work = ?) "
      "ORDER BY work");
  rows.bind(1, author).bind(2, only.value_or(-1)).bind(3, only.value_or(-1));
  std::vector<WorkEntry> works;
  while (rows.step())
    works.push_back({author, static_cast<int>(rows.integer(0)), std::string(rows.text(1)), std::string(rows.text(2)),
                     std::string(rows.text(3)), std::string(rows.text(4)), rows.integer(5)});
  return works;
}

// The lines of a work, in order, that the address's passage holds: the
// passage itself and those within it (1.5 within book 1), or all where it
// names none. Their passage, citation and text.
Statement lines_of(Database& db, const WorkAddress& address) {
  Statement rows = db.prepare(
      "SELECT passage, citation, text FROM lines WHERE id >= ? AND id < ? AND (?3 = '' OR passage = ?3 OR "
      "substr(passage, 1, length(?3) + 1) = ?3 || '.') ORDER BY id");
  rows.bind(1, search::first_id_of_work(address.author, address.work))
      .bind(2, search::first_id_of_work(address.author, address.work + 1))
      .bind(3, address.passage);
  return rows;
}

// The first line of the passage: the line to open at; nothing where the
// work has no such passage.
std::optional<std::string> line_of_passage(Database& db, const WorkAddress& address) {
  Statement rows = lines_of(db, address);
  if (!rows.step()) return std::nullopt;
  return std::string(rows.text(0));
}

Json author_json(const AuthorEntry& author) {
  return {{"author", author.author},
          {"name", author.name},
          {"synonyms", split(author.synonyms, "; ")},
          {"works", author.works}};
}

Json work_json(const WorkEntry& work) {
  return {{"urn", work.urn},       {"author", work.author}, {"work", work.work},
          {"abbreviation", work.abbreviation}, {"title", work.title},
          {"levels", split(work.levels, ".")}, {"lines", work.lines}};
}

// A document handed on buffer by buffer, as the writer fills them.
class StreamedDocument final : public OutputFile {
 public:
  explicit StreamedDocument(const PieceWriter& write) : write_(write), buffer_(min_lent) {}
  std::span<char> next_buffer(std::size_t used) override {
    hand_on(used);
    return buffer_;
  }
  bool close(std::size_t used) override {
    hand_on(used);
    return taken_;
  }

 private:
  void hand_on(std::size_t used) {
    if (used > 0 && taken_) taken_ = write_({buffer_.data(), used});
  }

  const PieceWriter& write_;
  std::vector<char> buffer_;
  bool taken_ = true;  // false once the client is gone
};

// What a reading page's conversion writes into: its one document, handed on.
class ReadingPageFiles final : public FileSystem {
 public:
  explicit ReadingPageFiles(const PieceWriter& write) : write_(write) {}
  FileText read_text(const std::string&) override { return {}; }
  std::unique_ptr<InputFile> open_input(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> create_output(const std::string&) override {
    return std::make_unique<StreamedDocument>(write_);
  }

 private:
  const PieceWriter& write_;
};

// Converts the work from its author file into the reading page's text,
// handed on as it is decoded; says so where it could not be read to its end.
void write_reading_text(InputFile& author_file, const std::string& path, const WorkEntry& work,
                        const PieceWriter& write) {
  ReadingPageFiles files(write);
  std::ostringstream messages;
  Request request{work.author, work.work, Format::html, Normalization::none, path, {}, {}};
  request.reading_page = true;
  const Outcome outcome = convert(author_file, request, files, messages);
  if (outcome.status != 0 || outcome.reports.ended_early()) {
    std::string why = outcome.reports.fatal_message.empty() ? messages.str() : outcome.reports.fatal_message;
    while (why.ends_with('\n')) why.pop_back();
    write(text_cut_short(why));
  }
}

// "12, 59:3": the authors and works a search keeps to.
std::optional<std::vector<corpus::Target>> targets_of(std::string_view text) {
  std::vector<corpus::Target> targets;
  for (const std::string& part : split(text, ",")) {
    const std::size_t first = part.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    const std::optional<corpus::Target> target =
        corpus::target_of(std::string_view(part).substr(first, part.find_last_not_of(' ') - first + 1));
    if (!target) return std::nullopt;
    targets.push_back(*target);
  }
  return targets;
}

std::string parameter(const Parameters& parameters, const std::string& name) {
  const auto found = parameters.find(name);
  return found == parameters.end() ? std::string() : found->second;
}

// The search form as asked; an error where a parameter is none.
std::optional<SearchForm> search_form_of(const Parameters& parameters, std::string& error) {
  SearchForm form;
  form.query = parameter(parameters, "q");
  const std::string exact = parameter(parameters, "exact");
  form.exact = exact == "1" || exact == "on" || exact == "true";
  form.within = parameter(parameters, "within");
  if (const std::string page = parameter(parameters, "page"); !page.empty()) {
    std::size_t value = 0;
    const auto [end, failure] = std::from_chars(page.data(), page.data() + page.size(), value);
    if (failure != std::errc{} || end != page.data() + page.size() || value < 1 || value > max_page) {
      error = "page must be a number from 1 to " + std::to_string(max_page) + ", not '" + page + "'";
      return std::nullopt;
    }
    form.page = value;
  }
  std::optional<std::vector<corpus::Target>> targets = targets_of(form.within);
  if (!targets) {
    error = "within takes authors and works, such as 12, 59:3; not '" + form.within + "'";
    return std::nullopt;
  }
  form.targets = std::move(*targets);
  return form;
}

// A work's lines, or those of a passage of it, from the index.
Response api_work(Database& db, const WorkAddress& address) {
  const std::optional<AuthorEntry> author = author_in(db, address.author);
  const std::vector<WorkEntry> works = works_in(db, address.author, address.work);
  const std::string urn = work_urn(address.author, address.work);
  if (!author || works.empty()) return json_message(404, urn + " is not in the index");
  Statement rows = lines_of(db, address);
  Json lines = Json::array();
  while (rows.step()) {
    const std::string_view passage = rows.text(0);
    lines.push_back({{"urn", passage.empty() ? urn : urn + ":" + std::string(passage)},
                     {"citation", rows.text(1)},
                     {"text", rows.text(2)}});
  }
  if (!address.passage.empty() && lines.empty()) return json_message(404, urn + " has no passage " + address.passage);
  Json result = work_json(works.front());
  result["name"] = author->name;
  result["lines"] = lines;
  return json(200, result);
}

search::WorkCounts counts_of(search::SearchIndex& index, const search::Question& question, bool exact,
                             const std::vector<corpus::Target>& within) {
  if (search::counted_by_the_index_alone(question, exact)) return index.counts(question, exact, within);
  return index.counts(question, exact, within, counted_hits);
}

}  // namespace

std::string Response::whole() const {
  std::string all = body;
  if (rest) rest([&all](std::string_view piece) {
      all += piece;
      return true;
    });
  return all;
}

TurnGate::Turn TurnGate::enter() {
  std::unique_lock lock(mutex_);
  const std::uint64_t mine = entered_++;
  next_.wait(lock, [&] { return mine < left_ + at_once_; });
  return Turn(*this);
}

void TurnGate::leave() {
  {
    const std::lock_guard lock(mutex_);
    ++left_;
  }
  next_.notify_all();
}

Library::Library(LibrarySettings settings)
    : settings_(std::move(settings)), searches_(std::max(2u, std::thread::hardware_concurrency())) {
  try {
    search::SearchIndex check(settings_.database);
  } catch (const std::runtime_error& failure) {
    throw LibraryUnavailable(failure.what());
  }
  if (!settings_.font.empty()) {
    std::ifstream file(settings_.font, std::ios::binary);
    font_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
}

Response Library::respond(std::string_view path, const Parameters& parameters) const {
  const bool api = path.starts_with("/api/");
  try {
    if (path == "/") {
      Database db = open_index(settings_.database);
      return html(200, authors_page(authors_in(db)));
    }
    if (path == "/search") return search_response(parameters);
    if (path.starts_with("/static/")) return asset(path.substr(8));
    if (path == "/favicon.ico") return asset("icon.svg");  // where browsers look for it unasked
    if (api) return api_response(path.substr(5), parameters);
    if (!path.starts_with('/')) return html_message(404, "Not found", "There is no such page in the library.");
    return page(path.substr(1));
  } catch (const std::runtime_error& failure) {
    const std::string message = std::string("The index cannot be read: ") + failure.what();
    return api ? json_message(500, message) : html_message(500, "The index cannot be read", message);
  }
}

Response Library::page(std::string_view name) const {
  if (const std::optional<int> author = author_named(name)) {
    Database db = open_index(settings_.database);
    const std::optional<AuthorEntry> entry = author_in(db, *author);
    if (!entry) return html_message(404, "No such author", text_group_name(*author) + " is not in the index.");
    return html(200, works_page(*entry, works_in(db, *author)));
  }
  if (const std::optional<WorkAddress> address = work_named(name)) return work_page(*address);
  return html_message(404, "Not found", "There is no page /" + std::string(name) + " in the library.");
}

Response Library::work_page(const WorkAddress& address) const {
  Database db = open_index(settings_.database);
  const std::optional<AuthorEntry> author = author_in(db, address.author);
  const std::vector<WorkEntry> works = works_in(db, address.author, address.work);
  const std::string urn = work_urn(address.author, address.work);
  if (!author || works.empty()) return html_message(404, "No such work", urn + " is not in the index.");
  std::string line;
  if (!address.passage.empty()) {
    const std::optional<std::string> found = line_of_passage(db, address);
    if (!found) return html_message(404, "No such passage", urn + " has no passage " + address.passage + ".");
    line = *found;
  }
  const std::string path = settings_.author_file(address.author);
  DiskFiles disk;
  const std::shared_ptr<InputFile> input = disk.open_input(path);
  if (!input)
    return html_message(503, "The text cannot be shown",
                        "The author file " + path +
                            " cannot be opened: is the library serving the corpus it indexed (--corpus)?");
  Response response = html(200, work_page_start(*author, works.front(), line));
  response.rest = [input, path, work = works.front()](const PieceWriter& write) {
    write_reading_text(*input, path, work, write);
    write(work_page_end());
  };
  return response;
}

Response Library::search_response(const Parameters& parameters) const {
  std::string error;
  const std::optional<SearchForm> form = search_form_of(parameters, error);
  if (!form) {
    SearchForm asked;
    asked.query = parameter(parameters, "q");
    return html(400, search_page(asked, nullptr, error));
  }
  if (form->query.empty()) return html(200, search_page(*form, nullptr, {}));
  const auto question = search::parse_question(form->query);
  if (const auto* fault = std::get_if<search::QueryError>(&question))
    return html(400, search_page(*form, nullptr, search::describe(*fault, form->query)));
  const SearchResults results = searched(*form, std::get<search::Question>(question), true, true);
  return html(200, search_page(*form, &results, {}));
}

SearchResults Library::searched(const SearchForm& form, const search::Question& question, bool hits,
                                bool counts) const {
  const TurnGate::Turn turn = searches_.enter();
  search::SearchIndex index(settings_.database);
  index.limit_misses(lines_missed);
  SearchResults results;
  if (hits) {
    search::SearchIndex::HitPage page =
        index.hits(question, form.exact, form.targets, (form.page - 1) * hits_per_page, hits_per_page);
    results.hits = std::move(page.hits);
    results.more = page.more;
  }
  if (counts) {
    search::WorkCounts counted = counts_of(index, question, form.exact, form.targets);
    results.counts = std::move(counted.works);
    results.more_than_counted = counted.more;
  }
  results.cut_short = index.cut_short();
  return results;
}

Response Library::api_response(std::string_view name, const Parameters& parameters) const {
  if (name == "search" || name == "count") {
    std::string error;
    const std::optional<SearchForm> form = search_form_of(parameters, error);
    if (!form) return json_message(400, error);
    const auto question = search::parse_question(form->query);
    if (const auto* fault = std::get_if<search::QueryError>(&question))
      return json(400, {{"error", fault->message}, {"offset", search::characters_before(form->query, fault->offset)}});
    const bool counting = name == "count";
    const SearchResults results = searched(*form, std::get<search::Question>(question), !counting, counting);
    if (counting) {
      Json works = Json::array();
      std::uint64_t total = 0;
      for (const search::WorkCount& count : results.counts) {
        works.push_back(search::count_json(count));
        total += count.hits;
      }
      return json(200, {{"works", works}, {"total", total}, {"more", results.more_than_counted},
                        {"cut_short", results.cut_short}});
    }
    Json hits = Json::array();
    for (const search::Hit& hit : results.hits) hits.push_back(search::hit_json(hit));
    return json(200, {{"query", form->query}, {"exact", form->exact}, {"within", form->within},
                      {"page", form->page}, {"hits", hits}, {"more", results.more}, {"cut_short", results.cut_short}});
  }
  Database db = open_index(settings_.database);
  if (name == "authors") {
    Json authors = Json::array();
    for (const AuthorEntry& author : authors_in(db)) authors.push_back(author_json(author));
    return json(200, {{"authors", authors}});
  }
  if (const std::optional<int> author = author_named(name)) {
    const std::optional<AuthorEntry> entry = author_in(db, *author);
    if (!entry) return json_message(404, text_group_name(*author) + " is not in the index");
    Json result = author_json(*entry);
    Json works = Json::array();
    for (const WorkEntry& work : works_in(db, *author)) works.push_back(work_json(work));
    result["works"] = works;
    return json(200, result);
  }
  if (const std::optional<WorkAddress> address = work_named(name)) return api_work(db, *address);
  return json_message(404, "no such address: /api/" + std::string(name));
}

Response Library::asset(std::string_view name) const {
  Response response;
  if (name == "scrivel.css") {
    response = response_of(200, "text/css; charset=utf-8", std::string(style_sheet));
  } else if (name == "scrivel.js") {
    response = response_of(200, "text/javascript; charset=utf-8", std::string(script));
  } else if (name == "icon.svg") {
    response = response_of(200, "image/svg+xml", std::string(icon));
  } else if (name == "greek.ttf" && !font_.empty()) {
    response = response_of(200, "font/ttf", font_);
  } else {
    return html_message(404, "Not found", "There is no file /static/" + std::string(name) + " in the library.");
  }
  response.cacheable = true;
  return response;
}

}  // namespace scrivel::serve
