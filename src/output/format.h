#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scrivel {

// The forms a document can take: RTF (code page 1253, every character above
// 127 as a Unicode escape) and HTML (UTF-8) for reading; plain text and
// tab-separated records, both UTF-8, for study; TEI XML (UTF-8) for digital
// libraries.
enum class Format { rtf, html, text, tsv, tei };

// Whether characters are written as the reading documents always had them,
// or in Unicode normalization form C, which taggers and search tools match.
enum class Normalization { none, nfc };

// The format a name stands for ("rtf", "html", "text", "tsv", "tei"); nothing
// for any other name, which each caller treats in its own way.
std::optional<Format> format_named(std::string_view name);
std::optional<Normalization> normalization_named(std::string_view name);

// The extension of a document's file name, with its dot.
std::string_view extension_of(Format format);

// The name of a work's document: sv<author>_<work> and the format's extension.
std::string document_name(Format format, int author, int work);

// NFC for the formats for study and for libraries; the reading documents
// stay as they were.
constexpr Normalization default_normalization(Format format) {
  return format == Format::rtf || format == Format::html ? Normalization::none : Normalization::nfc;
}

}  // namespace scrivel
