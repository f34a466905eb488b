#pragma once

#include <ostream>

#include "catalogue.h"

// The records of `list` and `authors` as scrivel-corpus writes them: one
// tab-separated line under the header, or one line of JSON.
namespace scrivel::corpus {

extern const char* const list_header;
void write_tsv(std::ostream& out, const WorkRecord& record);
void write_json(std::ostream& out, const WorkRecord& record);

extern const char* const authors_header;
void write_tsv(std::ostream& out, const AuthorRecord& record);
void write_json(std::ostream& out, const AuthorRecord& record);

}  // namespace scrivel::corpus
