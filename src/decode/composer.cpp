#include "decode/composer.h"

namespace scrivel {
namespace {

constexpr int combining_grave = 0x0300;
constexpr int combining_acute = 0x0301;
constexpr int combining_diaeresis = 0x0308;
constexpr int combining_perispomeni = 0x0342;
constexpr int combining_ypogegrammeni = 0x0345;

}  // namespace

// What no precomposed character stands for: J, which is no Greek letter and
// stands as the Latin one, and a vowel whose marks no precomposed letter
// carries, written as the base letter and its marks in canonical order.
void Composer::write_uncomposed() {
  if (letter_ == 'J') {
    document_.print('J');
    return;
  }
  const int capital = vow2[composition::letter_positions[letter_]];
  document_.print(cap_ ? capital : capital + small_offset);
  if (tonosFlag_ & diFlag) document_.print(combining_diaeresis);
  if (tonosFlag_ & peFlag) {
    document_.print(combining_perispomeni);
  } else if (tonosFlag_ & ojFlag) {
    document_.print(combining_acute);
  } else if (tonosFlag_ & vaFlag) {
    document_.print(combining_grave);
  }
  if (tonosFlag_ & ypFlag) document_.print(combining_ypogegrammeni);
}

}  // namespace scrivel
