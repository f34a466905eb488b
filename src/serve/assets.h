#pragma once

#include <string_view>

// The library's style sheet, script and icon, served by the library itself.
namespace scrivel::serve {

extern const std::string_view style_sheet;
extern const std::string_view script;
extern const std::string_view icon;

}  // namespace scrivel::serve
