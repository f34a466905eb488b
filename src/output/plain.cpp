#include "output/plain.h"

namespace scrivel {

void PlainRenderer::nonbreaking_blanks(int count) {
  for (int i = 0; i < count; ++i) out_->write("\u00A0");
}

// An unrendered span shows its markers, the opening one with the bracket
// that the HTML document shows after it.
void PlainRenderer::enter_span(Effect effect, int number) {
  if (effect != Effect::unrendered_span) return;
  out_->write("<<special ");
  write_decimal(number);
  out_->write(">>]");
}

void PlainRenderer::leave_span(Effect effect) {
  if (effect == Effect::unrendered_span) out_->write("<</special>>");
}

}  // namespace scrivel
