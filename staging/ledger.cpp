#include "staging/ledger.h"

RecordLedger::Counts& RecordLedger::Entry(std::string_view code, std::string_view cnpj) {
  if (last_ && code == lastCode_ && cnpj == lastCnpj_) return *last_;
  last_ = &entries_[Key(std::string(code), std::string(cnpj))];  // map nodes stay put
  lastCode_.assign(code);
  lastCnpj_.assign(cnpj);
  return *last_;
}

void RecordLedger::Read(std::string_view code, std::string_view cnpj, int64_t file) {
  Counts& entry = Entry(code, cnpj);
  ++entry.read;
  if (file <= 0) return;
  if (!lastFileCount_ || lastFileEntry_ != &entry || lastFile_ != file) {
    lastFileCount_ = &fileReads_[Key(lastCode_, lastCnpj_)][file];  // map nodes stay put
    lastFileEntry_ = &entry;
    lastFile_ = file;
  }
  ++*lastFileCount_;
}

void RecordLedger::Refused(std::string_view code, std::string_view reason) {
  ++refused_[std::string(code)][std::string(reason)];
}

void RecordLedger::Written(std::string_view code, std::string_view cnpj) { ++Entry(code, cnpj).written; }

void RecordLedger::Merged(std::string_view code, std::string_view cnpj, int64_t n) { Entry(code, cnpj).merged += n; }

void RecordLedger::MergedAtImport(std::string_view code, std::string_view cnpj) { ++Entry(code, cnpj).mergedAtImport; }

void RecordLedger::ClearWritten() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    it->second.written = 0;
    it->second.merged = 0;
    it = it->second.read == 0 && it->second.mergedAtImport == 0 ? entries_.erase(it) : std::next(it);
  }
  last_ = nullptr;
  lastFileCount_ = nullptr;
}

void RecordLedger::Clear() {
  entries_.clear();
  refused_.clear();
  fileReads_.clear();
  last_ = nullptr;
  lastFileCount_ = nullptr;
}

void RecordLedger::RestoreRead(ReadSide saved) {
  entries_ = std::move(saved.entries);
  refused_ = std::move(saved.refused);
  fileReads_ = std::move(saved.fileReads);
  last_ = nullptr;
  lastFileCount_ = nullptr;
}

RecordLedger& RunLedger() {
  static RecordLedger ledger;
  return ledger;
}
