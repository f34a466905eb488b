// A message longer than the line buffer kept at hand is written whole, and
// counted under its number; the fatal one is kept as the run's failure.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "messages.h"

namespace scrivel::testing {
namespace {

TEST(Messages, LongLinesAreWrittenWholeAndCountedByNumber) {
  const std::string long_text(600, 'x');
  std::ostringstream out;
  Messages messages(out);
  messages.warning(209, ": on `cite_z_text'=%s, offset:%lX\n", long_text.c_str(), 0x1Ful);
  messages.warning(209, ":%s\n", "again");
  messages.unnumbered_warning("Aborting\n");
  messages.fatal(4, ": %s\n", long_text.c_str());
  EXPECT_EQ(out.str(), "Warning 209: on `cite_z_text'=" + long_text + ", offset:1F\nWarning 209:again\nAborting\n"
                       "Error 004: " + long_text + "\n");
  EXPECT_EQ(messages.tally().warnings, (std::map<int, int>{{0, 1}, {209, 2}}));
  EXPECT_EQ(messages.tally().fatal_error, 4);
  EXPECT_EQ(messages.tally().fatal_message, "Error 004: " + long_text);
}

}  // namespace
}  // namespace scrivel::testing
