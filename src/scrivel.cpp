#include "scrivel.h"

#include <sstream>

#include "decode/decoder.h"
#include "input/byte_source.h"
#include "input/config.h"
#include "output/renderer.h"
#include "output/writer.h"

namespace scrivel {
namespace {

constexpr int max_author = 9999;

int convert_work(InputFile& author_file, const Request& request, FileSystem& documents, Messages& messages) {
  messages.printf("reading %s work %d\n", request.path.c_str(), request.work);
  std::optional<Edition> edition;
  if (request.format == Format::tei)
    edition = edition_of(author_file, request.author, request.work, request.names, request.lines);
  ByteSource source(author_file, messages);
  if (!source.find_work(request.work)) return 0;
  const DocumentSource origin{request.author, request.work, edition ? &*edition : nullptr};
  Writer writer(documents, messages, document_name(request.format, request.author, request.work));
  writer.open();
  const std::unique_ptr<Renderer> renderer = make_renderer(request.format, request.normalization, writer, origin);
  const int status = Decoder(source, *renderer, messages).scrivel();
  return writer.close() ? status : 1;
}

int run_program(const std::vector<std::string>& args, FileSystem& files, Messages& messages) {
  if (args.size() != 3) {
    messages.printf("Usage: scrivel <author_number> <work_number>\n");
    return 1;
  }
  Request request;
  request.author = leading_number(args[1]);
  request.work = leading_number(args[2]);
  // The author file is named with four digits; a longer number names no file of the corpus.
  if (request.author < 0 || request.author > max_author) {
    messages.printf("Author number out of range (0-9999): %d\n", request.author);
    return 1;
  }
  const Config config = read_config(files, messages);
  request.format = config.format;
  request.normalization = default_normalization(config.format);
  request.path = config.directory + author_file_name(request.author);
  if (request.format == Format::tei)
    request.names = names_in_corpus(files, config.directory, request.author, request.work);
  const std::unique_ptr<InputFile> input = files.open_input(request.path);
  if (!input) {
    messages.printf("Cannot open file: %s\n", request.path.c_str());
    return 1;
  }
  return convert_work(*input, request, files, messages);
}

// Runs `body` with the messages going to `out`; a fatal exit gives its status.
template <typename Body>
Outcome reporting_to(std::ostream& out, Body body) {
  Messages messages(out);
  Outcome outcome;
  try {
    outcome.status = body(messages);
  } catch (const FatalExit& exit) {
    outcome.status = exit.status;
  }
  outcome.reports = messages.tally();
  return outcome;
}

}  // namespace

Outcome convert(InputFile& author_file, const Request& request, FileSystem& documents, std::ostream& messages) {
  return reporting_to(messages, [&](Messages& m) { return convert_work(author_file, request, documents, m); });
}

Conversion convert(std::string_view author_file, const Request& request) {
  MemoryInput input(author_file);
  MemoryFiles documents;
  std::ostringstream messages;
  Conversion result;
  result.outcome = convert(input, request, documents, messages);
  result.messages = std::move(messages).str();
  if (!documents.outputs.empty()) result.document = std::move(documents.outputs.begin()->second);
  return result;
}

std::string plain_text_of_name(std::string_view beta_code) {
  // The name as the text of a work of its own, opened in Latin type: `&`,
  // and a grave accent, which writes nothing, so that a digit that begins
  // the name is not taken for the number of the `&`.
  std::string file = "\xEF\x80\xB0\xB0\xB0\xB0\xFF\xEF\x81\xB0\xB0\xB1\xFF&`";
  for (const char ch : beta_code) file += static_cast<unsigned char>(ch) > 0x7F ? '?' : ch;
  file += "\xF0\xFE";
  std::string text = convert(file, {0, 1, Format::text, Normalization::nfc, "name", {}, {}}).document;
  if (text.ends_with('\n')) text.pop_back();
  for (char& ch : text)
    if (ch == '\n') ch = ' ';
  return text;
}

int run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out) {
  return reporting_to(out, [&](Messages& m) { return run_program(args, files, m); }).status;
}

}  // namespace scrivel
