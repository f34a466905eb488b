#pragma once

#include <filesystem>
#include <string>

#include "catalogue.h"

// The CapiTainS layout, which the CTS tools read: under DIR/data, a
// directory per author (the CTS text group, tlgAAAA) and in it one per work
// (tlgWWW), each with a __cts__.xml that names it; beside the work's
// __cts__.xml its one edition, tlgAAAA.tlgWWW.scrivel-grc1.xml.
namespace scrivel::corpus::capitains {

std::filesystem::path author_directory(const std::filesystem::path& out, int author);
std::filesystem::path work_directory(const std::filesystem::path& out, int author, int work);
std::filesystem::path edition_path(const std::filesystem::path& out, int author, int work);
// The __cts__.xml in a directory.
std::filesystem::path metadata_path(const std::filesystem::path& directory);

// The __cts__.xml of an author's text group, and of a work with its edition.
std::string text_group_metadata(int author, const WorkNames& names);
std::string work_metadata(int author, int work, const WorkNames& names);

}  // namespace scrivel::corpus::capitains
