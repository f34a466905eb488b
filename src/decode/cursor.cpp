#include "decode/cursor.h"

namespace scrivel {

int Cursor::read_number(int digits, const char* what) {
  int number = 0;
  for (int read = 0;;) {
    next();
    if (current_ < '0' || current_ > '9') {
      push_back();
      return number;
    }
    number = number * 10 + (current_ - '0');
    if (++read > digits) {
      messages_.error(100, ": after `%s', offset:%lX\n", what, messages_.offset());
      return number;
    }
  }
}

}  // namespace scrivel
