#pragma once

#include "decode/cursor.h"
#include "messages.h"
#include "output/commands.h"
#include "output/renderer.h"

namespace scrivel {

// What the sign handlers and the citation tracker work through while a work
// is decoded: the cursor they read from, the document's renderer and its
// stack of effects that they write to, and the messages. They keep only
// state of their own, and are handed this for each call.
struct Context {
  Cursor& in;
  Renderer& renderer;
  CommandStack& commands;
  Messages& messages;
};

}  // namespace scrivel
