#pragma once

#include "decode/cursor.h"
#include "messages.h"
#include "output/commands.h"
#include "output/sink.h"

namespace scrivel {

// What the sign handlers and the citation tracker work through while a text
// is decoded: the cursor they read from, the sink and its stack of effects
// that they report to, and the messages. They keep only state of their
// own, and are handed this for each call.
struct Context {
  Cursor& in;
  Sink& sink;
  CommandStack& commands;
  Messages& messages;
};

}  // namespace scrivel
