#include "serve/pages.h"

#include "output/passage.h"
#include "output/xml.h"

namespace scrivel::serve {
namespace {

// The frame of every page: its style sheet and script are the library's
// own, so that nothing is fetched from elsewhere.
std::string frame_start(std::string_view title, std::string_view query = {}) {
  std::string page =
      "<!DOCTYPE html>\n"
      "<html lang=\"en\">\n"
      "<head>\n"
      "<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>";
  page += xml_escaped(title);
  page +=
      " · scrivel</title>\n"
      "<link rel=\"icon\" href=\"/static/icon.svg\">\n"
      "<link rel=\"stylesheet\" href=\"/static/scrivel.css\">\n"
      "<script src=\"/static/scrivel.js\" defer></script>\n"
      "</head>\n"
      "<body>\n"
      "<a class=\"skip\" href=\"#main\">Skip to the content</a>\n"
      "<header>\n"
      "<a class=\"home\" href=\"/\">scrivel</a>\n"
      "<form class=\"quick\" action=\"/search\" role=\"search\">\n"
      "<input name=\"q\" type=\"search\" aria-label=\"Search the corpus\" placeholder=\"Search: λόγος or lo/gos\" value=\"";
  page += xml_escaped(query);
  page +=
      "\">\n"
      "<button>Search</button>\n"
      "</form>\n"
      "</header>\n"
      "<main id=\"main\">\n";
  return page;
}

constexpr std::string_view frame_end = "</main>\n</body>\n</html>\n";

std::string framed(std::string_view title, std::string_view body, std::string_view query = {}) {
  return frame_start(title, query) + std::string(body) + std::string(frame_end);
}

std::string link(std::string_view href, std::string_view text) {
  return "<a href=\"" + xml_escaped(href) + "\">" + xml_escaped(text) + "</a>";
}

std::string author_name(const AuthorEntry& author) {
  return author.name.empty() ? text_group_name(author.author) : author.name;
}

std::string work_address(const WorkEntry& work) { return "/" + work.urn; }

std::string breadcrumbs(const AuthorEntry& author, std::string_view last) {
  return "<nav class=\"crumbs\" aria-label=\"Where you are\">" + link("/", "Authors") + " › " +
         link("/" + text_group_name(author.author), author_name(author)) + (last.empty() ? "" : " › " + xml_escaped(last)) +
         "</nav>\n";
}

// A form that searches within one author or one work.
std::string search_within(std::string_view within, std::string_view what) {
  return "<form class=\"within\" action=\"/search\" role=\"search\">\n"
         "<input type=\"hidden\" name=\"within\" value=\"" +
         xml_escaped(within) + "\">\n<input name=\"q\" type=\"search\" aria-label=\"Search " + xml_escaped(what) +
         "\" placeholder=\"Search " + xml_escaped(what) + "\">\n<button>Search</button>\n</form>\n";
}

std::string hit_line(const search::Hit& hit) {
  std::string line;
  std::size_t written = 0;
  for (const auto& [begin, end] : hit.marks) {
    line += xml_escaped(std::string_view(hit.text).substr(written, begin - written));
    line += "<mark>" + xml_escaped(std::string_view(hit.text).substr(begin, end - begin)) + "</mark>";
    written = end;
  }
  return line + xml_escaped(std::string_view(hit.text).substr(written));
}

std::string search_address(const SearchForm& form, std::size_t page) {
  std::string address = "/search?q=" + query_escaped(form.query);
  if (form.exact) address += "&exact=1";
  if (!form.within.empty()) address += "&within=" + query_escaped(form.within);
  if (page > 1) address += "&page=" + std::to_string(page);
  return address;
}

std::string counts_table(const SearchForm& form, const std::vector<search::WorkCount>& counts) {
  std::string table =
      "<details class=\"counts\"" + std::string(counts.size() <= 10 ? " open" : "") +
      ">\n<summary>Hits per work</summary>\n<table>\n<thead><tr><th>Work</th><th>Hits</th></tr></thead>\n<tbody>\n";
  for (const search::WorkCount& count : counts) {
    SearchForm within_work = form;
    within_work.within = std::to_string(count.author) + ":" + std::to_string(count.work);
    table += "<tr><td>" + link(search_address(within_work, 1), count.label) + "</td><td>" +
             std::to_string(count.hits) + "</td></tr>\n";
  }
  return table + "</tbody>\n</table>\n</details>\n";
}

std::string results_section(const SearchForm& form, const SearchResults& results) {
  std::uint64_t total = 0;
  for (const search::WorkCount& count : results.counts) total += count.hits;
  const std::size_t first = (form.page - 1) * hits_per_page + 1;
  std::string section = "<p class=\"summary\" role=\"status\">" +
                        std::string(results.more_than_counted ? "More than " : "") + std::to_string(total) +
                        (total == 1 ? " hit" : " hits") + " in " + std::to_string(results.counts.size()) +
                        (results.counts.size() == 1 ? " work" : " works");
  if (results.more_than_counted) section += " (the first " + std::to_string(total) + " counted)";
  if (!results.hits.empty())
    section += "; " + std::to_string(first) + " to " + std::to_string(first + results.hits.size() - 1) + " below";
  section += ".</p>\n";
  if (results.cut_short)
    section +=
        "<p class=\"error\" role=\"alert\">The search stopped early: the words are so frequent that reading "
        "every line to compare their accents would take too long. These are the hits of the lines read; keep to "
        "some authors or works (Within) to see them all.</p>\n";
  if (!results.counts.empty()) section += counts_table(form, results.counts);
  section += "<ol class=\"hits\" start=\"" + std::to_string(first) + "\">\n";
  for (const search::Hit& hit : results.hits) {
    section += "<li><a href=\"/" + xml_escaped(hit.urn) + "\">" + xml_escaped(hit.label) +
               (hit.citation.empty() ? "" : " " + xml_escaped(hit.citation)) + "</a> <span class=\"line\">" +
               hit_line(hit) + "</span></li>\n";
  }
  section += "</ol>\n";
  if (form.page > 1 || results.more) {
    section += "<nav class=\"pages\" aria-label=\"Pages of hits\">";
    if (form.page > 1) section += "<a rel=\"prev\" href=\"" + xml_escaped(search_address(form, form.page - 1)) + "\">← Previous</a> ";
    section += "<span>Page " + std::to_string(form.page) + "</span>";
    if (results.more) section += " <a rel=\"next\" href=\"" + xml_escaped(search_address(form, form.page + 1)) + "\">Next →</a>";
    section += "</nav>\n";
  }
  return section;
}

}  // namespace

std::string query_escaped(std::string_view text) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-' || b == '_' ||
        b == '.' || b == '~') {
      out += ch;
    } else if (b == ' ') {
      out += '+';
    } else {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 0xF];
    }
  }
  return out;
}

std::string work_label(const WorkEntry& work) {
  if (!work.title.empty()) return work.title;
  return work.abbreviation.empty() ? work_name(work.work) : work.abbreviation;
}

std::string authors_page(const std::vector<AuthorEntry>& authors) {
  std::string body =
      "<h1>Authors</h1>\n"
      "<p class=\"filter\"><label for=\"filter\">Filter</label>\n"
      "<input id=\"filter\" type=\"search\" autocomplete=\"off\" autofocus placeholder=\"a name, a synonym or a number\" "
      "aria-controls=\"authors\">\n"
      "<span id=\"shown\" role=\"status\">" +
      std::to_string(authors.size()) + (authors.size() == 1 ? " author" : " authors") +
      "</span></p>\n"
      "<table id=\"authors\">\n<thead><tr><th>Number</th><th>Name</th><th>Works</th></tr></thead>\n<tbody>\n";
  for (const AuthorEntry& author : authors) {
    const std::string code = text_group_name(author.author);
    body += "<tr data-filter=\"" + xml_escaped(code + " " + std::to_string(author.author) + " " + author.name + " " +
                                           author.synonyms) +
            "\"><td>" + link("/" + code, code) + "</td><td>" + link("/" + code, author_name(author));
    if (!author.synonyms.empty()) body += "<div class=\"synonyms\">" + xml_escaped(author.synonyms) + "</div>";
    body += "</td><td>" + std::to_string(author.works) + "</td></tr>\n";
  }
  body += "</tbody>\n</table>\n";
  return framed("Authors", body);
}

std::string works_page(const AuthorEntry& author, const std::vector<WorkEntry>& works) {
  const std::string code = text_group_name(author.author);
  std::string body = breadcrumbs(author, {}) + "<h1>" + xml_escaped(author_name(author)) + " <span class=\"code\">" +
                     code + "</span></h1>\n";
  if (!author.synonyms.empty()) body += "<p class=\"synonyms\">" + xml_escaped(author.synonyms) + "</p>\n";
  body += search_within(std::to_string(author.author), author_name(author));
  body +=
      "<table class=\"works\">\n<thead><tr><th>Work</th><th>Abbreviation</th><th>Title</th><th>Citation</th>"
      "<th>Lines</th></tr></thead>\n<tbody>\n";
  for (const WorkEntry& work : works) {
    body += "<tr><td>" + link(work_address(work), work_name(work.work)) + "</td><td>" + xml_escaped(work.abbreviation) +
            "</td><td>" + link(work_address(work), work_label(work)) + "</td><td>" + xml_escaped(work.levels) +
            "</td><td>" + std::to_string(work.lines) + "</td></tr>\n";
  }
  body += "</tbody>\n</table>\n";
  return framed(author_name(author), body);
}

std::string work_page_start(const AuthorEntry& author, const WorkEntry& work, std::string_view passage) {
  std::string title = author_name(author) + ", " + work_label(work);
  if (!passage.empty()) title += " " + std::string(passage);
  std::string page = frame_start(title) + breadcrumbs(author, work_label(work)) + "<h1>" + xml_escaped(work_label(work)) +
                     "</h1>\n<p class=\"about\"><span class=\"urn\">" + xml_escaped(work.urn) + "</span>";
  if (!work.levels.empty()) page += " · " + xml_escaped(work.levels);
  page += "</p>\n" + search_within(std::to_string(work.author) + ":" + std::to_string(work.work), work_label(work));
  page += "<div class=\"text\" id=\"text\" lang=\"grc\"";
  if (!passage.empty()) page += " data-passage=\"" + xml_escaped(passage) + "\"";
  return page + ">";
}

std::string work_page_end() { return "</div>\n" + std::string(frame_end); }

std::string text_cut_short(std::string_view why) {
  return "<p class=\"error\" role=\"alert\">The work could not be read to its end: " + xml_escaped(why) + "</p>";
}

std::string search_page(const SearchForm& form, const SearchResults* results, std::string_view error) {
  std::string body =
      "<h1>Search</h1>\n"
      "<form class=\"search\" action=\"/search\" role=\"search\">\n"
      "<p><label for=\"query\">Words</label>\n"
      "<input id=\"query\" name=\"q\" type=\"search\"" + std::string(form.query.empty() ? " autofocus" : "") +
      " value=\"" + xml_escaped(form.query) +
      "\" placeholder=\"λόγος, lo/gos, &quot;μῆνιν ἄειδε&quot;, log*\"></p>\n"
      "<p><label><input name=\"exact\" type=\"checkbox\" value=\"1\"" +
      std::string(form.exact ? " checked" : "") +
      "> Accents and breathings as typed</label></p>\n"
      "<p><label for=\"within\">Within</label>\n"
      "<input id=\"within\" name=\"within\" value=\"" +
      xml_escaped(form.within) +
      "\" placeholder=\"authors and works: 12, 59:3\"></p>\n"
      "<p><button>Search</button></p>\n"
      "</form>\n";
  if (!error.empty()) body += "<pre class=\"error\" role=\"alert\">" + xml_escaped(error) + "</pre>\n";
  if (results) body += results_section(form, *results);
  if (!results && error.empty())
    body +=
        "<p class=\"help\">Greek or Beta Code; a word finds every form with other accents and breathings "
        "unless asked for as typed. <code>word*</code> finds every word that begins so, <code>\"a b\"</code> a "
        "phrase (also across a line's end), <code>NEAR(a b, 5)</code> words at most five apart, <code>a OR "
        "b</code> either.</p>\n";
  return framed(form.query.empty() ? "Search" : form.query, body, form.query);
}

std::string message_page(std::string_view title, std::string_view message) {
  return framed(title, "<h1>" + xml_escaped(title) + "</h1>\n<p>" + xml_escaped(message) + "</p>\n<p>" +
                           link("/", "The authors") + "</p>\n");
}

}  // namespace scrivel::serve
