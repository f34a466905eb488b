#include "output/writer.h"

namespace scrivel {

bool Writer::close() {
  const bool written = file_->close(next_ - lent_.data());
  file_.reset();
  return written;
}

void Writer::next_buffer() {
  const std::size_t used = next_ - lent_.data();
  handed_ += used;
  lent_ = file_->next_buffer(used);
  next_ = lent_.data();
  end_ = next_ + lent_.size();
}

void Writer::write_across_buffers(std::string_view text) {
  while (text.size() > static_cast<std::size_t>(end_ - next_)) {
    const std::size_t room = end_ - next_;
    std::memcpy(next_, text.data(), room);
    next_ += room;
    text.remove_prefix(room);
    next_buffer();
  }
  std::memcpy(next_, text.data(), text.size());
  next_ += text.size();
}

}  // namespace scrivel
