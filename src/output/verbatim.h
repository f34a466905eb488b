#pragma once

#include <array>
#include <string_view>

#include "byte.h"

namespace scrivel {

// Which bytes a format writes as they stand, wherever text stands: those of
// its table of byte forms whose form is the byte itself. Text made of them
// may go into a document without a call per byte.
using VerbatimBytes = std::array<bool, 256>;

constexpr VerbatimBytes verbatim_in(const std::array<std::string_view, 256>& forms) {
  VerbatimBytes verbatim{};
  for (int b = 0; b < 256; ++b) verbatim[b] = forms[b].size() == 1 && static_cast<byte>(forms[b][0]) == b;
  return verbatim;
}

}  // namespace scrivel
