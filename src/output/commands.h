#pragma once

#include "messages.h"
#include "output/sink.h"

namespace scrivel {

// The stack of the effects that are open. A closing finds its effect
// anywhere on the stack, so effects need not close in the order they
// opened; close_all closes them all, newest first. The renderer sees them
// nest all the same: the effects opened after the one that closes are left
// with it, the newest first, and entered again after it, the oldest first.
// An effect that the full stack cannot hold is not opened, so that no markup
// is left that could never be closed; a closing without an open effect of
// its kind writes nothing.
class CommandStack {
 public:
  static constexpr int capacity = 256;

  CommandStack(Sink& sink, Messages& messages) : sink_(sink), messages_(messages) {}

  // What no format renders is shown in the code colour: an unrendered span
  // opens the colour before it and closes it after it. Only an unrendered
  // span has a number. Its markers are text, written where its signs stand:
  // it is never left and entered again around another effect's closing,
  // which would write them twice; its colour is.
  void open(Effect effect, int number = 0);
  void close(Effect effect);
  void close_all();

 private:
  // Stores an effect; false, after the overflow message, when the stack is full.
  bool add(Effect effect);
  // Where the newest open effect of its kind stands; -1 when none is open.
  int newest(Effect effect) const;
  void remove(int at);
  // Around a closing: the effects above `at`, the newest first, and again
  // the oldest first, all but the unrendered spans.
  void leave_newer_than(int at);
  void enter_again_from(int at);

  Sink& sink_;
  Messages& messages_;
  Effect effects_[capacity] = {};
  int count_ = 0;
};

}  // namespace scrivel
