// Message text for BuildError.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace authorfile {

// Joins message parts; `"literal" + std::string` trips a false -Wrestrict in g++ 12.
inline std::string join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (const std::string_view part : parts) text += part;
  return text;
}

inline std::string quoted(std::string_view text) { return join({"'", text, "'"}); }

}  // namespace authorfile
