#include "metadata_tables.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "citation_codes.h"
#include "messages.h"

namespace authorfile {
namespace {

// ID table entry types.
constexpr unsigned char table_end = 0;
constexpr unsigned char new_author = 1;
constexpr unsigned char new_work = 2;
constexpr unsigned char new_section = 3;
constexpr unsigned char first_citation = 8;
constexpr unsigned char last_citation = 9;
constexpr unsigned char block_last_citation = 10;
constexpr unsigned char out_of_order_line = 13;
constexpr unsigned char description = 16;  // the author's name (level 0) or a work's title (level 1)
constexpr unsigned char level_name = 17;

constexpr std::size_t max_stored_text = 255;

// Author table markers.
constexpr unsigned char synonym_field = 0x80;
constexpr unsigned char language_field = 0x83;
constexpr unsigned char entry_end = 0xFF;

void append_bytes(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

void append_bytes(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

void put_big_endian(Bytes& out, std::size_t at, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    out.at(at + i) = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
  }
}

std::uint16_t two_bytes(std::size_t value, std::string_view what) {
  if (value > UINT16_MAX) {
    throw BuildError(join({what, " ", std::to_string(value), " does not fit the ID table's two bytes"}));
  }
  return static_cast<std::uint16_t>(value);
}

void append_two_bytes(Bytes& out, std::size_t value, std::string_view what) {
  out.resize(out.size() + 2);
  put_big_endian(out, out.size() - 2, two_bytes(value, what), 2);
}

void append_block(Bytes& out, std::size_t block) { append_two_bytes(out, block, "block"); }

void append_text_entry(Bytes& out, unsigned char type, std::size_t level, std::string_view text) {
  out.insert(out.end(), {type, static_cast<unsigned char>(level), static_cast<unsigned char>(text.size())});
  append_bytes(out, text);
}

void append_citation_entry(Bytes& out, unsigned char type, const CitationState& citation) {
  out.push_back(type);
  citation.append_id(out);
}

// A work's one section: where it begins, its first citation, the last citation of each block
// it goes on from, its last citation, then its out-of-order lines.
void append_section(Bytes& out, const WorkRecord& work) {
  out.push_back(new_section);
  append_block(out, work.first_block);
  CitationState citation;
  Bytes out_of_order_lines;
  std::size_t block = work.first_block;
  for (const UnitRecord& unit : work.units) {
    for (; block < unit.first_block; ++block) append_citation_entry(out, block_last_citation, citation);
    for (const CitationSetting& setting : unit.citations) citation.apply(setting);
    if (&unit == &work.units.front()) append_citation_entry(out, first_citation, citation);
    if (unit.out_of_order) {
      out_of_order_lines.push_back(out_of_order_line);
      append_block(out_of_order_lines, unit.first_block);
      citation.append_id(out_of_order_lines);
    }
  }
  if (work.units.empty()) append_citation_entry(out, first_citation, citation);
  // A unit cut at a block's end carries its citation into the blocks it goes on in.
  const std::size_t last_block = work.units.empty() ? block : work.units.back().last_block;
  for (; block < last_block; ++block) append_citation_entry(out, block_last_citation, citation);
  append_citation_entry(out, last_citation, citation);
  append_bytes(out, out_of_order_lines);
}

// A new author or work entry's length runs from its type byte to the next entry of its level
// or above (or the table's end), as the tables on the discs count it.
void set_entry_length(Bytes& entries, std::string_view what) {
  put_big_endian(entries, 1, two_bytes(entries.size(), what), 2);
}

Bytes work_entries(const WorkRecord& work) {
  Bytes out{new_work, 0, 0};
  append_block(out, work.first_block);
  append_bytes(out, work_id(work.number));
  if (!work.title.empty()) append_text_entry(out, description, 1, work.title);
  // Level bytes count up from the line (0), the names come highest first.
  for (std::size_t i = 0; i < work.levels.size(); ++i) {
    append_text_entry(out, level_name, work.levels.size() - 1 - i, work.levels[i]);
  }
  append_section(out, work);
  set_entry_length(out, join({"the length of work ", std::to_string(work.number), "'s entries"}));
  return out;
}

// The author file's name without its extension, padded to 8 bytes: `TLG0005 `.
std::string table_file_name(int author) {
  if (author < 0 || author > 9999) {
    throw BuildError(join({"the author number must be a number from 0 to 9999, not ", std::to_string(author)}));
  }
  char name[9];
  std::snprintf(name, sizeof name, "TLG%04d ", author);
  return name;
}

void append_author_entry(Bytes& out, const AuthorEntry& author) {
  if (author.synonyms.size() > max_synonyms) throw BuildError("an author has at most five synonyms");
  append_bytes(out, table_file_name(author.number));
  if (!author.name.empty()) append_bytes(out, stored_text(author.name, "the author's name"));
  for (const std::string& synonym : author.synonyms) {
    out.push_back(synonym_field);
    append_bytes(out, stored_text(synonym, "a synonym"));
  }
  if (!author.language.empty()) {
    out.push_back(language_field);
    append_bytes(out, stored_text(author.language, "the language"));
  }
  out.push_back(entry_end);
  if (out.size() % 2 != 0) out.push_back(entry_end);
}

}  // namespace

std::string stored_text(std::string_view text, std::string_view what) {
  const bool printable = std::ranges::all_of(text, [](char c) { return c >= 0x20 && c <= 0x7E; });
  if (text.empty() || text.size() > max_stored_text || !printable) {
    throw BuildError(join({what, " must be 1 to 255 characters of printable ASCII, not ", quoted(text)}));
  }
  return std::string(text);
}

Bytes id_table(const AuthorEntry& author, const std::vector<WorkRecord>& works) {
  Bytes out{new_author, 0, 0, 0, 0};
  append_bytes(out, author_id(author.number));
  if (!author.name.empty()) append_text_entry(out, description, 0, author.name);
  for (const WorkRecord& work : works) append_bytes(out, work_entries(work));
  set_entry_length(out, "the length of the author's entries");
  out.push_back(table_end);
  return out;
}

// A library heading opens the table: `*TLG` and the length of the whole table, big-endian.
Bytes author_table(const std::vector<AuthorEntry>& authors) {
  Bytes out{'*', 'T', 'L', 'G', 0, 0, 0, 0};
  for (const AuthorEntry& author : authors) append_author_entry(out, author);
  out.insert(out.end(), {'*', 'E', 'N', 'D', 0, 0, 0, 0});
  put_big_endian(out, 4, out.size(), 4);
  return out;
}

}  // namespace authorfile
