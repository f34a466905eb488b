#include "output/commands.h"

namespace scrivel {

bool CommandStack::add(Effect effect) {
  if (count_ >= capacity) {
    messages_.unnumbered_error("Error: `commands' overflow, offset:%lx\n", messages_.offset());
    return false;
  }
  effects_[count_++] = effect;
  return true;
}

bool CommandStack::remove(Effect effect) {
  for (int i = count_ - 1; i >= 0; --i) {
    if (effects_[i] != effect) continue;
    for (int j = i; j + 1 < count_; ++j) effects_[j] = effects_[j + 1];
    --count_;
    return true;
  }
  return false;
}

void CommandStack::open(Effect effect, int number) {
  if (effect == Effect::unrendered_span) open(Effect::code_colour);
  if (add(effect)) sink_.enter_span(effect, number);
}

void CommandStack::close(Effect effect) {
  if (!remove(effect)) return;
  sink_.leave_span(effect);
  if (effect == Effect::unrendered_span) close(Effect::code_colour);
}

void CommandStack::close_all() {
  while (count_ > 0) close(effects_[count_ - 1]);
}

}  // namespace scrivel
