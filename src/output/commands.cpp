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

int CommandStack::newest(Effect effect) const {
  int at = count_ - 1;
  while (at >= 0 && effects_[at] != effect) --at;
  return at;
}

void CommandStack::remove(int at) {
  for (int i = at; i + 1 < count_; ++i) effects_[i] = effects_[i + 1];
  --count_;
}

void CommandStack::open(Effect effect, int number) {
  if (effect == Effect::unrendered_span) open(Effect::code_colour);
  if (add(effect)) sink_.enter_span(effect, number);
}

void CommandStack::leave_newer_than(int at) {
  for (int i = count_ - 1; i > at; --i)
    if (effects_[i] != Effect::unrendered_span) sink_.leave_span(effects_[i]);
}

void CommandStack::enter_again_from(int at) {
  for (int i = at; i < count_; ++i)
    if (effects_[i] != Effect::unrendered_span) sink_.enter_span(effects_[i], 0);
}

void CommandStack::close(Effect effect) {
  const int at = newest(effect);
  if (at < 0) return;
  if (effect == Effect::unrendered_span) {
    remove(at);
    sink_.leave_span(effect);
    close(Effect::code_colour);
    return;
  }
  leave_newer_than(at);
  sink_.leave_span(effect);
  remove(at);
  enter_again_from(at);
}

void CommandStack::close_all() {
  while (count_ > 0) close(effects_[count_ - 1]);
}

}  // namespace scrivel
