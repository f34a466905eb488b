// scrivel-corpus list and authors on a generated corpus with its tables:
// what they write, in tab-separated lines and in JSON lines, is what the
// builder was told, and a damaged table costs one warning and nothing else.
// scrivel and scrivel-corpus read the tables alike: their documents of a
// work are the same.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "author_file_builder.h"
#include "conversion.h"
#include "corpus_testing.h"
#include "metadata_tables.h"
#include "scrivel.h"

namespace scrivel::testing {
namespace {

namespace fs = std::filesystem;
using authorfile::AuthorEntry;
using authorfile::Builder;

Outcome run(const std::vector<std::string>& args) { return run_corpus(args); }

// What the builder is told of a work, and what list must write of it.
struct WorkTold {
  int number;
  std::string abbreviation;  // plain
  std::string title;         // Beta Code
  std::vector<std::string> levels;
};

struct AuthorTold {
  AuthorEntry entry;
  std::vector<WorkTold> works;
};

constexpr int authors = 32;

// Authors 1 to 32, each with one to three works; names, synonyms, titles,
// levels and abbreviations where the author's and work's numbers say so.
std::vector<AuthorTold> told() {
  const std::vector<std::string> titles = {"Idyllia", "$*)ILIA/S", "&1Opera& minora", "Fragmenta"};
  const std::vector<std::vector<std::string>> levels = {{"book", "line"}, {"chapter", "section", "line"}, {}, {"Idyll", "line"}};
  const std::vector<std::string> names = {"&1Theocritus& Bucol.", "$*(/OMHROS& Epic.", "Scriptor"};
  std::vector<AuthorTold> all;
  for (int author = 1; author <= authors; ++author) {
    AuthorTold a{{author, "", {}, ""}, {}};
    if (author % 4 != 0) a.entry.name = names[author % names.size()];
    if (author % 3 == 0) a.entry.synonyms = {"Syn" + std::to_string(author), "Alter"};
    if (author % 2 == 0) a.entry.language = "Greek";
    for (int work = 1; work <= author % 3 + 1; ++work) {
      WorkTold w{work, work == 1 && author % 2 == 1 ? "Arg" : "", "", {}};
      if ((author + work) % 5 != 0) w.title = titles[(author + work) % titles.size()];
      w.levels = levels[(author * work) % levels.size()];
      a.works.push_back(w);
    }
    all.push_back(a);
  }
  return all;
}

std::string plain_levels(const std::vector<std::string>& levels) {
  std::string joined;
  for (const std::string& level : levels) joined += (joined.empty() ? "" : ".") + level;
  return joined;
}

class Catalogue : public InFreshDirectory {
 protected:
  void SetUp() override {
    InFreshDirectory::SetUp();
    fs::create_directory("corpus");
    std::vector<AuthorEntry> entries;
    for (const AuthorTold& a : told_) {
      Builder builder(a.entry.number);
      if (!a.entry.name.empty()) builder.name(a.entry.name);
      for (const std::string& synonym : a.entry.synonyms) builder.synonym(synonym);
      if (!a.entry.language.empty()) builder.language(a.entry.language);
      for (const WorkTold& w : a.works) {
        builder.work(w.number);
        if (!w.title.empty()) builder.title(w.title);
        if (!w.levels.empty()) builder.levels({w.levels.begin(), w.levels.end()});
        builder.unit((w.abbreviation.empty() ? "" : "~[EF 82 C1 F2 E7 FF]") + std::string("~[z 1 line 1]LOGOS"));
      }
      const authorfile::AuthorFiles files = builder.finish_files();
      const std::string stem = tlg_name(a.entry.number).substr(0, 7);
      write_file("corpus/" + stem + ".txt", to_string(files.text));
      // The tables' names in either case.
      write_file("corpus/" + (a.entry.number % 2 ? "TLG" + stem.substr(3) + ".IDT" : stem + ".idt"), to_string(files.id_table));
      entries.push_back(files.author);
    }
    entries.push_back({9999, "Sine libro", {}, ""});  // in the table, without a file
    write_file("corpus/AUTHTAB.DIR", to_string(authorfile::author_table(entries)));
  }

  const std::vector<AuthorTold> told_ = told();
};

// The lines that `args` writes, with status 0 and no warning; they are kept
// in a file named after the command, for python3's own reader of JSON lines.
std::vector<std::string> lines_of(const std::vector<std::string>& args) {
  const Outcome written = run(args);
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(written.err, "");
  std::ofstream(args[0] + (args.back() == "--json" ? ".jsonl" : ".tsv")) << written.out;
  std::vector<std::string> lines;
  std::istringstream in(written.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// list and authors, in tab-separated lines and in JSON lines, write what the
// builder was told: a record for each work, and for each author with a file.
TEST_F(Catalogue, ListAndAuthorsWriteWhatTheTablesSay) {
  const std::vector<std::string> list = lines_of({"list", "--corpus", "corpus"}),
                                 list_json = lines_of({"list", "--corpus", "corpus", "--json"}),
                                 authors = lines_of({"authors", "--corpus", "corpus"}),
                                 authors_json = lines_of({"authors", "--corpus", "corpus", "--json"});
  std::size_t works = 0;
  for (const AuthorTold& a : told_) works += a.works.size();
  ASSERT_EQ(list.size(), works + 1);
  ASSERT_EQ(list_json.size(), works);
  ASSERT_EQ(authors.size(), told_.size() + 1) << "no line for an author without a file";
  ASSERT_EQ(authors_json.size(), told_.size());
  EXPECT_EQ(list[0], "author\twork\tblock\toffset\tbytes\tabbreviation\ttitle\tlevels");
  EXPECT_EQ(authors[0], "author\tname\tsynonyms\tlanguage\tworks");
  std::size_t line = 0;
  for (std::size_t author = 0; author < told_.size(); ++author) {
    const AuthorTold& a = told_[author];
    const std::string name = a.entry.name.empty() ? "" : plain_text_of_name(a.entry.name);
    std::string synonyms;
    for (const std::string& synonym : a.entry.synonyms) synonyms += (synonyms.empty() ? "" : "; ") + synonym;
    EXPECT_EQ(authors[author + 1], std::to_string(a.entry.number) + "\t" + name + "\t" + synonyms + "\t" +
                                       a.entry.language + "\t" + std::to_string(a.works.size()));
    EXPECT_EQ(nlohmann::json::parse(authors_json[author]),
              (nlohmann::json{{"author", a.entry.number},
                              {"name", name},
                              {"synonyms", a.entry.synonyms},
                              {"language", a.entry.language},
                              {"works", a.works.size()}}));
    for (const WorkTold& w : a.works) {
      const std::string& tsv_line = list[++line];
      const nlohmann::json record = nlohmann::json::parse(list_json[line - 1]);
      const nlohmann::json told_record = {{"author", a.entry.number}, {"name", name}, {"work", w.number},
                                          {"abbreviation", w.abbreviation}, {"title", plain_text_of_name(w.title)},
                                          {"levels", w.levels}};
      for (const auto& [key, value] : told_record.items())
        EXPECT_EQ(record[key], value) << key;
      const std::string start = std::to_string(a.entry.number) + "\t" + std::to_string(w.number) + "\t" +
                                std::to_string(record["block"].get<int>()) + "\t" +
                                std::to_string(record["offset"].get<int>()) + "\t" +
                                std::to_string(record["bytes"].get<int>()) + "\t";
      const std::string end = "\t" + w.abbreviation + "\t" + plain_text_of_name(w.title) + "\t" + plain_levels(w.levels);
      EXPECT_TRUE(tsv_line.starts_with(start) && tsv_line.ends_with(end)) << tsv_line << "\nwanted " << start << "..." << end;
    }
  }
  EXPECT_EQ(std::system("python3 -m json.tool --json-lines list.jsonl > /dev/null && "
                        "python3 -m json.tool --json-lines authors.jsonl > /dev/null"), 0);
}

// A table cut short is named once; the listing goes on with what it holds,
// and the exit status stays.
TEST_F(Catalogue, ADamagedTableCostsOneWarning) {
  const fs::path table = "corpus/TLG0001.IDT";
  fs::resize_file(table, fs::file_size(table) - 1);
  const Outcome listed = run({"list", "--corpus", "corpus", "1", "2"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "scrivel-corpus: corpus/TLG0001.IDT: offset " + std::to_string(fs::file_size(table)) +
                            ": the table is cut short: it has no end entry\n");
  EXPECT_NE(listed.out.find("\t" + plain_text_of_name(told_[0].works[0].title) + "\t"), std::string::npos)
      << listed.out;
}

// Whatever stands in a table's place, a table that cannot be read is named
// with the reason, once, and both programs go on without it; neither waits
// on a FIFO (the alarm ends a run that does).
TEST_F(Catalogue, ATableThatCannotBeReadIsNamedAndLeftOut) {
  const struct {
    const char* why;
    void (*put)(const fs::path&);
  } cases[] = {
      {"a FIFO", [](const fs::path& table) { fs::remove(table), ::mkfifo(table.c_str(), 0644); }},
      {"a directory", [](const fs::path& table) { fs::remove(table), fs::create_directory(table); }},
      {"Too many levels of symbolic links",
       [](const fs::path& table) { fs::remove(table), fs::create_symlink(table.filename(), table); }},
      {"larger than 16 MiB", [](const fs::path& table) { fs::resize_file(table, std::uintmax_t{8} << 30); }},
      {"Permission denied", [](const fs::path& table) { fs::permissions(table, fs::perms::none); }},
  };
  std::ofstream("scrivel.cfg") << "corpus/\ntei\n";
  for (const auto& c : cases) {
    if (::geteuid() == 0 && c.why == std::string("Permission denied")) continue;  // root reads it all the same
    for (const fs::path table : {"corpus/AUTHTAB.DIR", "corpus/TLG0001.IDT"}) {
      SCOPED_TRACE(table.string() + " " + c.why);
      const std::string kept = read_file(table);
      c.put(table);
      ::alarm(60);
      const Outcome listed = run({"list", "--corpus", "corpus", "1"});
      DiskFiles disk;
      std::ostringstream messages;
      EXPECT_EQ(scrivel::run({"scrivel", "1", "1"}, disk, messages), 0) << messages.str();
      ::alarm(0);
      EXPECT_EQ(listed.status, 0);
      EXPECT_EQ(listed.err, "scrivel-corpus: cannot read the table " + table.string() + " (" + c.why +
                                "); going on without it\n");
      EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 3) << listed.out;
      std::error_code no_target;  // the loop of links has none
      fs::permissions(table, fs::perms::owner_all, no_target);
      fs::remove_all(table);
      write_file(table, kept);
    }
  }
}

// Both programs convert author 5's two works, in every format, from
// tables that differ from the plain case: names in mixed case (the author
// file's too), an author
// and a work listed twice (the first is used), and a corpus that
// scrivel.cfg names by a prefix in another directory, whose tables stand
// in that directory. The documents must be the same bytes.
class BothPrograms : public InFreshDirectory {};

TEST_F(BothPrograms, WriteTheSameDocumentsFromTheSameTables) {
  const struct {
    const char* what;
    std::string prefix;  // scrivel.cfg's corpus line
    std::string author_file;
    std::string id_table;
    std::string author_table;
    bool listed_twice;
  } cases[] = {
      {"names in mixed case", "corpus/", "corpus/TLG0005.TXT", "corpus/Tlg0005.idt", "corpus/AuthTab.Dir", false},
      {"an author and a work listed twice, the author table twice", "corpus/", "corpus/tlg0005.txt",
       "corpus/tlg0005.idt", "corpus/authtab.dir", true},
      {"a prefix in another directory", "lib/greek/g-", "lib/greek/g-tlg0005.txt", "lib/greek/g-TLG0005.IDT",
       "lib/greek/AUTHTAB.DIR", false},
  };
  const authorfile::AuthorFiles files = authorfile::build_files(
      "~author 5\n~name &1Theocritus& Bucol.\n~work 1\n~title Idyllia\n~levels Idyll line\n"
      "~[y 1 z 1 line 1]*)EN A)RXH=|\n~[line 2]LOGOS\n"
      "~work 2\n~title $*)EPIGRA/MMATA\n~levels Epigram line\n~[z 1 line 1]A)/NQRWPOS");
  const authorfile::AuthorEntry other{5, "&1Pseudo-Theocritus", {}, ""};
  const authorfile::Bytes twice = authorfile::id_table(
      files.author, {{1, "Idyllia", {"Idyll", "line"}, 0, {}},
                     {1, "Carmina", {"Liber", "Carmen", "versus"}, 0, {}},
                     {2, "$*)EPIGRA/MMATA", {"Epigram", "line"}, 0, {}}});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path here = fs::current_path();
    fs::create_directory(std::to_string(&c - cases));
    fs::current_path(std::to_string(&c - cases));
    fs::create_directories(fs::path(c.prefix).parent_path());
    fs::create_directory("out");
    write_file(c.author_file, to_string(files.text));
    write_file(c.id_table, to_string(c.listed_twice ? twice : files.id_table));
    write_file(c.author_table, to_string(authorfile::author_table(c.listed_twice ? std::vector{files.author, other}
                                                                                   : std::vector{files.author})));
    // Of two tables whose names differ only in case, the one in lower case.
    if (c.listed_twice) write_file("corpus/AUTHTAB.DIR", to_string(authorfile::author_table({other})));
    for (const std::string format_name : {"rtf", "html", "text", "tsv", "tei"}) {
      SCOPED_TRACE(format_name);
      const Format format = *format_named(format_name);
      std::ofstream("scrivel.cfg") << c.prefix << "\n" << format_name << "\n";
      DiskFiles disk;
      std::ostringstream messages;
      for (const char* work : {"1", "2"})
        ASSERT_EQ(scrivel::run({"scrivel", "5", work}, disk, messages), 0) << messages.str();
      const Outcome converted = run({"convert", "--format", format_name, "--out", "out"});
      ASSERT_EQ(converted.status, 0) << converted.err;
      for (const int work : {1, 2}) {
        const std::string name = document_name(format, 5, work);
        EXPECT_EQ(read_file(name), read_file("out/" + name)) << name;
      }
      if (format == Format::tei) {  // the tables were found, and their first entries used
        EXPECT_NE(read_file("sv5_1.xml").find("<title>Idyllia</title><author>Theocritus Bucol.</author>"),
                  std::string::npos);
      }
    }
    fs::current_path(here);
  }
}

}  // namespace
}  // namespace scrivel::testing
