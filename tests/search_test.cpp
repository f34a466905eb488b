// scrivel-corpus index and search over a generated corpus whose builder
// knows where it put every word: each search must find every occurrence
// and invent none.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "author_file_builder.h"
#include "corpus_testing.h"
#include "search/searcher.h"

namespace scrivel::testing {
namespace {

namespace fs = std::filesystem;
using authorfile::Builder;

// A word of the generated text: its Beta Code, its folded form, and its
// form with accents and breathings (which --exact tells apart).
struct Vocable {
  const char* beta_code;
  const char* folded;
  const char* exact;
};
constexpr Vocable vocabulary[] = {
    {"LO/GOS", "λογοσ", "λόγος"}, {"*LO/GOS", "λογοσ", "λόγος"}, {"LO\\GOS", "λογοσ", "λὸγος"},
    {"LO/GON", "λογον", "λόγον"}, {"KAI\\", "και", "καὶ"},       {"KAI/", "και", "καί"},
    {"A)NH/R", "ανηρ", "ἀνήρ"},   {"A(/MA", "αμα", "ἅμα"},       {"A)/MA", "αμα", "ἄμα"},
    {"QEO/S", "θεοσ", "θεός"},    {"MH=NIN", "μηνιν", "μῆνιν"},  {"E)/PEA", "επεα", "ἔπεα"},
};
constexpr std::size_t vocabulary_size = std::size(vocabulary);
// The word broken across two lines, as the index holds it.
constexpr const char* broken_first = "PELO-";
constexpr const char* broken_second = "PONNHSI/WN";
constexpr const char* broken_folded = "πελοποννησιων";

// Where a word stands: author, work, line (its number, from 1).
using Place = std::tuple<int, int, int>;

// One token of a work as the index should hold it, at the line it begins.
struct Token {
  std::string folded;
  std::string exact;
  int line;
};

// The generated corpus: every work's tokens in order.
class GeneratedCorpus {
 public:
  GeneratedCorpus(const fs::path& directory, const std::vector<int>& authors, unsigned seed) : seed_(seed) {
    std::vector<authorfile::AuthorEntry> entries;
    for (const int author : authors) {
      Builder builder(author);
      builder.name("&1Auctor " + std::to_string(author) + "&");
      for (int work = 1; work <= 2; ++work) add_work(builder, author, work);
      const authorfile::AuthorFiles files = builder.finish_files();
      write(directory / tlg_name(author), files.text);
      char idt[16];
      std::snprintf(idt, sizeof idt, "tlg%04d.idt", author);
      write(directory / idt, files.id_table);
      entries.push_back(files.author);
    }
    write(directory / "authtab.dir", authorfile::author_table(entries));
  }

  // The places of the tokens for which `matches(tokens, i)` holds.
  template <typename Match>
  std::set<Place> places(Match matches) const {
    std::set<Place> found;
    for (const auto& [key, tokens] : works_)
      for (std::size_t i = 0; i < tokens.size(); ++i)
        if (matches(tokens, i)) found.insert({key.first, key.second, tokens[i].line});
    return found;
  }
  std::set<Place> word(const std::string& folded) const {
    return places([&](const auto& tokens, std::size_t i) { return tokens[i].folded == folded; });
  }
  // Lines that hold both words, at most `distance` words between them.
  std::set<Place> near(const std::string& a, const std::string& b, std::size_t distance) const {
    return places([&](const auto& tokens, std::size_t i) {
      if (tokens[i].folded != a) return false;
      for (std::size_t j = 0; j < tokens.size(); ++j) {
        const std::size_t apart = i < j ? j - i : i - j;
        if (j != i && tokens[j].folded == b && tokens[j].line == tokens[i].line && apart - 1 <= distance) return true;
      }
      return false;
    });
  }

 private:
  static void write(const fs::path& path, const authorfile::Bytes& bytes) {
    write_file(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  unsigned next() { return seed_ = seed_ * 1103515245u + 12345u, (seed_ >> 16) & 0x7FFF; }

  // Lines of three to six words; now and then one ends with a word that
  // the next line finishes.
  void add_work(Builder& builder, int author, int work) {
    builder.work(work).title("Opus " + std::to_string(work)).levels({"line"});
    std::vector<Token>& tokens = works_[{author, work}];
    bool finishing = false;
    for (int line = 1; line <= 40; ++line) {
      std::string text = "~[line " + std::to_string(line) + "]";
      if (finishing) text += std::string(broken_second) + " ";
      finishing = false;
      const unsigned count = 3 + next() % 4;
      for (unsigned i = 0; i < count; ++i) {
        const Vocable& vocable = vocabulary[next() % vocabulary_size];
        text += std::string(vocable.beta_code) + (i + 1 < count ? " " : "");
        tokens.push_back({vocable.folded, vocable.exact, line});
      }
      if (line < 40 && next() % 5 == 0) {
        text += std::string(" ") + broken_first;
        tokens.push_back({broken_folded, "Πελοποννησίων", line});
        finishing = true;
      }
      builder.unit(text);
    }
  }

  unsigned seed_;
  std::map<std::pair<int, int>, std::vector<Token>> works_;
};

struct Hits {
  int status;
  std::vector<Place> places;  // in the order written
  std::string err;
};

Hits search(const std::vector<std::string>& args) {
  std::vector<std::string> words = {"search", "--json"};
  words.insert(words.end(), args.begin(), args.end());
  const Outcome outcome = run_corpus(words);
  Hits hits{outcome.status, {}, outcome.err};
  std::istringstream lines(outcome.out);
  for (std::string line; std::getline(lines, line);) {
    const nlohmann::json hit = nlohmann::json::parse(line);
    hits.places.emplace_back(hit["author"].get<int>(), hit["work"].get<int>(),
                             std::stoi(hit["citation"].get<std::string>()));
  }
  return hits;
}

std::set<Place> set_of(const std::vector<Place>& places) { return {places.begin(), places.end()}; }

class CorpusSearch : public InFreshDirectory {
 protected:
  void SetUp() override {
    InFreshDirectory::SetUp();
    corpus_ = std::make_unique<GeneratedCorpus>("corpus", std::vector<int>{1, 2, 3}, 7);
    const Outcome built = run_corpus({"index", "--corpus", "corpus", "--db", "index.sqlite", "--jobs", "2"});
    ASSERT_EQ(built.status, 0) << built.err;
  }
  std::unique_ptr<GeneratedCorpus> corpus_;
};

// The same hits, and in corpus order.
void expect_hits(const Hits& hits, const std::set<Place>& expected, const std::string& query) {
  ASSERT_EQ(hits.status, 0) << query << ": " << hits.err;
  EXPECT_TRUE(std::is_sorted(hits.places.begin(), hits.places.end())) << query;
  EXPECT_EQ(hits.places.size(), set_of(hits.places).size()) << query << ": a line found twice";
  EXPECT_EQ(set_of(hits.places), expected) << query;
  EXPECT_FALSE(expected.empty()) << query << ": the generated corpus should hold it";
}

TEST_F(CorpusSearch, FindsEveryFormThatFoldsTheSameInGreekAndInBetaCode) {
  const std::set<Place> logos = corpus_->word("λογοσ");
  for (const std::string query : {"λογος", "λόγος", "ΛΟΓΟΣ", "λο\u0301γος", "lo/gos", "*LO/GOS", "logos", "LO\\GOS"})
    expect_hits(search({"--db", "index.sqlite", query}), logos, query);
  expect_hits(search({"--db", "index.sqlite", "πελοποννησιων"}), corpus_->word(broken_folded), "broken word");
}

TEST_F(CorpusSearch, FindsPrefixesPhrasesAcrossLinesAndCombinations) {
  const auto starts = [](const std::string& prefix) {
    return [prefix](const std::vector<Token>& tokens, std::size_t i) { return tokens[i].folded.starts_with(prefix); };
  };
  const auto phrase = [](std::vector<std::string> words) {
    return [words](const std::vector<Token>& tokens, std::size_t i) {
      for (std::size_t k = 0; k < words.size(); ++k)
        if (i + k >= tokens.size() || tokens[i + k].folded != words[k]) return false;
      return true;
    };
  };
  const auto either = [&](const char* a, const char* b) {
    std::set<Place> places = corpus_->word(a);
    places.merge(corpus_->word(b));
    return places;
  };
  const auto both = [&](const char* a, const char* b) {
    std::set<Place> places;
    const std::set<Place> second = corpus_->word(b);
    for (const Place& place : corpus_->word(a))
      if (second.contains(place)) places.insert(place);
    return places;
  };
  const std::set<Place> across = corpus_->places(phrase({"και", "λογοσ"}));
  const auto crossing = [](const std::vector<Token>& tokens, std::size_t i) {
    return i + 1 < tokens.size() && tokens[i].folded == "και" && tokens[i + 1].folded == "λογοσ" &&
           tokens[i].line != tokens[i + 1].line;
  };
  EXPECT_FALSE(corpus_->places(crossing).empty()) << "the generated corpus should hold the phrase across lines";
  const std::pair<std::string, std::set<Place>> cases[] = {
      {"λογ*", corpus_->places(starts("λογ"))},
      {"log*", corpus_->places(starts("λογ"))},
      {"\"και λογος\"", across},
      {"\"kai\\ lo/gos\"", across},
      {"\"πελοποννησιων και\"", corpus_->places(phrase({broken_folded, "και"}))},
      {"\"θεος πελοποννησιων\"", corpus_->places(phrase({"θεοσ", broken_folded}))},
      {"λογος OR ανηρ", either("λογοσ", "ανηρ")},
      {"λογος ανηρ", both("λογοσ", "ανηρ")},
      {"λογος AND ανηρ", both("λογοσ", "ανηρ")},
      {"NEAR(ανηρ θεος, 1)", corpus_->near("ανηρ", "θεοσ", 1)},
  };
  for (const auto& [query, expected] : cases) expect_hits(search({"--db", "index.sqlite", query}), expected, query);
}

TEST_F(CorpusSearch, ExactMatchesTheAccentsAndBreathingsAsTyped) {
  const auto exactly = [&](const std::string& form) {
    return corpus_->places([form](const std::vector<Token>& tokens, std::size_t i) {
      // Case aside: Λόγος is λόγος.
      return tokens[i].exact == form || (form == "λόγος" && tokens[i].exact == "Λόγος");
    });
  };
  const std::pair<std::string, std::string> cases[] = {
      {"lo/gos", "λόγος"}, {"λόγος", "λόγος"}, {"λὸγος", "λὸγος"}, {"a(/ma", "ἅμα"}, {"ἄμα", "ἄμα"}, {"kai/", "καί"}};
  for (const auto& [query, form] : cases)
    expect_hits(search({"--db", "index.sqlite", "--exact", query}), exactly(form), query);
  // Read again line by line, as --exact does, NEAR keeps to its distance.
  for (const std::size_t distance : {0u, 2u})
    expect_hits(search({"--db", "index.sqlite", "--exact", "NEAR(ἀνήρ θεός, " + std::to_string(distance) + ")"}),
                corpus_->near("ανηρ", "θεοσ", distance), "NEAR exact");
}

TEST_F(CorpusSearch, KeepsToTheAuthorsAndWorksAskedFor) {
  const std::set<Place> all = corpus_->word("ανηρ");
  const auto only = [&](auto keep) {
    std::set<Place> places;
    for (const Place& place : all)
      if (keep(place)) places.insert(place);
    return places;
  };
  const std::set<Place> second = only([](const Place& p) { return std::get<0>(p) == 2; });
  expect_hits(search({"--db", "index.sqlite", "--author", "2", "ανηρ"}), second, "--author 2");
  // An author and one of its works: each line once.
  expect_hits(search({"--db", "index.sqlite", "--author", "2", "--work", "2:1", "ανηρ"}), second, "--work 2:1");
  const Outcome counted = run_corpus({"search", "--db", "index.sqlite", "--count", "--author", "2", "--work", "2:1", "ανηρ"});
  EXPECT_TRUE(counted.out.ends_with("total\t" + std::to_string(second.size()) + "\n")) << counted.out;
  expect_hits(search({"--db", "index.sqlite", "--work", "1:2,3:1", "ανηρ"}), only([](const Place& p) {
                return std::pair(std::get<0>(p), std::get<1>(p)) == std::pair(1, 2) ||
                       std::pair(std::get<0>(p), std::get<1>(p)) == std::pair(3, 1);
              }),
              "--work 1:2,3:1");
}

TEST_F(CorpusSearch, IndexingSomeAuthorsAgainReplacesTheirLinesAndNothingElse) {
  // Author 2's file changes; indexing it alone must give what a whole build
  // of the changed corpus gives.
  GeneratedCorpus changed("corpus", {2}, 99);
  ASSERT_EQ(run_corpus({"index", "--corpus", "corpus", "--db", "index.sqlite", "2"}).status, 0);
  ASSERT_EQ(run_corpus({"index", "--corpus", "corpus", "--db", "whole.sqlite"}).status, 0);
  for (const std::string query : {"λογος", "\"και λογος\"", "ανηρ OR θεος", "πελοποννησιων", "λογ*"}) {
    const Hits updated = search({"--db", "index.sqlite", query});
    const Hits whole = search({"--db", "whole.sqlite", query});
    EXPECT_EQ(updated.places, whole.places) << query;
  }
}

// Counted by the index alone (a word), and line by line (a phrase, which may
// run on into the next line; --exact, which reads each line again).
TEST_F(CorpusSearch, CountsHitsPerWork) {
  const auto phrase = [](const std::vector<Token>& tokens, std::size_t i) {
    return i + 1 < tokens.size() && tokens[i].folded == "και" && tokens[i + 1].folded == "λογοσ";
  };
  const auto exactly = [](const std::vector<Token>& tokens, std::size_t i) { return tokens[i].exact == "ἅμα"; };
  const std::pair<std::vector<std::string>, std::set<Place>> cases[] = {
      {{"ανηρ"}, corpus_->word("ανηρ")},
      {{"\"και λογος\""}, corpus_->places(phrase)},
      {{"--exact", "a(/ma"}, corpus_->places(exactly)},
  };
  for (const auto& [query, places] : cases) {
    std::vector<std::string> args = {"search", "--db", "index.sqlite", "--count"};
    args.insert(args.end(), query.begin(), query.end());
    const Outcome counted = run_corpus(args);
    ASSERT_EQ(counted.status, 0) << counted.err;
    std::map<std::pair<int, int>, int> per_work;
    for (const auto& [author, work, line] : places) ++per_work[{author, work}];
    std::string expected;
    for (const auto& [work, hits] : per_work)
      expected += "Auctor " + std::to_string(work.first) + ", Opus " + std::to_string(work.second) + "\t" +
                  std::to_string(hits) + "\n";
    expected += "total\t" + std::to_string(places.size()) + "\n";
    EXPECT_EQ(counted.out, expected) << query.back();
  }
}

TEST_F(CorpusSearch, WritesTheLineWithItsCitationAndTheMatchesOffsets) {
  const Outcome plain = run_corpus({"search", "--db", "index.sqlite", "--limit", "1", "--work", "1:1", "ανηρ"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_TRUE(plain.out.starts_with("Auctor 1, Opus 1 ")) << plain.out;
  EXPECT_NE(plain.out.find("\t"), std::string::npos) << plain.out;
  EXPECT_NE(plain.out.find("ἀνήρ"), std::string::npos) << plain.out;
  const Outcome json = run_corpus({"search", "--db", "index.sqlite", "--json", "--limit", "1", "μῆνιν"});
  const nlohmann::json hit = nlohmann::json::parse(json.out);
  const std::string text = hit["text"];
  EXPECT_EQ(hit["urn"], "urn:cts:greekLit:tlg" + std::string(4 - std::to_string(hit["author"].get<int>()).size(), '0') +
                            std::to_string(hit["author"].get<int>()) + ".tlg00" +
                            std::to_string(hit["work"].get<int>()) + ":" + hit["citation"].get<std::string>());
  const auto offsets = hit["matches"][0];
  // Characters, not bytes: μῆνιν is five.
  EXPECT_EQ(offsets[1].get<int>() - offsets[0].get<int>(), 5);
}

TEST_F(CorpusSearch, TellsWhatIsWrongWithAQueryOrAnIndex) {
  std::string huge(1 << 20, 'a');
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"\"λογος"}, 2},
      {{"OR"}, 2},
      {{""}, 2},
      {{huge}, 2},
      {{"--db", "missing.sqlite", "λογος"}, 1},
      {{"--db", "corpus/tlg0001.txt", "λογος"}, 1},
      {{"words:λογος"}, 0},
      {{"^λογος"}, 0},
      {{"NEAR(λογος)"}, 2},
      {{"λογος", "AND"}, 2},
  };
  for (const auto& [args, status] : cases) {
    std::vector<std::string> words = {"search", "--db", "index.sqlite"};
    words.insert(words.end(), args.begin(), args.end());
    const Outcome outcome = run_corpus(words);
    EXPECT_EQ(outcome.status, status) << args.back().substr(0, 40) << ": " << outcome.err;
    if (status != 0) {
      EXPECT_FALSE(outcome.err.empty());
    }
  }
}

TEST_F(CorpusSearch, RefusesADamagedOrOlderIndexInOneLine) {
  fs::copy_file("index.sqlite", "older.sqlite");
  {
    std::fstream file("older.sqlite", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(60);  // the header's user_version, big-endian
    file.write("\0\0\0\0", 4);
  }
  std::string damaged = read_file("index.sqlite");
  for (std::size_t i = 4096; i < damaged.size(); i += 7) damaged[i] = static_cast<char>(0x5A);
  write_file("damaged.sqlite", damaged);
  write_file("text.sqlite", "SQLite format 3? no: a text file that is long enough to hold a header ....... ....");
  for (const std::string db : {"older.sqlite", "damaged.sqlite", "text.sqlite"}) {
    const Outcome outcome = run_corpus({"search", "--db", db, "λογος"});
    EXPECT_EQ(outcome.status, 1) << db;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << db << ": " << outcome.err;
  }
}

search::Question question_of(const std::string& query) {
  auto parsed = search::parse_question(query);
  EXPECT_TRUE(std::holds_alternative<search::Question>(parsed)) << query;
  return std::get<search::Question>(parsed);
}

std::vector<Place> places_of(const std::vector<search::Hit>& hits) {
  std::vector<Place> places;
  for (const search::Hit& hit : hits) places.emplace_back(hit.author, hit.work, std::stoi(hit.citation));
  return places;
}

constexpr std::size_t every_hit = std::numeric_limits<std::size_t>::max();

// Pages read one after the other are the whole read, which is what the
// command writes; `more` turns false exactly at the last hit. Indexes on
// threads of their own read the same.
TEST_F(CorpusSearch, GivesTheHitsPageByPage) {
  for (const auto& [query, exact] : {std::pair("λογος OR ανηρ", false), std::pair("a(/ma OR kai/", true)}) {
    const search::Question question = question_of(query);
    search::SearchIndex index("index.sqlite");
    const search::SearchIndex::HitPage whole = index.hits(question, exact, {}, 0, every_hit);
    EXPECT_FALSE(whole.more);
    std::vector<std::string> args = {"--db", "index.sqlite", query};
    if (exact) args.insert(args.begin(), "--exact");
    EXPECT_EQ(places_of(whole.hits), search(args).places) << query;
    const std::size_t size = whole.hits.size();
    ASSERT_GT(size, 20u) << query;
    std::vector<search::Hit> paged;
    for (std::size_t skip = 0; skip < size; skip += 7) {
      search::SearchIndex::HitPage page = index.hits(question, exact, {}, skip, 7);
      EXPECT_EQ(page.more, skip + 7 < size) << query << " from " << skip;
      paged.insert(paged.end(), page.hits.begin(), page.hits.end());
    }
    ASSERT_EQ(paged.size(), size) << query;
    for (std::size_t i = 0; i < size; ++i) {
      EXPECT_EQ(paged[i].urn, whole.hits[i].urn) << query;
      EXPECT_EQ(paged[i].marks, whole.hits[i].marks) << query;
    }
    EXPECT_FALSE(index.hits(question, exact, {}, size - 3, 3).more) << query;
    EXPECT_TRUE(index.hits(question, exact, {}, size - 4, 3).more) << query;
    EXPECT_TRUE(index.hits(question, exact, {}, size, 3).hits.empty()) << query;

    std::vector<std::vector<Place>> on_threads(2);
    std::vector<std::thread> threads;
    for (auto& places : on_threads)
      threads.emplace_back([&] {
        places = places_of(search::SearchIndex("index.sqlite").hits(question, exact, {}, 0, every_hit).hits);
      });
    for (std::thread& thread : threads) thread.join();
    for (const auto& places : on_threads) EXPECT_EQ(places, places_of(whole.hits)) << query;
  }
}

// The counts are what --count writes: by the full-text index alone (a word),
// line by line (a phrase, --exact), and up to a limit.
TEST_F(CorpusSearch, GivesTheCountsPerWorkThatTheCommandWrites) {
  search::SearchIndex index("index.sqlite");
  const std::tuple<std::string, bool, std::optional<std::size_t>> cases[] = {
      {"ανηρ", false, std::nullopt}, {"\"και λογος\"", false, std::nullopt}, {"a(/ma", true, std::nullopt},
      {"ανηρ", false, 5},            {"a(/ma", true, 2}};
  for (const auto& [query, exact, limit] : cases) {
    const search::WorkCounts counts = index.counts(question_of(query), exact, {}, limit);
    std::string written;
    std::uint64_t total = 0;
    for (const search::WorkCount& work : counts.works) {
      written += work.label + "\t" + std::to_string(work.hits) + "\n";
      total += work.hits;
    }
    written += "total\t" + std::to_string(total) + "\n";
    std::vector<std::string> args = {"search", "--db", "index.sqlite", "--count", query};
    if (exact) args.insert(args.end() - 1, "--exact");
    if (limit) args.insert(args.end() - 1, {"--limit", std::to_string(*limit)});
    const Outcome counted = run_corpus(args);
    EXPECT_EQ(written, counted.out) << query;
    EXPECT_EQ(counts.more, !counted.err.empty()) << query << ": " << counted.err;
    EXPECT_EQ(counts.more, limit.has_value()) << query;
  }
}

// What is wrong is what the command says after its name.
TEST_F(CorpusSearch, SaysWhyAQueryOrAnIndexCannotBeSearched) {
  for (const std::string query : {"\"λογος", "OR", "NEAR(λογος)", "λογος ·"}) {
    const auto parsed = search::parse_question(query);
    ASSERT_TRUE(std::holds_alternative<search::QueryError>(parsed)) << query;
    EXPECT_EQ("scrivel-corpus: " + search::describe(std::get<search::QueryError>(parsed), query),
              run_corpus({"search", "--db", "index.sqlite", query}).err);
  }
  for (const std::string db : {"missing.sqlite", "corpus/tlg0001.txt"}) {
    try {
      search::SearchIndex index(db);
      ADD_FAILURE() << db << " opened";
    } catch (const search::IndexError& failure) {
      EXPECT_EQ("scrivel-corpus: " + std::string(failure.what()) + "\n", run_corpus({"search", "--db", db, "λογος"}).err);
    }
  }
}

}  // namespace
}  // namespace scrivel::testing
