#pragma once

#include <string_view>

#include "input/byte_source.h"
#include "messages.h"
#include "output/sink.h"
#include "profile.h"

namespace scrivel {

// How a decoding ended: at the header of another work or at the end code,
// because the sink stopped it, or with the bytes, which ran out inside the
// text (an author file cut short).
enum class Ending { text_ended, stopped, bytes_ran_out };

// Decodes the Beta Code of `bytes` from the byte they hand out next, in the
// script `start`, into the events of `sink`, from begin() to end(): once,
// byte by byte, up to the header of another work or the end code F0 FE, or
// until the sink stops it. Whatever stops it, the pending letter is
// written, the open effects are closed and the sink ended. What the text
// holds that is wrong goes onto `messages`.
Ending decode(ByteSource& bytes, profile::Script start, Sink& sink, Messages& messages);

// A text held in memory (a name, a query), which ends with its bytes.
Ending decode(std::string_view bytes, profile::Script start, Sink& sink, Messages& messages);

}  // namespace scrivel
