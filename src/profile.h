#pragma once

#include <string_view>

// The corpus that scrivel reads, in the values that every part of the
// program shares: how its files are named, the script its texts start in,
// and what the documents call its language. The values live here, once.
namespace scrivel::profile {

// The script a stretch of Beta Code starts in: a work's text is Greek until
// a sign switches it; the names and titles of the corpus's tables start in
// Latin type.
enum class Script { greek, latin };
inline constexpr Script work_script = Script::greek;
inline constexpr Script table_script = Script::latin;

// An author file is tlgNNNN.txt; its ID table tlgNNNN.idt; a CTS text group
// tlgNNNN and a work tlgWWW.
inline constexpr std::string_view file_prefix = "tlg";
// CTS URNs of the corpus: urn:cts:greekLit:tlg0012.tlg001.
inline constexpr std::string_view cts_namespace = "greekLit";
// The language of the texts, as XML's xml:lang names it, and that of the
// tables' names and titles, which start in Latin, unless one opens in Greek.
inline constexpr std::string_view language = "grc";
inline constexpr std::string_view table_language = "lat";
// The Windows code page of Greek, which RTF documents declare.
inline constexpr int rtf_code_page = 1253;

// The version of scrivel that documents and --version name.
inline constexpr std::string_view version = SCRIVEL_VERSION;

}  // namespace scrivel::profile
