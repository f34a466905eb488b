#include "scrivel.h"

#include <cstdio>

#include "decode/decoder.h"
#include "input/byte_source.h"
#include "input/config.h"
#include "messages.h"
#include "output/document.h"

namespace scrivel {
namespace {

constexpr int max_author = 9999;

std::string author_file_name(int author) {
  char name[16];
  std::snprintf(name, sizeof name, "tlg%4.4d.txt", author);
  return name;
}

int convert(const std::vector<std::string>& args, FileSystem& files, Messages& messages) {
  if (args.size() != 3) {
    messages.printf("Usage: scrivel <author_number> <work_number>\n");
    return 1;
  }
  const int author = leading_number(args[1]);
  const int work = leading_number(args[2]);
  // The author file is named with four digits; a longer number names no file of the corpus.
  if (author < 0 || author > max_author) {
    messages.printf("Author number out of range (0-9999): %d\n", author);
    return 1;
  }
  const Config config = read_config(files, messages);
  const std::string path = config.directory + author_file_name(author);
  const std::unique_ptr<InputFile> input = files.open_input(path);
  if (!input) {
    messages.printf("Cannot open file: %s\n", path.c_str());
    return 1;
  }
  messages.printf("reading %s work %d\n", path.c_str(), work);
  ByteSource source(*input, messages);
  if (!source.find_work(work)) return 0;
  Document document(files, messages, config.rtf, author, work);
  const int status = Decoder(source, document, messages).scrivel();
  return document.close() ? status : 1;
}

}  // namespace

int run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out) {
  Messages messages(out);
  try {
    return convert(args, files, messages);
  } catch (const FatalExit& exit) {
    return exit.status;
  }
}

}  // namespace scrivel
