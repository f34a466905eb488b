#include "decode/plain_text.h"

#include <ostream>

#include "decode/decode.h"
#include "output/renderer.h"

namespace scrivel {

namespace {

// The text as the plain-text document writes it, in NFC, on one line.
std::string plain_text(std::string_view beta_code, profile::Script start) {
  std::string bytes(beta_code);
  for (char& ch : bytes)
    if (static_cast<byte>(ch) > 0x7F) ch = '?';
  std::string text;
  Writer writer(memory_output(text));
  const std::unique_ptr<Renderer> renderer = make_renderer(Format::text, Normalization::nfc, writer, {0, 0});
  std::ostream dropped(nullptr);
  Messages messages(dropped);
  decode(bytes, start, *renderer, messages);
  writer.close();
  if (text.ends_with('\n')) text.pop_back();
  for (char& ch : text)
    if (ch == '\n') ch = ' ';
  return std::string(text);  // without the room the document was written into
}

}  // namespace

std::string plain_text_of_name(std::string_view beta_code) { return plain_text(beta_code, profile::table_script); }

std::string plain_text_of_greek(std::string_view beta_code) { return plain_text(beta_code, profile::work_script); }

}  // namespace scrivel
