#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue.h"

// The records of `list` and `authors` as scrivel-corpus writes them: one
// tab-separated line under the header, or one line of JSON.
namespace scrivel::corpus {

// Levels and synonyms as the records join them: "book.line", "A; B".
std::string joined(const std::vector<std::string>& parts, std::string_view separator);

// A JSON line; a text that is no UTF-8 (none should be) is mended, not thrown.
void write_json_line(std::ostream& out, const nlohmann::ordered_json& value);

extern const char* const list_header;
void write_tsv(std::ostream& out, const WorkRecord& record);
void write_json(std::ostream& out, const WorkRecord& record);

extern const char* const authors_header;
void write_tsv(std::ostream& out, const AuthorRecord& record);
void write_json(std::ostream& out, const AuthorRecord& record);

}  // namespace scrivel::corpus
