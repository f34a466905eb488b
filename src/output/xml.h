#pragma once

#include <string>
#include <string_view>

namespace scrivel {

// UTF-8 text made fit for XML, in an element or in a quoted attribute: the
// markup characters as entities, and a control character, which XML cannot
// hold, as the replacement character.
std::string xml_escaped(std::string_view text);

}  // namespace scrivel
