// A whole run: command line, scrivel.cfg, the author file, exit statuses and
// messages, and the document file on disk.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "author_file_builder.h"
#include "conversion.h"
#include "files.h"
#include "fresh_directory.h"
#include "scrivel.h"

namespace scrivel::testing {
namespace {

const std::string one_work = to_string(authorfile::single_work("LOGOS"));

struct Outcome {
  int status;
  std::string messages;
  MemoryFiles files;
};

Outcome run_with(std::vector<std::string> args, std::map<std::string, std::string> inputs) {
  Outcome r;
  r.files.inputs = std::move(inputs);
  std::ostringstream out;
  args.insert(args.begin(), "scrivel");
  r.status = run(args, r.files, out);
  r.messages = out.str();
  return r;
}

// Runs that end before any document, with status 1 and one message.
TEST(CommandLine, RefusesWhatItCannotRun) {
  const std::string usage = "Usage: scrivel <author_number> <work_number>\n";
  const std::map<std::string, std::string> html = {{"scrivel.cfg", "\nhtml\n"}, {"tlg0001.txt", one_work}};
  const struct {
    std::vector<std::string> args;
    std::map<std::string, std::string> inputs;
    std::string messages;
  } cases[] = {
      {{}, html, usage},
      {{"1"}, html, usage},
      {{"1", "1", "1"}, html, usage},
      {{" +12abc", "3"}, html, "Cannot open file: tlg0012.txt\n"},  // the leading number of each argument
      {{"abc", "3"}, html, "Cannot open file: tlg0000.txt\n"},
      {{"9999", "3"}, html, "Cannot open file: tlg9999.txt\n"},
      {{"10000", "1"}, {}, "Author number out of range (0-9999): 10000\n"},
      {{"-1", "1"}, {}, "Author number out of range (0-9999): -1\n"},
      {{"99999999999999", "1"}, {}, "Author number out of range (0-9999): 2147483647\n"},
      {{"1", "1"}, {{"tlg0001.txt", one_work}}, "Cannot open cfg file\n"},
      {{"1", "1"}, {{"scrivel.cfg", ""}, {"tlg0001.txt", one_work}}, "error reading 'cfg' file\n"},
      {{"1", "1"}, {{"scrivel.cfg", "# corpus\n#format\n"}, {"tlg0001.txt", one_work}}, "error reading 'cfg' file\n"},
      // The directory line as it stands: no separator added, blanks and '#' kept.
      {{"12", "1"}, {{"scrivel.cfg", "corpus\nhtml\n"}}, "Cannot open file: corpustlg0012.txt\n"},
      {{"1", "1"}, {{"scrivel.cfg", " #x/\nhtml\n"}}, "Cannot open file:  #x/tlg0001.txt\n"},
  };
  for (const auto& c : cases) {
    const Outcome r = run_with(c.args, c.inputs);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.messages, c.messages) << ::testing::PrintToString(c.args);
  }
}

TEST(Config, ChoosesTheFormat) {
  const std::pair<std::string, std::string> cases[] = {
      {"\nhtml\n", "sv1_1.html"},     {"# corpus\n\n# format\nhtml", "sv1_1.html"},
      {"\r\nhtml\r\n", "sv1_1.html"}, {"\nHTML\n", "sv1_1.rtf"},
      {"\nhtml \n", "sv1_1.rtf"},     {"\nrtf\n", "sv1_1.rtf"},
      {"\ntext\n", "sv1_1.txt"},     {"\ntsv\r\n", "sv1_1.tsv"},
      {"\nTSV\n", "sv1_1.rtf"},
  };
  for (const auto& [cfg, document] : cases) {
    const Outcome r = run_with({"1", "1"}, {{"scrivel.cfg", cfg}, {"tlg0001.txt", one_work}});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.files.outputs.count(document), 1u) << cfg;
  }
  const Outcome no_format = run_with({"1", "1"}, {{"scrivel.cfg", "\n"}, {"tlg0001.txt", one_work}});
  EXPECT_EQ(no_format.status, 0);
  EXPECT_EQ(no_format.files.outputs.count("sv1_1.rtf"), 1u);
  EXPECT_TRUE(no_format.messages.starts_with(
      "error reading format type from 'cfg' file, using rtf as deafault\nreading tlg0001.txt work 1\n"));
}

// Runs the real program's files in a fresh directory of its own.
class OnDisk : public InFreshDirectory {
 protected:
  void SetUp() override {
    InFreshDirectory::SetUp();
    write("scrivel.cfg", "\nhtml\n");
    write("tlg0001.txt", one_work);
  }
  static void write(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }
  int run_here(std::string& messages) {
    DiskFiles files;
    std::ostringstream out;
    const int status = run({"scrivel", "1", "1"}, files, out);
    messages = out.str();
    return status;
  }
};

// A work whose RTF document runs to several megabytes: the document is
// written in pieces while the decoder goes on.
authorfile::Bytes large_work() {
  std::string content;
  for (int line = 1; line <= 16000; ++line)
    content += "~[line " + std::to_string(line) + "]MH=NIN A)/EIDE QEA\\ PHLHI+A/DEW\n";
  return authorfile::single_work(content);
}

TEST_F(OnDisk, WritesALargeDocumentWholeAndInOrder) {
  const authorfile::Bytes author_file = large_work();
  write("tlg0001.txt", to_string(author_file));
  write("scrivel.cfg", "\nrtf\n");
  std::string messages;
  ASSERT_EQ(run_here(messages), 0) << messages;
  std::ifstream document("sv1_1.rtf", std::ios::binary);
  const std::string on_disk{std::istreambuf_iterator<char>(document), {}};
  const Conversion in_memory = convert(author_file, Format::rtf);
  EXPECT_GT(on_disk.size(), 2u << 20);
  EXPECT_TRUE(on_disk == in_memory.document);
}

// Runs that fail on disk with status 1, and their messages: whole, or only
// their end where the count of blocks read depends on where the disk filled.
TEST_F(OnDisk, ReportsWhatItCannotReadOrWrite) {
  namespace fs = std::filesystem;
  const std::string cannot_write = "Cannot open/write to 'sv1_1.html'\n";
  const struct { const char* name; void (*setup)(); std::string messages; bool whole; } cases[] = {
      {"a document that cannot be created", [] { fs::create_directory("sv1_1.html"); },
       "reading tlg0001.txt work 1\n" + cannot_write, true},
      {"a full disk", [] { fs::create_symlink("/dev/full", "sv1_1.html"); },
       "reading tlg0001.txt work 1\n1 blocks were read\n" + cannot_write, true},
      {"a full disk in the middle of a large document",
       [] { write("tlg0001.txt", to_string(large_work())); fs::create_symlink("/dev/full", "sv1_1.html"); },
       " blocks were read\n" + cannot_write, false},
      {"a directory as author file", [] { fs::remove("tlg0001.txt"); fs::create_directory("tlg0001.txt"); },
       "Cannot open file: tlg0001.txt\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();  // a fresh directory for each
    SetUp();
    c.setup();
    std::string messages;
    EXPECT_EQ(run_here(messages), 1);
    EXPECT_TRUE(c.whole ? messages == c.messages : messages.ends_with(c.messages)) << messages;
  }
}

}  // namespace
}  // namespace scrivel::testing
