#include "decode/cursor.h"

namespace scrivel {

int Cursor::ReadAtMost(int num, const char* what) {
  int param = 0;
  for (int digits = 0;;) {
    getnextc();
    if (c_ < '0' || c_ > '9') {
      push_back();
      return param;
    }
    param = param * 10 + (c_ - '0');
    if (++digits > num) {
      messages_.error(100, ": after `%s', offset:%lX\n", what, messages_.offset());
      return param;
    }
  }
}

}  // namespace scrivel
