// The rules of the structural check, applied line by line in one pass.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "checker/code_rules.h"
#include "checker/field_rules.h"
#include "checker/efd_check.h"
#include "checker/sum_rules.h"
#include "checker/tree_rules.h"

class EfdRules {
 public:
  // `sums` says which sums between records are checked: an input of a merge
  // leaves out Block M's, which the merge recomputes. `identicalCodesAreErrors`
  // false makes a code defined twice with the same content a warning (an
  // input: the merge writes it once). `blankLinesAreErrors` false only counts
  // the lines without a record in the report (an input file is merged without
  // them); true also reports them as an error, since the tax authority's
  // validator refuses such a file.
  explicit EfdRules(CheckReport& report, SumScope sums = SumScope::kAll, bool identicalCodesAreErrors = true,
                    bool blankLinesAreErrors = true)
      : report_(report), tree_(report), codes_(report, identicalCodesAreErrors),
        fields_([this](int64_t line, std::string_view code, std::string message) {
          Problem(line, code, std::move(message));
        }),
        sums_([this](int64_t line, std::string_view code, std::string message) {
          Problem(line, code, std::move(message));
        }, sums),
        blankLinesAreErrors_(blankLinesAreErrors) {}

  // Checks the next line of the file (without its line ending). Lines without
  // a record (empty, or blanks and tabs only) are counted apart: the counts
  // of the file (X990, 9900, 9999) are those of the lines with records, and
  // every finding names the file's own line number.
  void Line(std::string_view line);
  // Checks what can only be known at the end (closing counts, Block 9, last
  // line) and completes the report.
  void Finish();

 private:
  struct CodeStat {
    int64_t count = 0;
    int64_t firstLine = 0;
    const CatalogueRecord* record = nullptr;  // nullptr: not a record of the layout
    int64_t declared = -1;    // its 9900 count; -1 without a 9900 line
    int64_t declaredLine = 0;
  };
  struct OpenBlock {
    CheckBlock info;
    int64_t openerLine = 0;
    std::string openerValue;
    int64_t closerLine = 0;
    int64_t lastLine = 0;   // the file's line number of its last line
    int64_t dataLines = 0;  // lines besides opener, closer, 0000 and 9999
  };

  void Problem(int64_t line, std::string_view code, std::string message, bool warning = false,
               bool fieldCount = false);
  CodeStat& Stat(std::string_view code);
  void EnterBlock(char letter, std::string_view code);
  void EndBlock();
  void CheckRecord(std::string_view line, std::string_view code);
  void CheckBytes(std::string_view line, std::string_view code);

  CheckReport& report_;
  TreeRules tree_;
  CodeRules codes_;
  FieldRules fields_;  // after report_: it reports through Problem
  SumRules sums_;        // likewise
  bool blankLinesAreErrors_ = true;
  int64_t lineNo_ = 0;       // the file's line number of the current line
  int64_t recordLines_ = 0;  // lines with a record so far
  int64_t lastRecordLine_ = 0;
  // The text encoding: the first line holding a UTF-8 multi-byte sequence
  // (the sequence kept), and whether a byte above 0x7F that is no part of
  // such a sequence was seen (then the file is not UTF-8).
  int64_t utf8Line_ = 0;
  std::string utf8Code_, utf8Sample_;
  bool notUtf8_ = false;
  std::string lastCode_;
  std::string prevCode_;
  std::string repaired_;  // a line without its closing bar, with it
  bool inBlock_ = false;
  OpenBlock block_;
  int64_t seen_[256] = {};  // first line of each block letter seen; 0 when not seen
  int order_ = -1;  // position of the current block in the file order
  std::unordered_map<uint32_t, CodeStat> stats_;
  std::vector<uint32_t> codeOrder_;   // codes in order of first appearance
  int64_t said9990_ = -1, line9990_ = 0;
  int64_t said9999_ = -1, line9999_ = 0;
  int64_t block9Lines_ = -1;
};
