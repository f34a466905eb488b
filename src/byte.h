#pragma once

namespace scrivel {

// Every byte of an author file is handled as an unsigned 8-bit value.
using byte = unsigned char;

}  // namespace scrivel
