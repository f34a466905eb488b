#include "scrivel.h"

#include <sstream>

#include "catalogue.h"
#include "decode/decode.h"
#include "input/byte_source.h"
#include "input/config.h"
#include "output/renderer.h"
#include "output/writer.h"

namespace scrivel {
namespace {

constexpr int max_author = 9999;

int convert_work(InputFile& author_file, const Request& request, FileSystem& documents, Messages& messages) {
  messages.printf("reading %s work %d\n", request.path.c_str(), request.work);
  ByteSource source(author_file, messages);
  if (!source.find_work(request.work)) return 0;
  const std::string name = document_name(request.format, request.author, request.work);
  std::unique_ptr<OutputFile> file = documents.create_output(name);
  if (!file) {
    messages.fatal("Cannot open/write to '%s'\n", name.c_str());
    return 1;
  }
  Writer writer(std::move(file));
  const Edition edition = edition_of(request.author, request.work, request.names, request.tei);
  const std::unique_ptr<Renderer> renderer =
      make_renderer(request.format, request.normalization, writer, {request.author, request.work, &edition, request.reading_page});
  const Ending ending = decode(source, profile::work_script, *renderer, messages);
  if (const std::string_view left_out = renderer->markup_left_out(); !left_out.empty())
    messages.unnumbered_warning("Warning: %.*s\n", static_cast<int>(left_out.size()), left_out.data());
  if (ending == Ending::bytes_ran_out) messages.fatal(4, ": unexpected end of file, offset:%lX\n", messages.offset());
  messages.printf("%d blocks were read\n", source.blocks_read() + 1);
  if (!writer.close()) {
    messages.fatal("Cannot open/write to '%s'\n", name.c_str());
    return 1;
  }
  return ending == Ending::bytes_ran_out ? 1 : 0;
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
    request.names = Catalogue(files, config.directory).names(request.author, request.work);
  std::unique_ptr<InputFile> input = files.open_input(request.path);
  // Copies from the discs name the author files in capitals: TLG0005.TXT.
  if (const auto other = input ? std::nullopt : file_in_any_case(files, request.path)) {
    request.path = *other;
    input = files.open_input(request.path);
  }
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

int run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out) {
  return reporting_to(out, [&](Messages& m) { return run_program(args, files, m); }).status;
}

}  // namespace scrivel
