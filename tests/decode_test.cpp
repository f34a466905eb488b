// The decoding core on its own: any bytes in, typed events out, to a sink
// that needs no writer and may stop it.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "decode/decode.h"
#include "greek/letters.h"

namespace scrivel::testing {
namespace {

// Writes each event as a word, and stops at the citation it is told to.
class EventLog : public Sink {
 public:
  explicit EventLog(int stop_at_citation = 0) : stop_at_(stop_at_citation) {}
  std::string log;

  void begin() override { log += "begin "; }
  void end() override { log += "end"; }
  void character(int c) override { note("c", c); }
  void letter(int index) override { note("L", letter_code_points[index]); }
  void text(std::string_view ascii) override { note(ascii, -1); }
  void nonbreaking_blanks(int count) override { note("nb", count); }
  void enter_span(Effect effect, int) override { note("<", static_cast<int>(effect)); }
  void leave_span(Effect effect) override { note(">", static_cast<int>(effect)); }
  void marker(MarkerKind, int number) override { note("m", number); }
  void line_break(Break) override { note("br", -1); }
  void citation(const Citation& citation) override {
    note("cite", citation[Level::line].number);
    if (++citations_ == stop_at_) stop_decoding();
  }

 private:
  void note(std::string_view what, int n) {
    log.append(what);
    if (n >= 0) log.append(std::to_string(n));
    log.push_back(' ');
  }

  int stop_at_;
  int citations_ = 0;
};

struct Decoded {
  Ending ending;
  std::string log;
  std::string messages;
};

Decoded decoded(std::string_view bytes, profile::Script start, int stop_at_citation = 0) {
  EventLog sink(stop_at_citation);
  std::ostringstream printed;
  Messages messages(printed);
  const Ending ending = decode(bytes, start, sink, messages);
  return {ending, sink.log, printed.str()};
}

TEST(Decode, ReportsTypedEventsToASinkWithoutAWriter) {
  // A final sigma before the blank, a citation code of line 2, bold around a
  // Latin run, and the end of the bytes ending the text.
  const Decoded text = decoded("*LO/GOS A\x82$1&a$", profile::work_script);
  EXPECT_EQ(text.ending, Ending::text_ended);
  EXPECT_EQ(text.log, "begin L923 L8057 L947 L959 L962 c32 L945 cite2 <2 c97 >2 end");
  EXPECT_EQ(text.messages, "");
}

TEST(Decode, StartsInTheScriptItIsGiven) {
  EXPECT_EQ(decoded("ab$A", profile::table_script).log, "begin c97 c98 L945 end");
  EXPECT_EQ(decoded("AB", profile::work_script).log, "begin L945 L946 end");
}

TEST(Decode, StopsWhereTheSinkAsksAndStillEndsIt) {
  // Bold stays open at the stop: the decoder closes it and ends the sink.
  const Decoded stopped = decoded("$1A\x81" "B\x82" "G", profile::work_script, 1);
  EXPECT_EQ(stopped.ending, Ending::stopped);
  EXPECT_EQ(stopped.log, "begin <2 L945 cite1 >2 end");
}

}  // namespace
}  // namespace scrivel::testing
