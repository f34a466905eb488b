#include "output/renderer.h"

#include <charconv>

#include "output/renderers.h"

namespace scrivel {

namespace {

// The decimal text of n in `digits`.
std::string_view decimal(int n, char (&digits)[16]) {
  return {digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits)};
}

}  // namespace

void Renderer::write_decimal(int n) {
  char digits[16];
  out_->write(decimal(n, digits));
}

void Renderer::code_points(const NfcForm& form) {
  for (int i = 0; i < form.length; ++i) {
    const int c = form.code_points[i];
    if (c < 0x80) {
      ascii(static_cast<byte>(c));
    } else {
      write_encoded(encoded_[c]);
    }
  }
}

// What has no one character in the letter forms: written as the code points
// that stand for it, in NFC where the document is.
void Renderer::write_uncomposed(int index) {
  if (normalization_ == Normalization::nfc) {
    code_points(nfc_of_letter(index));
    return;
  }
  const UncomposedLetter letter = uncomposed_letter(index);
  code_points({letter.code_points, letter.length});
}

void Renderer::write_reference_line_in_pieces(Reference reference, std::string_view line_end,
                                              std::string_view blanks) {
  out_->write(line_end);
  text(reference.text);
  out_->write(blanks);
}

std::unique_ptr<Renderer> make_renderer(Format format, Normalization normalization, Writer& out,
                                        DocumentSource source) {
  switch (format) {
    case Format::rtf: return make_rtf_renderer(out, normalization);
    case Format::html: return make_html_renderer(out, normalization, source);
    case Format::text: return make_text_renderer(out, normalization);
    case Format::tsv: return make_tsv_renderer(out, normalization, source);
    case Format::tei: return make_tei_renderer(out, normalization, source);
  }
  return nullptr;
}

}  // namespace scrivel
