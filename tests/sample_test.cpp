// The bundled sample, converted whole with the names its tables give and
// compared with reviewed copies of its documents, so that any change to the
// output shows in a diff; and long documents written through buffers of the
// least room.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "author_file_builder.h"
#include "catalogue.h"
#include "conversion.h"
#include "document_checks.h"
#include "files.h"

namespace scrivel::testing {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), {}};
}

authorfile::Bytes bytes_of(const std::string& path) {
  const std::string text = read_file(path);
  return {text.begin(), text.end()};
}

authorfile::Bytes sample() { return bytes_of(SCRIVEL_SAMPLE_DIR "/tlg0012.txt"); }

// The author file and its tables, as `tlgbuild --corpus` writes them.
TEST(Sample, IsBuiltFromItsSource) {
  const authorfile::AuthorFiles files = authorfile::build_files(read_file(SCRIVEL_SAMPLE_DIR "/tlg0012.src"));
  EXPECT_EQ(sample(), files.text);
  EXPECT_EQ(bytes_of(SCRIVEL_SAMPLE_DIR "/tlg0012.idt"), files.id_table);
  EXPECT_EQ(bytes_of(SCRIVEL_SAMPLE_DIR "/authtab.dir"), authorfile::author_table({files.author}));
}

// What the sample's tables name of a work, read as scrivel reads them.
WorkNames names_of(int work) {
  DiskFiles files;
  return Catalogue(files, SCRIVEL_SAMPLE_DIR "/", [](const std::string& fault) { ADD_FAILURE() << fault; })
      .names(12, work);
}

TEST(Sample, TablesNameTheAuthorAndTheWorks) {
  EXPECT_EQ(names_of(1).author, "Homerus");
  EXPECT_EQ(names_of(1).title, "Ilias");
  EXPECT_EQ(names_of(2).title, "Odyssea");
  EXPECT_EQ(names_of(2).levels, (std::array<std::string, level_count>{"", "", "book", "line"}));
}

TEST(Sample, ConvertsToTheReviewedDocuments) {
  for (const Format format : {Format::html, Format::rtf, Format::text, Format::tsv, Format::tei}) {
    for (const int work : {1, 2}) {
      const std::string name = "sv12_" + std::to_string(work) + std::string(extension_of(format));
      SCOPED_TRACE(name);
      const Conversion result = scrivel::convert(
          to_string(sample()), {12, work, format, default_normalization(format), "tlg0012.txt", names_of(work), {}});
      EXPECT_EQ(result.outcome.status, 0);
      EXPECT_EQ(notes_of(result.messages), "");
      EXPECT_EQ(result.document, read_file(SCRIVEL_EXPECTED_DIR "/" + name));
      EXPECT_EQ(checks::check_document(result.document, format), "");
    }
  }
}

// Documents lent buffers of `room` bytes.
class Lending : public FileSystem {
 public:
  explicit Lending(std::size_t room) : room_(room) {}
  std::string document;
  FileText read_text(const std::string&) override { return {}; }
  std::unique_ptr<InputFile> open_input(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> create_output(const std::string&) override {
    return std::make_unique<Lent>(document, room_);
  }

 private:
  struct Lent : OutputFile {
    Lent(std::string& document, std::size_t room) : document(document), buffer(room) {}
    std::span<char> next_buffer(std::size_t used) override {
      document.append(buffer.data(), used);
      return buffer;
    }
    bool close(std::size_t used) override {
      document.append(buffer.data(), used);
      return true;
    }
    std::string& document;
    std::vector<char> buffer;
  };
  std::size_t room_;
};

std::string converted(const std::string& file, Format format, std::size_t room) {
  Lending files(room);
  MemoryInput input(file);
  std::ostringstream messages;
  scrivel::convert(input, {1, 1, format, default_normalization(format), "tlg0001.txt", {}, {}}, files, messages);
  return files.document;
}

// Lines of no letters, so that nothing reserves room ahead and each buffer
// fills to its last byte, each with an effect that opens and closes on
// nothing, taken back; shifted byte by byte so that a buffer ends at every
// place in a line.
TEST(Documents, DoNotDependOnWhereTheBuffersEnd) {
  for (int shift = 0; shift < 24; ++shift) {
    std::string units = "~[line 1]" + std::string(shift, '9') + "\n";
    for (int i = 0; i < 8000; ++i) units += "~[line " + std::to_string(i % 100 + 1) + "]1$1$ 2-\n";
    const std::string file = to_string(authorfile::single_work(units));
    for (const Format format : {Format::tsv, Format::tei}) {
      SCOPED_TRACE(std::string(extension_of(format)) + " shifted by " + std::to_string(shift));
      const std::string whole = converted(file, format, 4 << 20);
      const std::string least = converted(file, format, OutputFile::min_lent);
      ASSERT_GT(whole.size(), OutputFile::min_lent);
      EXPECT_EQ(checks::check_document(least, format), "");
      EXPECT_TRUE(least == whole);
    }
  }
}

}  // namespace
}  // namespace scrivel::testing
