// The check of the merged file while it is written: the bytes split into
// pieces of any size give the lines and the findings of the check of the
// whole file; the writer waits on a full queue; a failure of the second
// thread reaches the writer.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "checker/efd_check.h"
#include "checker/line_reader.h"
#include "checker/stream_check.h"
#include "staging/output_file.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"

namespace {

std::vector<std::string> WholeLines(const std::string& text) {
  std::vector<std::string> lines;
  TextLines split(text);
  std::string_view line;
  while (split.Next(line)) lines.emplace_back(line);
  return lines;
}

// `text` fed in pieces of `piece` bytes.
std::vector<std::string> PiecedLines(const std::string& text, size_t piece) {
  std::vector<std::string> lines;
  StreamLines split;
  auto keep = [&](std::string_view line) { lines.emplace_back(line); };
  for (size_t at = 0; at < text.size(); at += piece) split.Feed(std::string_view(text).substr(at, piece), keep);
  split.End(keep);
  return lines;
}

TEST(StreamLines, SplitsPiecesAsTheFileReaderSplitsTheWhole) {
  const std::vector<std::string> texts = {
      "",
      "a",
      "a\r\n",
      "a\r\nb\r\n",
      "a\nb\rc\r\nd",
      "\r\n\r\n",
      "\r\r\n\n",
      "ab\r",
      "ab\r\r",
      "|0000|006|\r\n|0001|0|\r\n\r\n|9999|3|",
      "x\r\ny\r",
  };
  for (const std::string& text : texts)
    for (size_t piece : {1u, 2u, 3u, 5u, 1000u})
      EXPECT_EQ(PiecedLines(text, piece), WholeLines(text)) << "\"" << text << "\" in pieces of " << piece;
}

std::string Golden() { return ReadFileBytes(std::string(QUELVAR_SOURCE_DIR) + "/tests/golden/sample-network-merged.txt"); }

// The findings as text, to compare two reports whole.
std::string Findings(const CheckReport& r) {
  std::string text = std::to_string(r.lines) + " lines, " + std::to_string(r.errors) + " errors, " +
                     std::to_string(r.warnings) + " warnings\n";
  for (const CheckProblem& p : r.problems) text += std::to_string(p.line) + " " + p.code + ": " + p.message + "\n";
  for (const CheckBlock& b : r.blocks) text += std::string(1, b.letter) + " " + std::to_string(b.lines) + "\n";
  return text;
}

// The golden merged file, valid and with one line given a field too many,
// checked through queues as small as one block of one byte (the writer
// waits on the checker at nearly every piece) up to the run's own size.
TEST(BackgroundCheck, FindsWhatTheCheckOfTheWholeFileFinds) {
  const std::string good = Golden();
  ASSERT_FALSE(good.empty());
  std::string bad = good;
  const size_t at = bad.find("\r\n|0150|");
  ASSERT_NE(at, std::string::npos);
  bad.insert(at + 8, "X|");
  struct Queue {
    size_t blocks, blockSize, piece;
  };
  const std::vector<Queue> queues = {{1, 1, 1}, {1, 7, 3}, {2, 64, 100}, {64, 64 * 1024, 4096}};
  for (const std::string* text : std::vector<const std::string*>{&good, &bad}) {
    const CheckReport whole = CheckEfdText(*text);
    for (const Queue& q : queues) {
      BackgroundCheck check(q.blocks, q.blockSize);
      for (size_t i = 0; i < text->size(); i += q.piece) check.Add(std::string_view(*text).substr(i, q.piece));
      const CheckReport& report = check.Finish();
      EXPECT_EQ(Findings(report), Findings(whole)) << "queue of " << q.blocks << " x " << q.blockSize;
    }
    EXPECT_EQ(whole.Valid(), text == &good);
  }
}

// A failure on the second thread is thrown by Finish on the writer's
// thread; the writer, waiting on a full queue, is not left waiting.
TEST(BackgroundLines, AFailureOfTheSecondThreadReachesTheWriter) {
  std::atomic<int> seen{0};
  BackgroundLines lines(
      [&](std::string_view line) {
        if (++seen == 3) throw std::runtime_error("linha ruim: " + std::string(line));
      },
      [] {}, 1, 1);
  for (int i = 0; i < 1000; ++i) lines.Add("l" + std::to_string(i) + "\n");
  try {
    lines.Finish();
    FAIL() << "no failure";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "linha ruim: l2");
  }
  EXPECT_EQ(seen, 3);
}

// Finish tells how far the check went while it waits; an object destroyed
// without Finish (a run that failed while writing) stops its thread.
TEST(BackgroundLines, ReportsProgressAndStopsWhenAbandoned) {
  std::atomic<bool> release{false};
  int64_t handed = 0;
  {
    BackgroundLines lines(
        [&](std::string_view) {
          while (!release) std::this_thread::yield();
          ++handed;
        },
        [] {}, 1, 1);
    std::vector<int64_t> told;
    lines.Add("a\nb\n");
    lines.Finish([&](int64_t n) {
      told.push_back(n);
      release = true;
    });
    EXPECT_FALSE(told.empty());
    EXPECT_EQ(lines.Lines(), 2);
  }
  EXPECT_EQ(handed, 2);
  {
    BackgroundLines abandoned([](std::string_view) {}, [] {}, 1, 1);
    abandoned.Add("a\nb\n");
  }  // would hang here if the thread were not stopped
}

// The output channel hands on exactly the bytes that reach the file.
TEST(OutputTap, SeesTheBytesOfTheFile) {
  TempFolder dir;
  OutputFile out;
  std::string tapped;
  out.Open(dir.File("out.txt"));
  out.WriteLine("|0000|006|");
  out.SetTap([&](std::string_view bytes) { tapped.append(bytes); });
  out.WriteLine("|0001|0|");
  out.Write("raw\n");
  out.WriteLine("");
  out.Commit();
  out.SetTap({});
  EXPECT_EQ(tapped, "|0001|0|\r\nraw\n\r\n");
  EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), "|0000|006|\r\n" + tapped);
}

}  // namespace
