#include "corpus/options.h"

#include <charconv>
#include <string_view>

namespace scrivel::corpus {
namespace {

constexpr int max_author = 9999;
constexpr int max_work = 999;  // a work header holds three digits
constexpr int max_jobs = 4096;
constexpr int max_limit = 1000000000;
constexpr int max_port = 65535;

// A whole decimal number from 0 to `max`, nothing else.
std::optional<int> number_in(std::string_view text, int max) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < 0 || value > max)
    return std::nullopt;
  return value;
}


// The authors of --author A,B or the works of --work A:W,B:V, added to `within`.
bool add_within(std::string_view list, bool works, std::vector<Target>& within, std::string& error) {
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    const auto target = target_of(item);
    if (!target || target->work.has_value() != works) {
      error = works ? "--work takes AUTHOR:WORK,..., not '" + std::string(item) + "'"
                    : "--author takes AUTHOR,... (0 to 9999), not '" + std::string(item) + "'";
      return false;
    }
    within.push_back(*target);
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

// Reads the options that take a value, as --name VALUE or --name=VALUE.
class ArgumentReader {
 public:
  ArgumentReader(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

  bool done() const { return i_ >= args_.size(); }
  const std::string& current() const { return args_[i_]; }
  void advance() { ++i_; }

  // Whether the current argument is option `name`; its value goes into `value`,
  // and a missing one is an error.
  bool option(std::string_view name, std::optional<std::string>& value) {
    const std::string_view arg = args_[i_];
    value.reset();
    if (arg == name) {
      if (i_ + 1 < args_.size()) {
        value = args_[++i_];
      } else {
        error_ = std::string(name) + " needs a value";
      }
      return true;
    }
    if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
      value = std::string(arg.substr(name.size() + 1));
      return true;
    }
    return false;
  }

 private:
  const std::vector<std::string>& args_;
  std::string& error_;
  std::size_t i_ = 1;  // after the command
};

}  // namespace

std::optional<Target> target_of(std::string_view text) {
  const std::size_t colon = text.find(':');
  const auto author = number_in(text.substr(0, colon), max_author);
  if (!author) return std::nullopt;
  Target target{*author, std::nullopt};
  if (colon == std::string_view::npos) return target;
  target.work = number_in(text.substr(colon + 1), max_work);
  if (!target.work) return std::nullopt;
  return target;
}

const char* const usage =
    "Usage: scrivel-corpus list    [--corpus DIR] [--json] [AUTHOR...]\n"
    "       scrivel-corpus authors [--corpus DIR] [--json] [AUTHOR...]\n"
    "       scrivel-corpus convert [--corpus DIR] [--format FORMAT] [--normalize nfc|none] [--tei-lines verse|prose]\n"
    "                              [--tei-cite-structure] [--layout flat|capitains] [--out DIR] [--jobs N]\n"
    "                              [AUTHOR[:WORK]...]\n"
    "       scrivel-corpus index   [--corpus DIR] [--db FILE] [--jobs N] [AUTHOR...]\n"
    "       scrivel-corpus search  [--db FILE] [--exact] [--author A,...] [--work A:W,...] [--limit N]\n"
    "                              [--count] [--json] QUERY\n"
    "       scrivel-corpus serve   [--db FILE] [--corpus DIR] [--bind ADDRESS] [--port N]\n"
    "       scrivel-corpus --help | --version\n";

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& error) {
  Options options;
  if (args.empty()) {
    error = "no command given";
    return std::nullopt;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") return options;
  if (command == "--version") {
    options.command = Options::Command::version;
    return options;
  }
  if (command == "list") {
    options.command = Options::Command::list;
  } else if (command == "authors") {
    options.command = Options::Command::authors;
  } else if (command == "convert") {
    options.command = Options::Command::convert;
  } else if (command == "index") {
    options.command = Options::Command::index;
  } else if (command == "search") {
    options.command = Options::Command::search;
  } else if (command == "serve") {
    options.command = Options::Command::serve;
  } else {
    error = "unknown command '" + command + "'";
    return std::nullopt;
  }
  const bool converting = options.command == Options::Command::convert;
  const bool indexing = options.command == Options::Command::index;
  const bool searching = options.command == Options::Command::search;
  const bool serving = options.command == Options::Command::serve;
  const bool listing = options.command == Options::Command::list || options.command == Options::Command::authors;
  ArgumentReader reader(args, error);
  std::vector<std::string> query_words;
  for (std::optional<std::string> value; !reader.done(); reader.advance()) {
    const std::string& arg = reader.current();
    if (arg == "--help" || arg == "-h") {
      options.command = Options::Command::help;
      return options;
    }
    if (searching && arg == "--") {
      // What follows is the query's, though it start with '-'.
      for (reader.advance(); !reader.done(); reader.advance()) query_words.push_back(reader.current());
      break;
    } else if (!searching && reader.option("--corpus", value)) {
      if (!value) return std::nullopt;
      options.corpus = *value;
    } else if (converting && reader.option("--format", value)) {
      if (!value) return std::nullopt;
      options.format = format_named(*value);
      if (!options.format) {
        error = "--format must be rtf, html, text, tsv or tei, not '" + *value + "'";
        return std::nullopt;
      }
    } else if (converting && reader.option("--normalize", value)) {
      if (!value) return std::nullopt;
      options.normalization = normalization_named(*value);
      if (!options.normalization) {
        error = "--normalize must be nfc or none, not '" + *value + "'";
        return std::nullopt;
      }
    } else if (converting && reader.option("--tei-lines", value)) {
      if (!value) return std::nullopt;
      if (*value != "verse" && *value != "prose") {
        error = "--tei-lines must be verse or prose, not '" + *value + "'";
        return std::nullopt;
      }
      options.tei.lines = *value == "verse" ? LineForm::verse : LineForm::prose;
    } else if (converting && arg == "--tei-cite-structure") {
      options.tei.cite_structure = true;
    } else if (converting && reader.option("--layout", value)) {
      if (!value) return std::nullopt;
      if (*value != "flat" && *value != "capitains") {
        error = "--layout must be flat or capitains, not '" + *value + "'";
        return std::nullopt;
      }
      options.layout = *value == "flat" ? Layout::flat : Layout::capitains;
    } else if (converting && reader.option("--out", value)) {
      if (!value) return std::nullopt;
      options.out = *value;
    } else if ((converting || indexing) && reader.option("--jobs", value)) {
      if (!value) return std::nullopt;
      const auto jobs = number_in(*value, max_jobs);
      if (!jobs || *jobs < 1) {
        error = "--jobs must be a number from 1 to " + std::to_string(max_jobs) + ", not '" + *value + "'";
        return std::nullopt;
      }
      options.jobs = *jobs;
    } else if ((listing || searching) && arg == "--json") {
      options.json = true;
    } else if ((indexing || searching || serving) && reader.option("--db", value)) {
      if (!value) return std::nullopt;
      options.database = *value;
    } else if (searching && arg == "--exact") {
      options.exact = true;
    } else if (searching && arg == "--count") {
      options.count = true;
    } else if (searching && reader.option("--limit", value)) {
      if (!value) return std::nullopt;
      const auto limit = number_in(*value, max_limit);
      if (!limit || *limit < 1) {
        error = "--limit must be a number from 1 to " + std::to_string(max_limit) + ", not '" + *value + "'";
        return std::nullopt;
      }
      options.limit = static_cast<std::size_t>(*limit);
    } else if (searching && (reader.option("--author", value) || reader.option("--work", value))) {
      if (!value) return std::nullopt;
      const bool works = arg.starts_with("--work");
      if (!add_within(*value, works, options.within, error)) return std::nullopt;
    } else if (serving && reader.option("--bind", value)) {
      if (!value) return std::nullopt;
      if (value->empty()) {
        error = "--bind needs an address, such as 127.0.0.1";
        return std::nullopt;
      }
      options.bind = *value;
    } else if (serving && reader.option("--port", value)) {
      if (!value) return std::nullopt;
      const auto port = number_in(*value, max_port);
      if (!port) {
        error = "--port must be a number from 0 to " + std::to_string(max_port) + ", not '" + *value + "'";
        return std::nullopt;
      }
      options.port = *port;
    } else if (arg.starts_with("-")) {
      error = "unknown option '" + arg + "'";
      return std::nullopt;
    } else if (searching) {
      query_words.push_back(arg);
    } else if (serving) {
      error = "serve takes no AUTHOR: it serves the whole index, not '" + arg + "'";
      return std::nullopt;
    } else {
      const auto target = target_of(arg);
      if (!target || (target->work && !converting)) {
        error = converting ? "'" + arg + "' is no AUTHOR (0 to 9999) or AUTHOR:WORK (work 0 to 999)"
                           : "'" + arg + "' is no AUTHOR number (0 to 9999)";
        return std::nullopt;
      }
      options.targets.push_back(*target);
    }
  }
  if (searching) {
    if (query_words.empty()) {
      error = "search needs a QUERY";
      return std::nullopt;
    }
    for (const std::string& word : query_words) options.query += (options.query.empty() ? "" : " ") + word;
  }
  return options;
}

}  // namespace scrivel::corpus
