// Tab-separated records for programs: under the header "urn citation text",
// one record per line of the edition, with the line's CTS URN, its reference
// as the reading documents show it, and its text as the plain text has it.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "output/passage.h"
#include "output/plain.h"
#include "output/reference.h"
#include "output/renderers.h"

namespace scrivel {
namespace {

// A field holds no tab or line end: they become blanks.
constexpr std::array<std::string_view, 256> bytes = [] {
  std::array<std::string_view, 256> forms = plain_bytes;
  for (const byte b : {byte{'\t'}, byte{'\n'}, byte{'\r'}, line_break_character}) forms[b] = " ";
  return forms;
}();
constexpr VerbatimBytes unescaped = verbatim_in(bytes);

class TsvRenderer final : public PlainRenderer {
 public:
  TsvRenderer(Writer& out, Normalization normalization, DocumentSource source)
      : PlainRenderer(out, normalization, unescaped), urn_prefix_(work_urn(source.author, source.work) + ":") {}

  void begin() override {
    out_->write("urn\tcitation\ttext\n");
    start_unplaced_record();
  }
  void end() override { end_record(); }

  // Before the first citation there is no line to count from. A line-break
  // character inside the text starts no line of the edition: it is a
  // blank, as a tab is.
  void line_break(Break kind) override {
    if (kind == Break::in_text) {
      out_->put(' ');
      return;
    }
    end_record();
    if (!cited_) {
      start_unplaced_record();
      return;
    }
    passage_.next_line();
    start_record(reference_.with_line(passage_.line()));
  }
  void citation(const Citation& citation) override {
    end_record();
    cited_ = true;
    if (passage_.cite(citation)) keep_upper_passage();
    start_record(reference_.of(citation));
  }

 private:
  void ascii(byte b) override { out_->write(bytes[b]); }

  void keep_upper_passage() {
    upper_passage_ = urn_prefix_;
    for (const Level level : {Level::x, Level::y, Level::z}) {
      if (!passage_.holds(level)) continue;
      if (upper_passage_.size() > urn_prefix_.size()) upper_passage_ += '.';
      upper_passage_ += passage_.value(level);
    }
    if (upper_passage_.size() <= short_passage_.size())
      std::copy(upper_passage_.begin(), upper_passage_.end(), short_passage_.begin());
  }


  // A record: its URN, its citation without the brackets, and then its text.
  // A line opens at every record, so its URN and citation go into the
  // buffer in one step: they fit the least room a buffer has.
  void start_record(Reference reference) {
    const bool upper_levels = upper_passage_.size() > urn_prefix_.size();
    const bool line = passage_.holds_line();
    if (!upper_levels && !line) {
      start_unplaced_record();
      return;
    }
    const std::string_view shown = reference.text.substr(1, reference.text.size() - 2);
    char* next = out_->reserve(short_passage_.size() + upper_passage_.size() + 1 + Passage::value_room + 2 +
                               Reference::short_size + shown.size());
    // Most passages are short: copied as a fixed number of bytes, of which
    // those they hold count.
    if (upper_passage_.size() <= short_passage_.size()) {
      std::memcpy(next, short_passage_.data(), short_passage_.size());
      next += upper_passage_.size();
    } else {
      next = std::copy(upper_passage_.begin(), upper_passage_.end(), next);
    }
    if (line) {
      if (upper_levels) *next++ = '.';
      next = passage_.put_line(next);
    }
    *next++ = '\t';
    if (reference.plain) {
      // A short reference is copied as a fixed number of bytes, of which
      // those it holds count.
      if (reference.text.size() <= Reference::short_size) {
        std::memcpy(next, shown.data(), Reference::short_size);
        next += shown.size();
      } else {
        next = std::copy(shown.begin(), shown.end(), next);
      }
      *next++ = '\t';
      out_->advance_to(next);
    } else {
      out_->advance_to(next);
      text(shown);
      out_->put('\t');
    }
    record_start_ = 0;
  }
  // A record without a passage, written in one piece so that it can be taken
  // back whole when no text follows: such a line is no line of the edition.
  void start_unplaced_record() {
    const std::size_t size = urn_prefix_.size() + 2;
    char* next = std::copy(urn_prefix_.begin(), urn_prefix_.end(), out_->reserve(size));
    *next++ = '\t';
    *next++ = '\t';
    out_->advance_to(next);
    record_start_ = out_->position() - size;
    text_start_ = out_->position();
  }
  // Where the buffer was handed on in between, the empty record stays.
  void end_record() {
    if (record_start_ != 0 && out_->position() == text_start_ && out_->holds_last(text_start_ - record_start_)) {
      out_->take_back(text_start_ - record_start_);
    } else {
      out_->put('\n');
    }
  }

  std::string urn_prefix_;     // urn:cts:greekLit:tlgAAAA.tlgWWW:
  std::string upper_passage_;  // the prefix and the levels above the line
  std::array<char, 48> short_passage_{};  // the same where it fits
  Passage passage_;
  bool cited_ = false;
  std::uint64_t record_start_ = 0;  // where a record without a passage began, 0 for any other
  std::uint64_t text_start_ = 0;
  ReferenceText reference_{unescaped};
};

}  // namespace

std::unique_ptr<Renderer> make_tsv_renderer(Writer& out, Normalization normalization, DocumentSource source) {
  return std::make_unique<TsvRenderer>(out, normalization, source);
}

}  // namespace scrivel
