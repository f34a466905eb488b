// The messages as they are printed and as they are counted: a numbered
// report is written with its number, counted under it, and a line of any
// length is written whole.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "messages.h"

namespace scrivel::testing {
namespace {

struct Case {
  std::string name;
  std::function<void(Messages&)> report;
  std::string printed;
  std::map<int, int> errors;
  std::map<int, int> warnings;
  std::optional<int> fatal_error;
  std::string fatal_message;
};

const std::string long_text(600, 'x');  // longer than any line buffer kept at hand

TEST(Messages, AreWrittenWholeAndCountedByNumber) {
  const std::vector<Case> cases = {
      {"progress", [](Messages& m) { m.printf("%d blocks were read\n", 3); }, "3 blocks were read\n", {}, {}, {}, ""},
      {"a long progress line",
       [](Messages& m) { m.printf("reading %s work %d\n", long_text.c_str(), 1); },
       "reading " + long_text + " work 1\n", {}, {}, {}, ""},
      {"an error",
       [](Messages& m) { m.error(101, ": block expected after FE block, count=%lX\n", 0x2000ul); },
       "Error 101: block expected after FE block, count=2000\n", {{101, 1}}, {}, {}, ""},
      {"a long warning",
       [](Messages& m) { m.warning(209, ": 0x90 on `cite_z_text'=%s, offset:%lX\n", long_text.c_str(), 0x1Ful); },
       "Warning 209: 0x90 on `cite_z_text'=" + long_text + ", offset:1F\n", {}, {{209, 1}}, {}, ""},
      {"a warning twice, without a blank after its colon",
       [](Messages& m) {
         m.warning(212, ":unknown `cite_z' 9C type: %x, offset:%lX\n", 0x41u, 0x10ul);
         m.warning(212, ":unknown `cite_z' 9C type: %x, offset:%lX\n", 0x42u, 0x11ul);
       },
       "Warning 212:unknown `cite_z' 9C type: 41, offset:10\nWarning 212:unknown `cite_z' 9C type: 42, offset:11\n",
       {}, {{212, 2}}, {}, ""},
      {"reports without a number",
       [](Messages& m) {
         m.unnumbered_error("Error: `commands' overflow, offset:%lx\n", 0xABul);
         m.unnumbered_warning("Aborting after `F0' although not `F0 FE' found\n");
       },
       "Error: `commands' overflow, offset:ab\nAborting after `F0' although not `F0 FE' found\n", {{0, 1}}, {{0, 1}},
       {}, ""},
      {"the error that ends the conversion",
       [](Messages& m) {
         m.error(101, ": block expected after FE block, count=%lX\n", 0x2000ul);
         m.fatal(4, ": unexpected end of file, offset:%lX\n", 0x2FFFul);
       },
       "Error 101: block expected after FE block, count=2000\nError 004: unexpected end of file, offset:2FFF\n",
       {{101, 1}}, {}, 4, "Error 004: unexpected end of file, offset:2FFF"},
      {"a long failure without a number",
       [](Messages& m) { m.fatal("Cannot open/write to '%s'\n", long_text.c_str()); },
       "Cannot open/write to '" + long_text + "'\n", {}, {}, {}, "Cannot open/write to '" + long_text + "'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream out;
    Messages messages(out);
    c.report(messages);
    EXPECT_EQ(out.str(), c.printed);
    const Tally& tally = messages.tally();
    EXPECT_EQ(tally.errors, c.errors);
    EXPECT_EQ(tally.warnings, c.warnings);
    EXPECT_EQ(tally.fatal_error, c.fatal_error);
    EXPECT_EQ(tally.fatal_message, c.fatal_message);
  }
}

}  // namespace
}  // namespace scrivel::testing
