#include "search/search.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "corpus/records.h"
#include "search/query.h"
#include "search/searcher.h"
#include "search/utf8.h"

namespace scrivel::search {
namespace {

constexpr int index_status = 1;
constexpr int query_status = 2;

class HitWriter {
 public:
  HitWriter(const SearchRequest& request, std::ostream& out) : request_(request), out_(out) {}

  void write(const Hit& hit) {
    if (request_.json) {
      corpus::write_json_line(out_, hit_json(hit));
      return;
    }
    out_ << hit.label << (hit.citation.empty() ? "" : " ") << hit.citation << '\t';
    std::size_t written = 0;
    for (const auto& [begin, end] : hit.marks) {
      out_ << std::string_view(hit.text).substr(written, begin - written);
      const std::string_view word = std::string_view(hit.text).substr(begin, end - begin);
      if (request_.colour) {
        out_ << "\x1b[1;31m" << word << "\x1b[0m";
      } else {
        out_ << word;
      }
      written = end;
    }
    out_ << std::string_view(hit.text).substr(written) << '\n';
  }

  // The hits of each work, and their total.
  void write_counts(const std::vector<WorkCount>& works) {
    std::uint64_t total = 0;
    for (const WorkCount& work : works) {
      total += work.hits;
      if (request_.json) {
        corpus::write_json_line(out_, count_json(work));
      } else {
        out_ << work.label << '\t' << work.hits << '\n';
      }
    }
    if (request_.json) {
      corpus::write_json_line(out_, {{"total", total}});
    } else {
      out_ << "total\t" << total << '\n';
    }
  }

 private:
  const SearchRequest& request_;
  std::ostream& out_;
};

void say_stopped(std::ostream& err, std::size_t limit) {
  err << "scrivel-corpus: stopped at --limit " << limit << "; there are more hits\n";
}

// Writes the hits as they are found, up to the limit.
void write_hits(SearchIndex& index, const SearchRequest& request, const Question& question, std::ostream& out,
                std::ostream& err) {
  HitWriter writer(request, out);
  HitCursor cursor = index.find(question, request.exact, request.within);
  const std::size_t limit = request.limit.value_or(std::numeric_limits<std::size_t>::max());
  for (std::size_t written = 0; written < limit; ++written) {
    const std::optional<Hit> hit = cursor.next();
    if (!hit) return;
    writer.write(*hit);
  }
  if (cursor.skip(1) == 1) say_stopped(err, limit);
}

void write_counts(SearchIndex& index, const SearchRequest& request, const Question& question, std::ostream& out,
                  std::ostream& err) {
  const WorkCounts counts = index.counts(question, request.exact, request.within, request.limit);
  if (counts.more) say_stopped(err, *request.limit);
  HitWriter(request, out).write_counts(counts.works);
}

}  // namespace

nlohmann::ordered_json hit_json(const Hit& hit) {
  nlohmann::ordered_json matches = nlohmann::ordered_json::array();
  for (const auto& [begin, end] : hit.marks)
    matches.push_back({characters_before(hit.text, begin), characters_before(hit.text, end)});
  return {{"urn", hit.urn},     {"author", hit.author},     {"name", hit.name}, {"work", hit.work},
          {"title", hit.title}, {"citation", hit.citation}, {"text", hit.text}, {"matches", matches}};
}

nlohmann::ordered_json count_json(const WorkCount& count) {
  return {{"urn", count.urn},   {"author", count.author}, {"name", count.name},
          {"work", count.work}, {"title", count.title},   {"hits", count.hits}};
}

int search(const SearchRequest& request, std::ostream& out, std::ostream& err) {
  const std::variant<Question, QueryError> parsed = parse_question(request.query);
  if (const QueryError* error = std::get_if<QueryError>(&parsed)) {
    err << "scrivel-corpus: " << describe(*error, request.query);
    return query_status;
  }
  const Question& question = std::get<Question>(parsed);
  try {
    SearchIndex index(request.database);
    if (request.count) {
      write_counts(index, request, question, out, err);
    } else {
      write_hits(index, request, question, out, err);
    }
  } catch (const IndexError& failure) {
    err << "scrivel-corpus: " << failure.what() << "\n";
    return index_status;
  }
  return 0;
}

}  // namespace scrivel::search
