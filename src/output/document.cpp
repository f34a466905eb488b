#include "output/document.h"

#include <algorithm>
#include <charconv>

namespace scrivel {

void Document::printheading() {
  name_ = "sv" + std::to_string(author_) + "_" + std::to_string(work_) + std::string(format_.extension);
  file_ = files_.create_output(name_);
  if (!file_) {
    messages_.printf("Cannot open/write to '%s'\n", name_.c_str());
    throw FatalExit{1};
  }
  next_buffer();
  write(format_.heading);
  if (!format_.titled) return;
  write(": ");
  write(itos(author_));
  write(" ");
  write(itos(work_));
  write(format_.heading_end);
}

void Document::printending() { write(format_.ending); }

bool Document::close() {
  const bool written = file_->close(next_ - lent_.data());
  file_.reset();
  if (!written) messages_.printf("Cannot open/write to '%s'\n", name_.c_str());
  return written;
}

void Document::next_buffer() {
  lent_ = file_->next_buffer(next_ - lent_.data());
  next_ = lent_.data();
  end_ = next_ + lent_.size();
}

const char* Document::itos(int x) {
  const auto end = std::to_chars(itos_buffer_, itos_buffer_ + sizeof itos_buffer_ - 1, x).ptr;
  *end = '\0';
  return itos_buffer_;
}

// A line break needs no delimiter before it and leaves none pending; every
// other character settles a pending one first.
void Document::print_with_care(int c) {
  if (c == line_break) {
    RTF_NeedSpace_ = false;
  } else {
    settle_delimiter();
  }
  write(format_.bytes[static_cast<unsigned char>(c)]);
}

namespace {

bool all_plain(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char ch) { return ch >= 0 && !Document::needs_care[static_cast<unsigned char>(ch)]; });
}

}  // namespace

void Document::printstring(std::string_view s) {
  // Text that needs no care, as a citation's is, goes in whole.
  if (!RTF_NeedSpace_ && all_plain(s)) {
    write(s);
    return;
  }
  for (const char ch : s) print(static_cast<signed char>(ch));
}

// One line opens at every reference, so its three pieces go into the
// buffer in one step when they fit the least room a buffer has.
void Document::write_reference_line(std::string_view reference) {
  const std::string_view line_end = format_.bytes[line_break];
  const Markup& blanks = format_.three_nonbreaking_blanks;
  const std::size_t size = line_end.size() + reference.size() + blanks.text.size();
  RTF_NeedSpace_ = false;  // a line break needs no delimiter and leaves none
  if (size > OutputFile::min_lent || !all_plain(reference)) {
    write(line_end);
    printstring(reference);
    write_nonbreaking_blanks(3);
    return;
  }
  char* out = reserve(size);
  std::memcpy(out, line_end.data(), line_end.size());
  out += line_end.size();
  std::memcpy(out, reference.data(), reference.size());
  out += reference.size();
  std::memcpy(out, blanks.text.data(), blanks.text.size());
  next_ = out + blanks.text.size();
  leave(blanks.after);
}

void Document::write_markup(const Markup& markup) {
  if (markup.settle_first) settle_delimiter();
  write(markup.text);
  leave(markup.after);
}

void Document::leave(Delimiter after) {
  if (after == Delimiter::needed) RTF_NeedSpace_ = true;
  if (after == Delimiter::settled) RTF_NeedSpace_ = false;
}

void Document::write_marker(MarkerKind kind, int param) {
  const Marker& marker = format_.markers[static_cast<int>(kind)];
  write_markup(marker.opening);
  write(itos(param));
  write(marker.closing);
}

void Document::write_nonbreaking_blanks(int count) {
  const Markup& blanks = format_.three_nonbreaking_blanks;
  for (; count >= 3; count -= 3) write(blanks.text);
  if (count > 0) write(blanks.text.substr(0, count * blanks.text.size() / 3));
  leave(blanks.after);
}

void Document::write_across_buffers(std::string_view text) {
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
