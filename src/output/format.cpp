#include "output/format.h"

#include <array>

namespace scrivel {
namespace {

struct FormatName {
  Format format;
  std::string_view name;
  std::string_view extension;
};

constexpr std::array<FormatName, 5> formats = {{
    {Format::rtf, "rtf", ".rtf"},
    {Format::html, "html", ".html"},
    {Format::text, "text", ".txt"},
    {Format::tsv, "tsv", ".tsv"},
    {Format::tei, "tei", ".xml"},
}};

}  // namespace

std::optional<Format> format_named(std::string_view name) {
  for (const FormatName& f : formats)
    if (f.name == name) return f.format;
  return std::nullopt;
}

std::optional<Normalization> normalization_named(std::string_view name) {
  if (name == "nfc") return Normalization::nfc;
  if (name == "none") return Normalization::none;
  return std::nullopt;
}

std::string_view extension_of(Format format) { return formats[static_cast<int>(format)].extension; }

std::string document_name(Format format, int author, int work) {
  return "sv" + std::to_string(author) + "_" + std::to_string(work) + std::string(extension_of(format));
}

}  // namespace scrivel
