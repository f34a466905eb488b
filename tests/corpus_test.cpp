// scrivel-corpus on generated corpora: the list agrees with the work search,
// a batch writes what scrivel writes, and bad input loses nothing.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "author_file_builder.h"
#include "conversion.h"
#include "corpus_testing.h"
#include "input/work_list.h"

namespace scrivel::testing {
namespace {

namespace fs = std::filesystem;
using authorfile::Builder;
using authorfile::Bytes;

std::string long_unit(char letter) { return std::string(6000, letter); }

// Works that begin inside a block, at a block start, and in a short last block.
Bytes three_kinds_of_start() {
  const std::string g = long_unit('G') + "\n";
  Bytes file = authorfile::build("~author 7\n~work 1\nA\n~work 2\nB\n" + g + g + "~block\n~work 3\n" + long_unit('D') +
                                 "\n~[z 1]LOGOS %99\n~work 4\nZ\n");
  while (file.back() == 0) file.pop_back();  // a short last block
  return file;
}

// Runs in a directory of its own with a corpus/ and an out/ folder.
class Corpus : public InFreshDirectory {
 protected:
  void SetUp() override {
    InFreshDirectory::SetUp();
    fs::create_directories("out");
  }
  static void add_author(int author, const Bytes& file) { write_file("corpus/" + tlg_name(author), to_string(file)); }
  static Outcome run(const std::vector<std::string>& args, int stop = 0) { return run_corpus(args, stop); }
};

TEST_F(Corpus, ListsExactlyTheWorksThatTheSearchFinds) {
  const Bytes file = three_kinds_of_start();
  add_author(7, file);
  const Outcome listed = run({"list", "--corpus", "corpus"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "author\twork\tblock\toffset\tbytes\tabbreviation\ttitle\tlevels\n"
            "7\t1\t0\t7\t7\t\t\t\n"
            "7\t2\t0\t14\t16377\t\t\t\n"
            "7\t3\t2\t7\t6016\t\t\t\n"
            "7\t4\t2\t6023\t7\t\t\t\n");
  for (int work = 0; work <= 6; ++work) {
    const bool found = !convert(file, Format::html, 7, work).document.empty();
    EXPECT_EQ(found, listed.out.find("7\t" + std::to_string(work) + "\t") != std::string::npos) << work;
  }
}

// Line 14462 is written 8B F0 FE: the end code's bytes, followed by text.
TEST_F(Corpus, AWorkReachesPastTheEndCodesBytesWhereTheyAreACitationsOperands) {
  add_author(7, Builder(7).work(1).unit("~[line 14462]LOGOS").unit("A").work(2).unit("B").finish());
  const Outcome listed = run({"list", "--corpus", "corpus"});
  EXPECT_EQ(listed.out,
            "author\twork\tblock\toffset\tbytes\tabbreviation\ttitle\tlevels\n"
            "7\t1\t0\t7\t15\t\t\t\n"
            "7\t2\t0\t22\t7\t\t\t\n");
}

// The end code is followed by the padding of its block: zeros or blanks.
TEST_F(Corpus, AWorksDataEndAtTheEndCodeWhateverPadsItsBlock) {
  for (const unsigned char padding : {0x00, 0x20}) {
    Bytes file = Builder(7).work(1).unit("A").finish();
    std::size_t end_code = file.size();
    while (file[end_code - 1] == 0) --end_code;
    std::fill(file.begin() + static_cast<std::ptrdiff_t>(end_code), file.end(), padding);
    const WorkList list = list_works(to_string(file));
    ASSERT_EQ(list.works.size(), 1u);
    EXPECT_EQ(list.works[0].bytes, end_code - 2 - list.works[0].header) << int{padding};
  }
}

// A header whose digits are not digits names no work: it is told of, left
// out of the list and of a conversion, and the work before it still ends there.
TEST_F(Corpus, AHeaderWhoseDigitsAreNoDigitsIsLeftOut) {
  Bytes file = Builder(5).work(1).unit("A").work(2).unit("B").work(3).unit("C").finish();
  const WorkList sound = list_works(to_string(file));
  ASSERT_EQ(sound.works.size(), 3u);
  file[sound.works[1].header + 4] = 0xAF;                                // work -1
  file[sound.works[2].header + 2] = file[sound.works[2].header + 3] = 0xB9;  // and 1000
  file[sound.works[2].header + 4] = 0xBA;
  add_author(5, file);
  const Outcome listed = run({"list", "--corpus", "corpus"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "author\twork\tblock\toffset\tbytes\tabbreviation\ttitle\tlevels\n5\t1\t0\t7\t" +
                            std::to_string(sound.works[0].bytes) + "\t\t\t\n");
  const std::string left_out = " has bytes that are no digits for its number; left out\n";
  EXPECT_EQ(listed.err, "scrivel-corpus: corpus/tlg0005.txt: the work header at offset " +
                            std::to_string(sound.works[1].header) + left_out +
                            "scrivel-corpus: corpus/tlg0005.txt: the work header at offset " +
                            std::to_string(sound.works[2].header) + left_out);
  EXPECT_EQ(run({"convert", "--corpus", "corpus", "--out", "out", "--format", "tsv"}).status, 0);
  EXPECT_EQ(files_in("out"), (std::set<std::string>{"sv5_1.tsv", "sv5_1.log"}));
}

// authors tells of a broken author file as list does, and fails as it does.
TEST_F(Corpus, AuthorsTellsOfBrokenFilesAsListDoes) {
  add_author(6, {});
  add_author(7, Bytes(100, 0x41));
  const Outcome listed = run({"list", "--corpus", "corpus"}), authors = run({"authors", "--corpus", "corpus"});
  EXPECT_EQ(authors.status, 1);
  EXPECT_EQ(authors.err, listed.err);
  EXPECT_NE(authors.err.find("corpus/tlg0006.txt: the file is empty"), std::string::npos) << authors.err;
}

// Every work, in each format and normalization, as scrivel's conversion
// writes it, with its log.
TEST_F(Corpus, ConvertsEveryWorkAsScrivelDoes) {
  const Bytes first = three_kinds_of_start();
  const Bytes second =
      Builder(12).work(1).unit("~[z 1]*MH=NIN").work(3).unit("~[z 1 line 1]A)/EIDE: TI/;~[80]*I/+ %99").finish();
  add_author(7, first);
  add_author(12, second);
  const std::tuple<std::vector<std::string>, Format, Normalization> cases[] = {
      {{"--format", "rtf", "--jobs", "3"}, Format::rtf, Normalization::none},
      {{"--format", "html", "--normalize", "nfc"}, Format::html, Normalization::nfc},
      {{"--format", "text"}, Format::text, Normalization::nfc},
      {{"--format", "tsv"}, Format::tsv, Normalization::nfc},
      {{"--format", "tsv", "--normalize", "none"}, Format::tsv, Normalization::none},
  };
  for (const auto& [options, format, normalization] : cases) {
    SCOPED_TRACE(::testing::PrintToString(options));
    fs::remove_all("out");
    fs::create_directory("out");
    std::vector<std::string> args = {"convert", "--corpus", "corpus/", "--out", "out"};
    args.insert(args.end(), options.begin(), options.end());
    const Outcome batch = run(args);
    EXPECT_EQ(batch.status, 0) << batch.err;
    EXPECT_TRUE(batch.err.starts_with("scrivel-corpus: 6 works converted, 2 with warnings, 0 failed")) << batch.err;
    EXPECT_EQ(files_in("out").size(), 12u);
    for (const auto& [author, work, file] :
         std::vector<std::tuple<int, int, Bytes>>{{7, 1, first}, {7, 3, first}, {7, 4, first}, {12, 3, second}}) {
      const std::string stem = "out/sv" + std::to_string(author) + "_" + std::to_string(work);
      const Conversion alone = scrivel::convert(
          to_string(file), {author, work, format, normalization, "corpus/" + tlg_name(author), {}, {}});
      EXPECT_EQ(read_file(stem + std::string(extension_of(format))), alone.document) << stem;
      EXPECT_EQ(read_file(stem + ".log"), alone.messages) << stem;
    }
  }
}

// Each bad input has its message and costs nothing else: the sound author
// file beside it is converted whole.
TEST_F(Corpus, BadInputIsReportedAndLosesNothing) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  fs::create_directory("corpus/" + tlg_name(2));
  add_author(3, {});
  add_author(4, Bytes(5, 0xEF));
  Bytes no_end = Builder(5).work(1).unit("LOGOS").finish();
  no_end.resize(16);  // the headers and "LOG"
  add_author(5, no_end);
  const Outcome batch = run({"convert", "--corpus", "corpus", "--out", "out", "1", "2", "3", "4", "5", "1:1", "1:9"});
  EXPECT_EQ(batch.status, 1);
  for (const std::string expected :
       {"Cannot open file: corpus/tlg0002.txt (a directory)",
        "corpus/tlg0003.txt: the file is empty: Error 001: Unexpected data, count=7",
        "corpus/tlg0004.txt: Error 001: Unexpected data, count=7",
        "corpus/tlg0005.txt work 1 failed: Error 004: unexpected end of file, offset:F",
        "corpus/tlg0001.txt work 9 failed: Error 003: EF 81 not found (wrong work-number?)",
        "1 works converted, 0 with warnings, 5 failed"})
    EXPECT_NE(batch.err.find(expected), std::string::npos) << expected << " in\n" << batch.err;
  EXPECT_EQ(files_in("out"), (std::set<std::string>{"sv1_1.rtf", "sv1_1.log", "sv5_1.log", "sv1_9.log"}));
}

// The bundled sample with its tables, listed as the README shows it: the
// works' titles and levels from the ID table, the author's name from the
// author table.
TEST_F(Corpus, ListsTheSampleWithTheNamesOfItsTables) {
  const Outcome listed = run({"list", "--corpus", SCRIVEL_SAMPLE_DIR});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(listed.err, "");
  EXPECT_EQ(listed.out,
            "author\twork\tblock\toffset\tbytes\tabbreviation\ttitle\tlevels\n"
            "12\t1\t0\t7\t6738\t\tIlias\tbook.line\n"
            "12\t2\t0\t6745\t3428\t\tOdyssea\tbook.line\n");
  const Outcome authors = run({"authors", "--corpus", SCRIVEL_SAMPLE_DIR});
  EXPECT_EQ(authors.status, 0) << authors.err;
  EXPECT_EQ(authors.err, "");
  EXPECT_EQ(authors.out, "author\tname\tsynonyms\tlanguage\tworks\n12\tHomerus\t\t\t2\n");
}

// The CapiTainS layout of the bundled sample: each work's edition is the
// document scrivel writes, beside its __cts__.xml as reviewed; the logs stay
// in the out directory.
TEST_F(Corpus, ConvertsTheSampleIntoACapitainsTree) {
  const Outcome batch = run({"convert", "--corpus", SCRIVEL_SAMPLE_DIR, "--format", "tei", "--layout", "capitains",
                             "--out", "out"});
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(files_in("out"), (std::set<std::string>{"data", "sv12_1.log", "sv12_2.log"}));
  EXPECT_EQ(files_in("out/data/tlg0012"), (std::set<std::string>{"__cts__.xml", "tlg001", "tlg002"}));
  EXPECT_EQ(read_file("out/data/tlg0012/__cts__.xml"), read_file(SCRIVEL_EXPECTED_DIR "/tlg0012__cts__.xml"));
  for (const std::string work : {"1", "2"}) {
    const std::string folder = "out/data/tlg0012/tlg00" + work + "/";
    const std::string edition = "tlg0012.tlg00" + work + ".scrivel-grc1.xml";
    EXPECT_EQ(read_file(folder + "__cts__.xml"),
              read_file(SCRIVEL_EXPECTED_DIR "/tlg0012.tlg00" + work + "__cts__.xml"));
    EXPECT_EQ(files_in(folder), (std::set<std::string>{"__cts__.xml", edition}));
    EXPECT_EQ(read_file(folder + edition), read_file(SCRIVEL_EXPECTED_DIR "/sv12_" + work + ".xml"));
  }
}

// --tei-lines sets the form of every line whatever the work's levels: the
// sample's verse as prose, and back; --tei-cite-structure adds the
// citeStructure tree, which is left out otherwise.
TEST_F(Corpus, TeiChoicesSetLinesAndCiteStructure) {
  for (const std::string lines : {"prose", "verse"}) {
    const Outcome batch = run({"convert", "--corpus", SCRIVEL_SAMPLE_DIR, "--format", "tei", "--tei-lines", lines,
                               "--out", "out", "12:1"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(read_file("out/sv12_1.xml").find("<seg type=\"line\" n=\"2\">") != std::string::npos, lines == "prose");
    EXPECT_EQ(read_file("out/sv12_1.xml").find("<citeStructure"), std::string::npos);
  }
  ASSERT_EQ(run({"convert", "--corpus", SCRIVEL_SAMPLE_DIR, "--format", "tei", "--tei-cite-structure", "--out", "out",
                 "12:1"}).status, 0);
  EXPECT_NE(read_file("out/sv12_1.xml").find("<citeStructure unit=\"book\""), std::string::npos);
}

// The names come from the tables: the title and level names of the ID
// table, the author's name from the author table; each tagged Latin, or
// Greek where the table's text opens in Greek.
TEST_F(Corpus, NamesTheTreeAndItsEditionsAfterTheTables) {
  const authorfile::AuthorFiles files =
      authorfile::build_files("~author 5\n~name &1Theocritus& Bucol.\n~work 1\n~title Idyllia\n~levels Idyll line\n"
                              "~[z 1 line 1]A\n~work 2\n~title $*)EPIGRA/MMATA\n~[z 1 line 1]B");
  add_author(5, files.text);
  write_file("corpus/tlg0005.idt", to_string(files.id_table));
  write_file("corpus/authtab.dir", to_string(authorfile::author_table({files.author})));
  const Outcome batch = run({"convert", "--corpus", "corpus", "--format", "tei", "--layout", "capitains", "--out",
                             "out"});
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_NE(read_file("out/data/tlg0005/__cts__.xml").find("<ti:groupname xml:lang=\"lat\">Theocritus Bucol.<"),
            std::string::npos);
  EXPECT_NE(read_file("out/data/tlg0005/tlg001/__cts__.xml").find("<ti:title xml:lang=\"lat\">Idyllia<"),
            std::string::npos);
  EXPECT_NE(read_file("out/data/tlg0005/tlg002/__cts__.xml").find("<ti:label xml:lang=\"grc\">Ἐπιγράμματα<"),
            std::string::npos);
  const std::string edition = read_file("out/data/tlg0005/tlg001/tlg0005.tlg001.scrivel-grc1.xml");
  EXPECT_NE(edition.find("<title>Idyllia</title><author>Theocritus Bucol.</author>"), std::string::npos);
  EXPECT_NE(edition.find("<div type=\"textpart\" subtype=\"Idyll\" n=\"1\">"), std::string::npos) << edition;
  EXPECT_NE(read_file("out/data/tlg0005/tlg002/tlg0005.tlg002.scrivel-grc1.xml")
                .find("<title xml:lang=\"grc\">Ἐπιγράμματα</title>"),
            std::string::npos);
}

// A re-run in which a work fails leaves no document of an earlier run under
// its name, and says that it removed it; in the CapiTainS tree, it takes its
// __cts__.xml and its folder out too, and an author left without works theirs.
TEST_F(Corpus, AFailedWorkLeavesNoEarlierDocument) {
  const Bytes whole = Builder(1).work(1).unit("~[z 1]" + std::string(300, 'A')).finish();
  const std::string tree = "out/data/tlg0001/tlg001/";
  const struct {
    std::vector<std::string> options;
    std::string removed;
    std::set<std::string> left;
  } cases[] = {
      {{"--format", "html"}, "out/sv1_1.html", {"sv1_1.log"}},
      {{"--format", "tei", "--layout", "capitains"},
       tree + "tlg0001.tlg001.scrivel-grc1.xml; removed the earlier " + tree + "__cts__.xml",
       {"data", "sv1_1.log"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"convert", "--corpus", "corpus", "--out", "out"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    add_author(1, whole);
    ASSERT_EQ(run(args).status, 0);
    add_author(1, Bytes(whole.begin(), whole.begin() + 200));
    const Outcome again = run(args);
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("work 1 failed: Error 004: unexpected end of file, offset:C7; removed the earlier " +
                             c.removed + "\n"),
              std::string::npos)
        << again.err;
    EXPECT_EQ(files_in("out"), c.left);
  }
  EXPECT_EQ(files_in("out/data"), std::set<std::string>{});
}

// The log is part of a work's result: a work whose log cannot be written
// fails, and leaves no document; the counts add up to the works attempted.
TEST_F(Corpus, AWorkWhoseLogCannotBeWrittenFails) {
  add_author(1, Builder(1).work(1).unit("A").work(2).unit("B").finish());
  fs::create_directory("out/sv1_2.log");
  const Outcome batch = run({"convert", "--corpus", "corpus", "--out", "out", "--format", "html", "1", "9", "9"});
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("work 2 failed: cannot write out/sv1_2.log: Is a directory"), std::string::npos)
      << batch.err;
  EXPECT_NE(batch.err.find("1 works converted, 0 with warnings, 2 failed"), std::string::npos) << batch.err;
  // The missing author file is named once, however often it is asked for.
  EXPECT_EQ(batch.err.find("Cannot open file: corpus/tlg0009.txt"),
            batch.err.rfind("Cannot open file: corpus/tlg0009.txt"));
  EXPECT_EQ(files_in("out"), (std::set<std::string>{"sv1_1.html", "sv1_1.log", "sv1_2.log"}));
}

// An author file far larger than memory, of no blocks: listed and converted
// without holding it, and refused at its first block.
TEST_F(Corpus, AnAuthorFileLargerThanMemoryIsRefusedNotHeld) {
  rlimit address_space{};
  if (::getrlimit(RLIMIT_AS, &address_space) == 0 && address_space.rlim_cur != RLIM_INFINITY)
    GTEST_SKIP() << "mapping the file needs an address space without a limit (ulimit -v)";
  std::ofstream("corpus/" + tlg_name(9)).close();
  fs::resize_file("corpus/" + tlg_name(9), std::uintmax_t{200} << 30);  // sparse: 200 GiB of nothing
  const Outcome listed = run({"list", "--corpus", "corpus"});
  EXPECT_EQ(listed.status, 1);
  EXPECT_EQ(listed.err, "scrivel-corpus: corpus/tlg0009.txt: Error 001: Unexpected data, count=7\n");
  const Outcome converted = run({"convert", "--corpus", "corpus", "--out", "out"});
  EXPECT_EQ(converted.status, 1);
  EXPECT_NE(converted.err.find("0 works converted, 0 with warnings, 1 failed"), std::string::npos) << converted.err;
}

// The corpus tool's own lines say why an author file cannot be read.
TEST_F(Corpus, AnAuthorFileThatCannotBeReadIsNamedWithTheReason) {
  ASSERT_EQ(::mkfifo(("corpus/" + tlg_name(4)).c_str(), 0644), 0);
  fs::create_symlink(tlg_name(5), "corpus/" + tlg_name(5));  // a loop of links
  const Outcome listed = run({"list", "--corpus", "corpus", "3", "4", "5"});
  EXPECT_EQ(listed.status, 1);
  EXPECT_EQ(listed.err,
            "scrivel-corpus: Cannot open file: corpus/tlg0003.txt (No such file or directory)\n"
            "scrivel-corpus: Cannot open file: corpus/tlg0004.txt (a FIFO)\n"
            "scrivel-corpus: Cannot open file: corpus/tlg0005.txt (Too many levels of symbolic links)\n");
}

// A run killed outright leaves its temporary files; the next run in the
// same folder removes those of processes that are gone, and says so. Those
// of live processes (this test's parent and two children of its own) stay,
// in whatever order the sweep meets them among the others, and so do files
// of names that no run gives.
TEST_F(Corpus, StaleTemporaryFilesOfAKilledRunAreRemoved) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  std::set<std::string> live = {".sv1_7.html.part" + std::to_string(::getppid())};
  std::vector<pid_t> children;
  for (int i = 0; i < 2; ++i) {
    children.push_back(::fork());
    if (children.back() == 0) {
      ::pause();
      ::_exit(0);
    }
    live.insert(".sv1_" + std::to_string(8 + i) + ".html.part" + std::to_string(children.back()));
  }
  for (const std::string& name : live) write_file("out/" + name, "a run that is still going");
  for (int i = 0; i < 6; ++i) write_file("out/.sv2_" + std::to_string(i) + ".html.part99999999" + std::to_string(i), "");
  // Names that a batch does not give, whatever process they name, are the user's.
  for (const std::string users : {".backup.part99999", ".notes.txt.part999999999", "sv3_1.html.part999999999",
                                  ".sv3_1.html.part999999999.bak"})
    write_file("out/" + users, ""), live.insert(users);
  const Outcome batch = run({"convert", "--corpus", "corpus", "--out", "out", "--format", "html"});
  for (const pid_t child : children) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
  EXPECT_EQ(batch.status, 0);
  EXPECT_TRUE(batch.err.starts_with(
      "scrivel-corpus: removed 6 temporary files that an earlier run stopped outright left in out\n"))
      << batch.err;
  live.insert({"sv1_1.html", "sv1_1.log"});
  EXPECT_EQ(files_in("out"), live);
}

TEST_F(Corpus, StaleTemporaryFilesOfAKilledRunAreRemovedFromTheTree) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  fs::create_directories("out/data/tlg0001/tlg001");
  write_file("out/data/tlg0001/.__cts__.xml.part999999999", "cut short");
  write_file("out/data/tlg0001/tlg001/.tlg0001.tlg001.scrivel-grc1.xml.part999999999", "cut short");
  const Outcome batch =
      run({"convert", "--corpus", "corpus", "--out", "out", "--format", "tei", "--layout", "capitains"});
  EXPECT_EQ(batch.status, 0);
  EXPECT_TRUE(batch.err.starts_with(
      "scrivel-corpus: removed 2 temporary files that an earlier run stopped outright left in out\n"))
      << batch.err;
  EXPECT_EQ(files_in("out/data/tlg0001"), (std::set<std::string>{"__cts__.xml", "tlg001"}));
  EXPECT_EQ(files_in("out/data/tlg0001/tlg001"),
            (std::set<std::string>{"__cts__.xml", "tlg0001.tlg001.scrivel-grc1.xml"}));
}

// Links planted at the temporary names a run will use, by whoever may
// write into the out directory, are neither followed nor written over: the
// file they point to stays as it was, and every file of the run stands whole
// under its own name.
TEST_F(Corpus, LinksPlantedAtTemporaryNamesAreNotFollowed) {
  add_author(1, Builder(1).work(1).unit("~[z 1]A").finish());
  write_file("victim", "the user's own");
  const std::string tree = "out/data/tlg0001/", part = ".part" + std::to_string(::getpid());
  fs::create_directories(tree + "tlg001");
  for (const std::string& planted :
       {std::string("out/.sv1_1.html"), std::string("out/.sv1_1.log"), tree + ".__cts__.xml",
        tree + "tlg001/.__cts__.xml", tree + "tlg001/.tlg0001.tlg001.scrivel-grc1.xml"})
    fs::create_symlink(fs::absolute("victim"), planted + part);
  EXPECT_EQ(run({"convert", "--corpus", "corpus", "--out", "out", "--format", "html"}).status, 0);
  EXPECT_EQ(run({"convert", "--corpus", "corpus", "--out", "out", "--format", "tei", "--layout", "capitains"}).status,
            0);
  EXPECT_EQ(read_file("victim"), "the user's own");
  for (const std::string& written :
       {std::string("out/sv1_1.html"), std::string("out/sv1_1.log"), tree + "__cts__.xml", tree + "tlg001/__cts__.xml",
        tree + "tlg001/tlg0001.tlg001.scrivel-grc1.xml"})
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(written)) && fs::file_size(written) > 0) << written;
}

// A re-run of an author whose file no longer holds a work names what an
// earlier run wrote for it, and leaves it.
TEST_F(Corpus, AReRunNamesTheFilesOfWorksNoLongerThere) {
  const std::vector<std::string> html = {"convert", "--corpus", "corpus", "--out", "out", "--format", "html"},
                                 tree = {"convert", "--corpus", "corpus", "--out", "out", "--format", "tei",
                                         "--layout", "capitains"};
  add_author(1, Builder(1).work(1).unit("A").work(2).unit("B").work(3).unit("C").finish());
  ASSERT_EQ(run(html).status, 0);
  ASSERT_EQ(run(tree).status, 0);
  add_author(1, Builder(1).work(1).unit("A").work(2).unit("B").finish());
  const std::string left = " is of a work that the author file no longer holds; left as it stands\n";
  const Outcome again = run(html);
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.err.find("scrivel-corpus: out/sv1_3.html" + left + "scrivel-corpus: out/sv1_3.log" + left),
            std::string::npos) << again.err;
  EXPECT_NE(
      run(tree).err.find("scrivel-corpus: out/sv1_3.log" + left + "scrivel-corpus: out/data/tlg0001/tlg003" + left),
      std::string::npos);
  EXPECT_EQ(run({"convert", "--corpus", "corpus", "--out", "out", "--format", "html", "1:1"}).err.find(left),
            std::string::npos);
}

// A work that cannot be written in its folder of the tree is named by the
// tree's path, and so is the earlier edition that could not be removed.
TEST_F(Corpus, AWorkThatCannotBeWrittenInTheTreeIsNamedByItsPath) {
  const std::vector<std::string> tree = {"convert", "--corpus", "corpus", "--out", "out", "--format", "tei",
                                         "--layout", "capitains"};
  add_author(1, Builder(1).work(1).unit("A").finish());
  ASSERT_EQ(run(tree).status, 0);
  const std::string folder = "out/data/tlg0001/tlg001", edition = folder + "/tlg0001.tlg001.scrivel-grc1.xml";
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  const bool immutable = ::geteuid() == 0 && std::system(("chattr +i " + folder + " 2>/dev/null").c_str()) == 0;
  if (::geteuid() == 0 && !immutable) GTEST_SKIP() << "no way to make a folder unwritable here";
  const Outcome again = run(tree);
  if (immutable) std::system(("chattr -i " + folder).c_str());
  fs::permissions(folder, fs::perms::owner_all);
  EXPECT_EQ(again.status, 1);
  const std::string why = immutable ? "Operation not permitted" : "Permission denied";
  EXPECT_NE(again.err.find("work 1 failed: Cannot open/write to '" + edition + "' (" + why +
                           "); could not remove the earlier " + edition + ": " + why),
            std::string::npos) << again.err;
}

// Root writes wherever the mode bits forbid; there the folder is made immutable.
TEST_F(Corpus, AnOutFolderThatCannotBeWrittenIsRefused) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  fs::permissions("out", fs::perms::owner_read | fs::perms::owner_exec);
  const bool immutable = ::geteuid() == 0 && std::system("chattr +i out 2>/dev/null") == 0;
  if (::geteuid() == 0 && !immutable) GTEST_SKIP() << "no way to make a folder unwritable here";
  const Outcome refused = run({"convert", "--corpus", "corpus", "--out", "out"});
  if (immutable) std::system("chattr -i out");
  fs::permissions("out", fs::perms::owner_all);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "scrivel-corpus: cannot write into out\n");
  EXPECT_TRUE(files_in("out").empty());
}

TEST_F(Corpus, AStopBeforeTheFirstWorkStartsNone) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  const Outcome stopped = run({"convert", "--corpus", "corpus", "--out", "out"}, SIGINT);
  EXPECT_EQ(stopped.status, 130);
  EXPECT_TRUE(files_in("out").empty());
}

// The error that ended a work names its failure, not the first error of its log.
TEST_F(Corpus, AFailedWorkIsNamedByTheErrorThatEndedIt) {
  Bytes file = Builder(6).work(1).unit("~[z 1]" + std::string(300, 'A')).finish();
  file[50] = 0xFE;   // a block's end inside the text, and no block after it: Error 101
  file.resize(200);   // the file cut short in the text: Error 004
  add_author(6, file);
  const Outcome batch = run({"convert", "--corpus", "corpus", "--out", "out", "6"});
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(read_file("out/sv6_1.log").find("Error 101"), std::string::npos);
  EXPECT_NE(batch.err.find("corpus/tlg0006.txt work 1 failed: Error 004: unexpected end of file"), std::string::npos)
      << batch.err;
}

TEST_F(Corpus, SettingsComeFromScrivelCfgUnlessGiven) {
  fs::create_directory("elsewhere");
  add_author(1, Builder(1).work(1).unit("A").finish());
  fs::rename("corpus/tlg0001.txt", "elsewhere/tlg0001.txt");
  write_file("scrivel.cfg", "elsewhere/\n");
  const Outcome batch = run({"convert", "--out", "out", "1"});
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(read_file("out/sv1_1.log"),
            "error reading format type from 'cfg' file, using rtf as deafault\n"
            "reading elsewhere/tlg0001.txt work 1\n1 blocks were read\n");
  EXPECT_EQ(run({"convert", "--out", "out", "--format", "html", "1"}).status, 0);
  EXPECT_EQ(read_file("out/sv1_1.log"), "reading elsewhere/tlg0001.txt work 1\n1 blocks were read\n");
  EXPECT_TRUE(fs::exists("out/sv1_1.html"));
}

// list and authors stop at a signal as convert does, after the author under way.
TEST_F(Corpus, ListingsStopAtASignal) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  add_author(2, Builder(2).work(1).unit("B").finish());
  for (const std::string command : {"list", "authors"}) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
      const Outcome stopped = run({command, "--corpus", "corpus"}, signal);
      EXPECT_EQ(stopped.status, 128 + signal) << command;
      EXPECT_EQ(std::count(stopped.out.begin(), stopped.out.end(), '\n'), 2) << command << ": " << stopped.out;
    }
  }
}

// A command that names no author and finds no author file fails, and says
// where it looked: an empty corpus, or a cfg's directory without its "/".
TEST_F(Corpus, FindingNoAuthorFileFails) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"list", "--corpus", "corpus"}, {"authors", "--corpus", "corpus"}, {"convert", "--corpus", "corpus", "--out", "out"}}) {
    const Outcome empty = run(args);
    EXPECT_EQ(empty.status, 1) << args[0];
    EXPECT_EQ(empty.err, "scrivel-corpus: no author files tlgNNNN.txt in corpus/\n") << args[0];
  }
  add_author(1, Builder(1).work(1).unit("A").finish());
  write_file("scrivel.cfg", "corpus\nhtml\n");
  const Outcome unprefixed = run({"convert", "--out", "out"});
  EXPECT_EQ(unprefixed.status, 1);
  EXPECT_EQ(unprefixed.err, "scrivel-corpus: no author files corpustlgNNNN.txt in .\n");
}

// list needs no directory line in scrivel.cfg when --corpus names the corpus.
TEST_F(Corpus, ListWithACorpusNeedsNoDirectoryLine) {
  add_author(1, Builder(1).work(1).unit("A").finish());
  write_file("scrivel.cfg", "# nothing but a comment\n");
  for (const std::string command : {"list", "authors"}) EXPECT_EQ(run({command, "--corpus", "corpus"}).status, 0) << command;
  EXPECT_EQ(run({"convert", "--corpus", "corpus", "--format", "html", "--out", "out"}).status, 0);
}

TEST_F(Corpus, UsageErrorsExitWithStatusTwo) {
  const std::vector<std::vector<std::string>> bad = {
      {}, {"show"}, {"list", "--format", "html"}, {"list", "1:2"}, {"convert", "--jobs", "0"}, {"convert", "--jobs"},
      {"convert", "--format", "pdf"}, {"convert", "--format", "TSV"}, {"convert", "--normalize", "nfd"},
      {"list", "--normalize", "nfc"}, {"convert", "10000"}, {"convert", "1:1000"}, {"convert", "x"},
      {"convert", "--corpus", "missing"}, {"convert", "--out", "missing"},
      {"convert", "--layout", "capitains", "--format", "html"}, {"convert", "--tei-lines", "verse", "--format", "tsv"},
      {"convert", "--tei-cite-structure"},
      {"convert", "--format", "tei", "--tei-lines", "poetry"}, {"convert", "--format", "tei", "--layout", "tree"},
      {"list", "--layout", "capitains"}};
  for (const auto& args : bad) {
    const Outcome r = run(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_TRUE(r.err.starts_with("scrivel-corpus: ")) << r.err;
    EXPECT_NE(r.err.find("Usage: scrivel-corpus"), std::string::npos) << r.err;
  }
  EXPECT_NE(run({"--help"}).out.find("Exit status"), std::string::npos);
}

}  // namespace
}  // namespace scrivel::testing
