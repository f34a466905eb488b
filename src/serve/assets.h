#pragma once

#include <string_view>

// The library's style sheet and script, served by the library itself.
namespace scrivel::serve {

extern const std::string_view style_sheet;
extern const std::string_view script;

}  // namespace scrivel::serve
