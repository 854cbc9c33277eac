// The fuzzer's judgement of a round: sanitizer reports are findings whatever
// the exit status they come with, and the other verdicts keep their meaning.
#include <gtest/gtest.h>

#include "bench/fuzz_verdict.h"

TEST(FuzzVerdict, SanitizerReportsAreFindingsWhateverTheExitStatus) {
  // AddressSanitizer stops the program with exit status 1 and its report:
  // it used to pass for a refusal with a message.
  FuzzRound asan;
  asan.exitCode = 1;
  asan.err = "==4242==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000011\n";
  EXPECT_EQ(JudgeFuzzRound(asan), "finding: sanitizer report");
  // UndefinedBehaviorSanitizer goes on: the run still merges.
  FuzzRound ubsan;
  ubsan.exitCode = 0;
  ubsan.outputs = 1;
  ubsan.err = "staging/text.cpp:42:7: runtime error: signed integer overflow\n";
  EXPECT_EQ(JudgeFuzzRound(ubsan), "finding: sanitizer report");
  FuzzRound inCheck;
  inCheck.exitCode = 0;
  inCheck.outputs = 1;
  inCheck.checkErr = "==7==ERROR: LeakSanitizer: detected memory leaks\n";
  EXPECT_EQ(JudgeFuzzRound(inCheck), "finding: sanitizer report");
}

TEST(FuzzVerdict, MergesRefusalsAndTheOtherFindings) {
  FuzzRound merged;
  merged.exitCode = 0;
  merged.outputs = 1;
  // The ledger CSV as the program writes it: a byte-order mark, ';' between fields.
  merged.ledger = "\xEF\xBB\xBFregistro;estabelecimento\nC100;;2;2;0;0;0;\n";
  EXPECT_EQ(JudgeFuzzRound(merged), "merged");
  FuzzRound missing = merged;
  missing.ledger += "C170;;3;2;0;0;1;linhas não gravadas\n";
  EXPECT_EQ(JudgeFuzzRound(missing), "finding: exit 0 with lines not written");
  FuzzRound rejected = merged;
  rejected.checkExitCode = 1;
  EXPECT_EQ(JudgeFuzzRound(rejected), "finding: exit 0, check rejects the output");
  // Lines left out: exit 3 saying so, never exit 0.
  FuzzRound leftOut = merged;
  leftOut.ledger += "C17O;;0;0;0;1;0;registro não unificado\n";
  EXPECT_EQ(JudgeFuzzRound(leftOut), "finding: exit 0 with lines left out");
  leftOut.exitCode = 3;
  EXPECT_EQ(JudgeFuzzRound(leftOut), "finding: exit 3 without saying so");
  leftOut.err = "quelvar: gravado, com linhas deixadas de fora (...)\n";
  EXPECT_EQ(JudgeFuzzRound(leftOut), "merged with lines left out");
  FuzzRound nothingLeftOut = merged;
  nothingLeftOut.exitCode = 3;
  EXPECT_EQ(JudgeFuzzRound(nothingLeftOut), "finding: exit 3 without lines left out");

  FuzzRound refused;
  refused.exitCode = 1;
  refused.err = "quelvar: Arquivo recusado: 1 erro(s): linha 3 C170: ...\n";
  EXPECT_EQ(JudgeFuzzRound(refused), "refused or failed with a message");
  refused.outputs = 1;
  EXPECT_EQ(JudgeFuzzRound(refused), "finding: exit 1 with a merged file");
  FuzzRound silent;
  silent.exitCode = 1;
  EXPECT_EQ(JudgeFuzzRound(silent), "finding: exit 1 without a message");
  FuzzRound killed;
  killed.signal = 11;
  EXPECT_EQ(JudgeFuzzRound(killed), "finding: signal 11");
}
