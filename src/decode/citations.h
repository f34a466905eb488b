#pragma once

#include "decode/context.h"
#include "output/citation.h"

namespace scrivel {

// The reference of the text: four levels, x, y, z and line, kept up to date
// from the runs of citation codes (bytes 0x81 to 0xBE with their operands),
// and handed to the document after each run, as a citation whose line the
// document begins with the reference, such as [x.y.z.line].
class CitationTracker {
 public:
  // Consumes the run of citation codes that begins with the current byte.
  void read_codes(Context& context);
  // Hands the document the citation: its line begins with the reference.
  void report_citation(Context& context);
  // The sequence BF F4 FF was seen: the next code that sets x resets the levels below it.
  void note_bf_sequence() { after_bf_sequence_ = true; }

 private:
  void update_upper_levels(Context& context);
  void increment_x(Context& context);
  void set_x(Context& context);
  void increment_y(Context& context);
  void set_y(Context& context);
  void increment_z(Context& context);
  void set_z(Context& context);
  void set_z_letter(Context& context, int warning_number);
  void set_line(Context& context);

  CiteLevels levels_;
  CiteLevel& cite_x_ = levels_[static_cast<int>(Level::x)];  // its number only
  CiteLevel& cite_y_ = levels_[static_cast<int>(Level::y)];
  CiteLevel& cite_z_ = levels_[static_cast<int>(Level::z)];
  CiteLevel& cite_line_ = levels_[static_cast<int>(Level::line)];
  bool after_bf_sequence_ = false;
  Level changed_ = Level::line;  // the highest level that a code of the current run set or stepped
};

}  // namespace scrivel
