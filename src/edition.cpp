#include "edition.h"

#include <memory>
#include <ostream>

#include "decode/decoder.h"
#include "input/byte_source.h"
#include "input/config.h"
#include "output/encodings.h"
#include "output/passage.h"
#include "output/reference.h"
#include "output/writer.h"
#include "scrivel.h"

namespace scrivel {
namespace {

constexpr std::array<Level, 3> upper_levels = {Level::x, Level::y, Level::z};

// A document that goes nowhere: its file lends one buffer again and again,
// left as allocated, since nothing reads it.
class DroppedOutput : public OutputFile {
 public:
  std::span<char> next_buffer(std::size_t) override { return {buffer_.get(), min_lent}; }
  bool close(std::size_t) override { return true; }

 private:
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(min_lent);
};

class DroppedFiles : public FileSystem {
 public:
  std::optional<std::string> read_text(const std::string&) override { return std::nullopt; }
  std::unique_ptr<InputFile> open_input(const std::string&) override { return nullptr; }
  std::unique_ptr<OutputFile> create_output(const std::string&) override { return std::make_unique<DroppedOutput>(); }
};

// Ends the decoding at the first citation.
struct FirstCitation {
  std::array<bool, 3> levels;  // x, y and z: whether it gives each
};

// A renderer that writes nothing and only waits for the first citation.
class FirstCitationProbe final : public Renderer {
 public:
  explicit FirstCitationProbe(Writer& out) : Renderer(out, utf8_forms(Normalization::none), Normalization::none) {}

  void begin() override {}
  void end() override {}
  void nonbreaking_blanks(int) override {}
  void enter_span(Effect, int) override {}
  void leave_span(Effect) override {}
  void marker(MarkerKind, int) override {}
  void line_break(Break) override {}
  void citation(const Citation& citation) override {
    FirstCitation first{};
    for (const Level level : upper_levels) first.levels[static_cast<int>(level)] = shows(citation, level);
    throw first;
  }

 private:
  void ascii(byte) override {}
};

// The levels above the line that the work's first citation gives: none
// where it has no citation, or cannot be read (the conversion then says why).
// Decoding stops there by an exception, since the decoder has no other way
// out before the work's end; a work's first citation seldom stands far in.
std::array<bool, 3> first_citation_levels(InputFile& author_file, int work) {
  std::ostream dropped(nullptr);
  Messages messages(dropped);
  DroppedFiles files;
  try {
    ByteSource source(author_file, messages);
    if (!source.find_work(work)) return {};
    Writer writer(files, messages, "");
    writer.open();
    FirstCitationProbe probe(writer);
    Decoder(source, probe, messages).scrivel();
  } catch (const FirstCitation& first) {
    return first.levels;
  } catch (const FatalExit&) {
  }
  return {};
}

// A level's unit in the citation scheme: a token that XML allows in an
// attribute of names, made of ASCII letters, digits, "-" and "_", every
// other run of characters one "_".
std::string unit_name(const std::string& name, Level level) {
  std::string unit;
  for (const char ch : name) {
    const bool kept = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-';
    if (kept) {
      unit += ch;
    } else if (!unit.empty() && unit.back() != '_') {
      unit += '_';
    }
  }
  while (!unit.empty() && unit.back() == '_') unit.pop_back();
  if (!unit.empty()) return unit;
  constexpr std::array<const char*, level_count> letters = {"x", "y", "z", "line"};
  return letters[static_cast<int>(level)];
}

std::string table_name(std::string name, bool upper) {
  if (upper)
    for (char& ch : name) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch);
  return name;
}

// A table of the corpus, its name in lower case or in upper case.
std::optional<std::string> read_table(FileSystem& files, const std::string& directory, const std::string& name) {
  for (const bool upper : {false, true})
    if (std::optional<std::string> table = files.read_text(directory + table_name(name, upper))) return table;
  return std::nullopt;
}

}  // namespace

WorkNames names_of(const AuthorEntry* author, const IdWork* work) {
  WorkNames names;
  if (author) names.author = plain_text_of_name(author->name);
  if (!work) return names;
  names.title = plain_text_of_name(work->title);
  for (int level = 0; level < level_count; ++level)
    if (!work->level_names[level].empty()) names.levels[level] = plain_text_of_name(work->level_names[level]);
  return names;
}

WorkNames names_in_corpus(FileSystem& files, const std::string& directory, int author, int work) {
  std::optional<AuthorEntry> entry;
  if (const std::optional<std::string> table = read_table(files, directory, "authtab.dir")) {
    for (AuthorEntry& listed : read_author_table(*table).entries)
      if (author_number_of(listed.file_name) == author) entry = std::move(listed);
  }
  IdTable ids;
  if (const std::optional<std::string> table = read_table(files, directory, id_table_file_name(author)))
    ids = read_id_table(*table);
  const IdWork* named = nullptr;
  for (const IdWork& listed : ids.works)
    if (listed.number == work) named = &listed;
  return names_of(entry ? &*entry : nullptr, named);
}

std::string title_of(const WorkNames& names, int author, int work) {
  return names.title.empty() ? text_group_name(author) + "." + work_name(work) : names.title;
}

std::string author_name_of(const WorkNames& names, int author) {
  return names.author.empty() ? text_group_name(author) : names.author;
}

Edition edition_of(InputFile& author_file, int author, int work, const WorkNames& names,
                   std::optional<LineForm> lines) {
  Edition edition;
  edition.title = title_of(names, author, work);
  edition.author_name = author_name_of(names, author);
  edition.file_name = author_file_name(author);
  const std::array<bool, 3> cited = first_citation_levels(author_file, work);
  author_file.seek(0);  // where the conversion's own search starts
  for (const Level level : upper_levels) {
    const int index = static_cast<int>(level);
    if (cited[index] || !names.levels[index].empty()) edition.divisions.push_back(level);
  }
  for (int level = 0; level < level_count; ++level)
    edition.units[level] = unit_name(names.levels[level], static_cast<Level>(level));
  edition.lines = lines.value_or(edition.divisions.size() <= 1 ? LineForm::verse : LineForm::prose);
  return edition;
}

}  // namespace scrivel
