// The formatting command stack: the markup of every command in both modes,
// closings that find their effect anywhere on the stack, close all, and the
// limits of the stack.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "files.h"
#include "input/byte_source.h"
#include "messages.h"
#include "output/commands.h"
#include "output/document.h"

namespace scrivel {
namespace {

std::unique_ptr<InputFile> empty_input(MemoryFiles& files) {
  files.inputs["x"] = "";
  return files.open_input("x");
}

// A document of author 7, work 2 with its heading written, and a command stack over it.
struct Harness {
  explicit Harness(int rtf) : rtf(rtf), doc(files, messages, rtf, 7, 2) { doc.printheading(); }

  // Everything written after the heading; closes the document.
  std::string body() {
    doc.close();
    const std::string written = files.outputs.begin()->second;
    Harness bare(rtf);
    bare.doc.close();
    const std::string heading = bare.files.outputs.begin()->second;
    EXPECT_TRUE(written.starts_with(heading));
    return written.substr(std::min(heading.size(), written.size()));
  }
  std::vector<int> open() const { return {stack.commands, stack.commands + stack.commands_n}; }

  int rtf;
  MemoryFiles files;
  std::ostringstream out;
  Messages messages{out};
  Document doc;
  std::unique_ptr<InputFile> input = empty_input(files);
  ByteSource source{*input, messages};
  CommandStack stack{doc, messages, source};
};

struct Step {
  bool letter;  // a character through print, not a command
  int n;
  int param;
};
Step cmd(int n, int param = 0) { return {false, n, param}; }
Step text(int ch) { return {true, ch, 0}; }

struct Case {
  std::vector<Step> steps;
  std::string expected;
  std::vector<int> open_after;
};

void check(int rtf, const std::vector<Case>& cases) {
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Harness h(rtf);
    for (const Step& s : cases[i].steps) s.letter ? h.doc.print(s.n) : h.stack.printcommand(s.n, s.param);
    EXPECT_EQ(h.body(), cases[i].expected);
    EXPECT_EQ(h.open(), cases[i].open_after);
    EXPECT_EQ(h.out.str(), "");
  }
}

TEST(CommandStackTest, MarkupInRtf) {
  check(1, {
      {{cmd(6), text('a'), cmd(7), text('b')}, "{\\sub a}b", {}},
      {{cmd(9), text('a'), cmd(10), text('b')}, "\\fs20 a\\fs24 b", {}},
      {{cmd(13), text('a'), cmd(14), text('b')}, "\\b  a\\b0  b", {}},
      {{cmd(15), text('a'), cmd(16), text('b')}, "\\i a\\i0 b", {}},
      {{cmd(17), text('a'), cmd(18), text('b')}, "\\fs28 a\\fs24 b", {}},
      {{cmd(21), text('a'), cmd(22), text('b')}, "\\expnd8\\expndtw40 a\\expnd0\\expndtw0 b", {}},
      {{cmd(23), text('a'), cmd(24), text('b')}, "{\\super a}b", {}},
      {{cmd(26), text('a'), cmd(27), text('b')}, "\\cf1 a\\cf0 b", {}},
      {{cmd(6), cmd(13), cmd(7)}, "{\\sub\\b }", {13}},
      {{cmd(9), cmd(17), cmd(10)}, "\\fs20\\fs28\\fs24", {17}},
      {{cmd(2, 7)}, "\\cf1 <<special 7>>", {26, 2}},
      {{cmd(2, -7), cmd(3, 5), text('a')}, "\\cf1 <<special -7>><</special>>\\cf0 a", {}},
      {{cmd(15), cmd(1, -4), cmd(4, 12)}, "\\i <<%-4>><<#12>>", {15}},
      {{cmd(15), cmd(19), text('a'), cmd(20), text('b')}, "\\i <hba>a</hba>b", {15}},
      {{cmd(15), cmd(25, 3), text('a')}, "\\i\\~\\~\\~a", {15}},
      {{cmd(15), cmd(25, 0), text('a')}, "\\ia", {15}},
      {{cmd(15), cmd(8), text('a')}, "\\i\\line\na", {15}},
      {{cmd(14), cmd(7), cmd(24), cmd(3), cmd(20), cmd(27), cmd(11)}, "", {}},
      {{cmd(13), cmd(15), cmd(13), cmd(14)}, "\\b \\i\\b \\b0 ", {13, 15}},
      {{cmd(13), cmd(23), cmd(15), cmd(11)}, "\\b {\\super\\i\\i0}\\b0 ", {}},
      {{cmd(2, 1), cmd(13), cmd(11)}, "\\cf1 <<special 1>>\\b \\b0  <</special>>\\cf0", {}},
  });
}

TEST(CommandStackTest, MarkupInHtml) {
  check(0, {
      {{cmd(13), cmd(23), cmd(14)}, "<b><sup></b>", {23}},
      {{cmd(13), cmd(23), cmd(14), cmd(11)}, "<b><sup></b></sup>", {}},
      {{cmd(13), text('a')}, "<b>a", {13}},
      {{cmd(2, 7)}, "<span class=\"code\">&lt;&lt;special 7&gt;&gt;]", {26, 2}},
      {{cmd(2, 7), cmd(3, 9)}, "<span class=\"code\">&lt;&lt;special 7&gt;&gt;]&lt;&lt;/special&gt;&gt;</span>", {}},
      {{cmd(2, 3), cmd(13), cmd(11)},
       "<span class=\"code\">&lt;&lt;special 3&gt;&gt;]<b></b>&lt;&lt;/special&gt;&gt;</span>", {}},
      {{cmd(1, 5), cmd(4, -2)}, "&lt;&lt;%5&gt;&gt;&lt;&lt;#-2&gt;&gt;", {}},
      {{cmd(25, 3), cmd(25, 0), cmd(25, -1)}, "&nbsp;&nbsp;&nbsp;", {}},
      {{cmd(6), cmd(7), cmd(9), cmd(10), cmd(17), cmd(18), cmd(8)},
       "<sub></sub><small></small><big></big><br>\n", {}},
      {{cmd(19), cmd(20), cmd(21), cmd(22), cmd(26), cmd(27), cmd(15), text('a'), cmd(16)},
       "<span class=\"hba\"></span><span class=\"exp\"></span><span class=\"code\"></span><i>a</i>", {}},
      {{cmd(19), cmd(21), cmd(20)}, "<span class=\"hba\"><span class=\"exp\"></span>", {21}},
      {{cmd(20), cmd(14), cmd(11)}, "", {}},
  });
}

TEST(CommandStackTest, UnknownCommandIsReportedAndIgnored) {
  for (const int rtf : {1, 0}) {
    for (const int n : {0, 5, 12, 28, -1}) {
      SCOPED_TRACE(std::to_string(n) + (rtf ? " in RTF" : " in HTML"));
      Harness h(rtf);
      h.stack.printcommand(13, 0);
      h.stack.printcommand(n, 3);
      EXPECT_EQ(h.out.str(), "Error 105: `printcommand' unknown argument: " + std::to_string(n) + "\n");
      EXPECT_EQ(h.open(), std::vector<int>{13});
      EXPECT_EQ(h.body(), rtf ? "\\b " : "<b>");
    }
  }
}

std::string repeat(const std::string& s, int n) {
  std::string all;
  for (int i = 0; i < n; ++i) all += s;
  return all;
}

// Markup that no entry of the stack stands for could never be closed.
TEST(CommandStackTest, FullStackRefusesOpeningAndWritesNoMarkup) {
  Harness h(1);
  for (int i = 0; i < CommandStack::capacity; ++i) h.stack.printcommand(15, 0);
  h.source.count = 0x1A2B;
  h.stack.printcommand(6, 0);
  EXPECT_EQ(h.out.str(), "Error: `commands' overflow, offset:1a2b\n");
  EXPECT_EQ(h.stack.commands_n, CommandStack::capacity);
  h.stack.printcommand(7, 0);
  EXPECT_EQ(h.body(), repeat("\\i", CommandStack::capacity));
}

// Command 2 takes two entries: the colour may find room where the span does not.
TEST(CommandStackTest, SpecialSpanAtFullStack) {
  Harness h(0);
  for (int i = 0; i < CommandStack::capacity - 1; ++i) h.stack.printcommand(13, 0);
  h.stack.printcommand(2, 4);
  EXPECT_EQ(h.out.str(), "Error: `commands' overflow, offset:0\n");
  ASSERT_EQ(h.stack.commands_n, CommandStack::capacity);
  EXPECT_EQ(h.stack.commands[CommandStack::capacity - 1], 26);
  h.source.count = 0xFF;
  h.stack.printcommand(2, 4);
  EXPECT_EQ(h.out.str(), "Error: `commands' overflow, offset:0\n" + repeat("Error: `commands' overflow, offset:ff\n", 2));
  h.stack.printcommand(11, 0);
  EXPECT_EQ(h.stack.commands_n, 0);
  const std::string bold = repeat("<b>", CommandStack::capacity - 1);
  EXPECT_EQ(h.body(), bold + "<span class=\"code\"></span>" + repeat("</b>", CommandStack::capacity - 1));
}

}  // namespace
}  // namespace scrivel
