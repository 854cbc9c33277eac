#include "app/cli_ports.h"

#include <cstdio>

#include "platform/console.h"

void CliMessages::ShowMessage(std::string_view text, MsgIcon) {
  ++shown;
  if (currentFile.empty())
    std::fprintf(stderr, "quelvar: %.*s\n", static_cast<int>(text.size()), text.data());
  else
    std::fprintf(stderr, "quelvar: %s: %.*s\n", currentFile.c_str(), static_cast<int>(text.size()),
                 text.data());
}

void CliMessages::ReportError(std::string_view, std::string_view procedure, std::string_view message) {
  ShowMessage(std::string(message) + " (" + std::string(procedure) + ")", MsgIcon::Critical);
}

CliProgress::CliProgress(bool enabled, bool terminal) : enabled_(enabled && terminal) {}

CliProgress::~CliProgress() { Clear(); }

void CliProgress::Clear() {
  if (drawn_) std::fprintf(stderr, "\r\033[K");
  drawn_ = false;
}

void CliProgress::Progress(const ProgressEvent& e) {
  if (!enabled_ || e.kind < 0 || e.kind > 4) return;
  // The import bar's captions without a count are the wizard's status texts
  // for its file page ("Nenhum arquivo importado. Clique em '...'…"), which
  // mean nothing on a terminal.
  if (e.kind == 0 && e.Hidden()) return;
  // The overall bars (kinds 0 and 1) and the establishments' bar change
  // rarely: always keep their texts. The bars of lines change for every line:
  // their texts are composed only when the line is printed, a few times a second.
  auto label = [&e] { return e.Hidden() && e.text.empty() ? std::string() : e.Label(); };
  if (e.kind == 1 || e.kind == 2 || e.elapsed >= 0) labels_[e.kind] = label();
  auto now = std::chrono::steady_clock::now();
  if (now < next_) return;
  next_ = now + std::chrono::milliseconds(200);
  labels_[e.kind] = label();
  std::string line;
  if (e.kind == 0) {
    // An overall import bar names its file itself.
    if (e.elapsed < 0 && currentFile && !currentFile->empty()) {
      size_t slash = currentFile->find_last_of('/');
      line = currentFile->substr(slash == std::string::npos ? 0 : slash + 1) + ": ";
    }
    line += labels_[0];
  } else {
    // The run: its overall percentage and times first, then the establishment.
    for (int k : {1, 2})
      if (!labels_[k].empty()) line += (line.empty() ? "" : "  ") + labels_[k];
  }
  if (line.size() > 150) {
    // Cut on a whole character (the labels are UTF-8).
    line.resize(150);
    while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) line.pop_back();
    if (!line.empty() && static_cast<unsigned char>(line.back()) >= 0xC0) line.pop_back();
  }
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  drawn_ = true;
}
