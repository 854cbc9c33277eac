// The reconciliation ledger of a run: for every record code and establishment
// (the CNPJ that links the lines to their file or establishment), the lines
// read at import and the lines written to the merged file; per record code,
// the lines refused at import with their reason. The run compares both sides
// with the merge rules (blocks/merge_rules.h): a line neither written nor
// accounted for by a rule fails the run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class RecordLedger {
 public:
  // Counts of one record code and establishment.
  struct Counts {
    int64_t read = 0, written = 0;
    // Lines left out because a line of the same contents (and children) was
    // kept for the establishment, a code table's line given twice: while
    // writing, and at import.
    int64_t merged = 0, mergedAtImport = 0;
    int64_t Merged() const { return merged + mergedAtImport; }
  };
  using Key = std::pair<std::string, std::string>;  // record code, establishment CNPJ

  // One line of `code` read at import for establishment `cnpj`: the CNPJ of
  // the 0140 / X010 above it in its file, or the file's 0000 CNPJ for a
  // company-level record; `file` is the input file's number (Id_Arquivo), 0
  // when not known.
  void Read(std::string_view code, std::string_view cnpj, int64_t file = 0);
  // One line of `code` read at import and not staged, for `reason`; `file`
  // is the input file's number (Id_Arquivo), 0 when not known.
  void Refused(std::string_view code, std::string_view reason, int64_t file = 0);
  // One line of `code` written while establishment `cnpj` is being written.
  // Called for every output line: the last key is remembered.
  void Written(std::string_view code, std::string_view cnpj);
  // `n` lines of `code` of establishment `cnpj` left out, while the
  // establishment is written, as the same as a line kept.
  void Merged(std::string_view code, std::string_view cnpj, int64_t n = 1);
  // One line of `code` of establishment `cnpj` not staged as the same as a
  // line staged before; `file` is the input file's number (Id_Arquivo), 0
  // when not known.
  void MergedAtImport(std::string_view code, std::string_view cnpj, int64_t file = 0);
  // Forgets what was written and merged while writing (a new run writes
  // everything again); lines merged at import stay.
  void ClearWritten();
  // Forgets everything (the staging tables were emptied).
  void Clear();
  // Gives back what input file `file` brought (its staged rows were deleted):
  // its lines read, merged at import and refused leave the counts, and the
  // file leaves FileReads. Lines read without a file number stay.
  void ForgetFile(int64_t file);
  // Input files `a` and `b` exchange their numbers (their staged rows did
  // the same): what each brought is then told under the other's number.
  // The counts per establishment do not change.
  void SwapFiles(int64_t a, int64_t b);

  const std::map<Key, Counts>& Entries() const { return entries_; }
  // Per record code and establishment: the lines read from each input file
  // (by its number), for the lines whose file was known. The parts of one
  // CNPJ share their establishment; this tells what each part brought.
  using FileCounts = std::map<int64_t, int64_t>;
  const std::map<Key, FileCounts>& FileReads() const { return fileReads_; }
  // Per record code: reason -> lines refused.
  const std::map<std::string, std::map<std::string, int64_t>>& RefusedLines() const { return refused_; }
  // Per input file (by its number): record code -> reason -> lines refused.
  const std::map<int64_t, std::map<std::string, std::map<std::string, int64_t>>>& RefusedByFile() const {
    return refusedByFile_;
  }

  // What a failed import gives back: the read side as it was before the file.
  struct ReadSide {
    std::map<Key, Counts> entries;
    std::map<std::string, std::map<std::string, int64_t>> refused;
    std::map<Key, FileCounts> fileReads;
    std::map<int64_t, std::map<std::string, std::map<std::string, int64_t>>> refusedByFile;
    std::map<Key, FileCounts> fileMergedAtImport;
  };
  ReadSide SaveRead() const { return {entries_, refused_, fileReads_, refusedByFile_, fileMergedAtImport_}; }
  void RestoreRead(ReadSide saved);

 private:
  Counts& Entry(std::string_view code, std::string_view cnpj);

  std::map<Key, Counts> entries_;
  std::map<std::string, std::map<std::string, int64_t>> refused_;
  std::map<Key, FileCounts> fileReads_;
  // Per record code and establishment: the lines merged at import of each input file.
  std::map<Key, FileCounts> fileMergedAtImport_;
  // Per input file: record code -> reason -> lines refused.
  std::map<int64_t, std::map<std::string, std::map<std::string, int64_t>>> refusedByFile_;
  std::string lastCode_, lastCnpj_;
  Counts* last_ = nullptr;
  // The file count Read used last: of the entry `lastFileEntry_`, file `lastFile_`.
  int64_t* lastFileCount_ = nullptr;
  const Counts* lastFileEntry_ = nullptr;
  int64_t lastFile_ = 0;
};
