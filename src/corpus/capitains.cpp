#include "corpus/capitains.h"

#include <cstdio>

#include "input/config.h"
#include "output/passage.h"
#include "output/xml.h"
#include "profile.h"

namespace scrivel::corpus::capitains {
namespace fs = std::filesystem;

fs::path author_directory(const fs::path& out, int author) { return out / "data" / text_group_name(author); }

fs::path work_directory(const fs::path& out, int author, int work) {
  return author_directory(out, author) / work_name(work);
}

fs::path edition_path(const fs::path& out, int author, int work) {
  const std::string name = text_group_name(author) + "." + work_name(work) + "." + edition_name() + ".xml";
  return work_directory(out, author, work) / name;
}

fs::path metadata_path(const fs::path& directory) { return directory / "__cts__.xml"; }

std::string text_group_metadata(int author, const WorkNames& names) {
  return "<ti:textgroup xmlns:ti=\"http://chs.harvard.edu/xmlns/cts\" urn=\"" + std::string(urn_namespace) +
         text_group_name(author) + "\"><ti:groupname xml:lang=\"" + std::string(names.author_language) + "\">" +
         xml_escaped(author_name_of(names, author)) +
         "</ti:groupname></ti:textgroup>\n";
}

std::string work_metadata(int author, int work, const WorkNames& names) {
  const std::string group_urn = std::string(urn_namespace) + text_group_name(author);
  const std::string urn = work_urn(author, work);
  const std::string title = xml_escaped(title_of(names, author, work));
  char source[96];
  std::snprintf(source, sizeof source, "TLG author file %s, work %03d, converted by scrivel %.*s.",
                author_file_name(author).c_str(), work, static_cast<int>(profile::version.size()),
                profile::version.data());
  return "<ti:work xmlns:ti=\"http://chs.harvard.edu/xmlns/cts\" groupUrn=\"" + group_urn + "\" urn=\"" + urn +
         "\" xml:lang=\"" + std::string(profile::language) + "\">\n"
         "  <ti:title xml:lang=\"" + std::string(names.title_language) + "\">" +
         title +
         "</ti:title>\n"
         "  <ti:edition urn=\"" +
         urn + "." + edition_name() + "\" workUrn=\"" + urn +
         "\">\n"
         "    <ti:label xml:lang=\"" + std::string(names.title_language) + "\">" +
         title +
         "</ti:label>\n"
         "    <ti:description xml:lang=\"eng\">" +
         source +
         "</ti:description>\n"
         "  </ti:edition>\n"
         "</ti:work>\n";
}

}  // namespace scrivel::corpus::capitains
