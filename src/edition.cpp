#include "edition.h"

#include "input/config.h"

namespace scrivel {
namespace {

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

}  // namespace

Edition edition_of(int author, int work, const WorkNames& names, const TeiChoices& choices) {
  Edition edition;
  edition.title = title_of(names, author, work);
  edition.author_name = author_name_of(names, author);
  edition.file_name = author_file_name(author);
  for (int level = 0; level < level_count; ++level)
    edition.units[level] = unit_name(names.levels[level], static_cast<Level>(level));
  edition.greek_title = names.title_language == profile::language;
  edition.greek_author = names.author_language == profile::language;
  edition.choices = choices;
  return edition;
}

}  // namespace scrivel
