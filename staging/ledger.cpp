#include "staging/ledger.h"

#include "staging/swap_keys.h"

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

void RecordLedger::Refused(std::string_view code, std::string_view reason, int64_t file) {
  ++refused_[std::string(code)][std::string(reason)];
  if (file > 0) ++refusedByFile_[file][std::string(code)][std::string(reason)];
}

void RecordLedger::ForgetFile(int64_t file) {
  for (auto it = fileMergedAtImport_.begin(); it != fileMergedAtImport_.end();) {
    if (auto f = it->second.find(file); f != it->second.end()) {
      if (auto entry = entries_.find(it->first); entry != entries_.end()) entry->second.mergedAtImport -= f->second;
      it->second.erase(f);
    }
    it = it->second.empty() ? fileMergedAtImport_.erase(it) : std::next(it);
  }
  for (auto it = fileReads_.begin(); it != fileReads_.end();) {
    auto f = it->second.find(file);
    if (f != it->second.end()) {
      auto entry = entries_.find(it->first);
      if (entry != entries_.end()) {
        entry->second.read -= f->second;
        if (entry->second.read <= 0 && entry->second.written == 0) entries_.erase(entry);
      }
      it->second.erase(f);
    }
    it = it->second.empty() ? fileReads_.erase(it) : std::next(it);
  }
  if (auto byFile = refusedByFile_.find(file); byFile != refusedByFile_.end()) {
    for (const auto& [code, reasons] : byFile->second) {
      auto byCode = refused_.find(code);
      if (byCode == refused_.end()) continue;
      for (const auto& [reason, n] : reasons) {
        auto r = byCode->second.find(reason);
        if (r == byCode->second.end()) continue;
        r->second -= n;
        if (r->second <= 0) byCode->second.erase(r);
      }
      if (byCode->second.empty()) refused_.erase(byCode);
    }
    refusedByFile_.erase(byFile);
  }
  last_ = nullptr;
  lastFileCount_ = nullptr;
}

void RecordLedger::SwapFiles(int64_t a, int64_t b) {
  for (auto& [key, files] : fileReads_) SwapKeys(files, a, b);
  for (auto& [key, files] : fileMergedAtImport_) SwapKeys(files, a, b);
  SwapKeys(refusedByFile_, a, b);
  lastFileCount_ = nullptr;
}

void RecordLedger::Written(std::string_view code, std::string_view cnpj) { ++Entry(code, cnpj).written; }

void RecordLedger::Merged(std::string_view code, std::string_view cnpj, int64_t n) { Entry(code, cnpj).merged += n; }

void RecordLedger::MergedAtImport(std::string_view code, std::string_view cnpj, int64_t file) {
  ++Entry(code, cnpj).mergedAtImport;
  if (file > 0) ++fileMergedAtImport_[Key(std::string(code), std::string(cnpj))][file];
}

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
  refusedByFile_.clear();
  fileMergedAtImport_.clear();
  last_ = nullptr;
  lastFileCount_ = nullptr;
}

void RecordLedger::RestoreRead(ReadSide saved) {
  entries_ = std::move(saved.entries);
  refused_ = std::move(saved.refused);
  fileReads_ = std::move(saved.fileReads);
  refusedByFile_ = std::move(saved.refusedByFile);
  fileMergedAtImport_ = std::move(saved.fileMergedAtImport);
  last_ = nullptr;
  lastFileCount_ = nullptr;
}
