// The progress display: the engine hands each update to the progress port, which
// decides when to repaint. Composing the label is left to the port (Label()),
// because md_ShowProgress runs for every line imported or written.
#include <cmath>
#include <cstdio>

#include "staging/resources.h"
#include "staging/text.h"
#include "staging/ui_ports.h"

void md_ShowProgress(int kind, std::string_view text, double done, double total) {
  ProgressPort* port = Ports().progress;
  if (!port) return;
  ProgressEvent e;
  e.kind = kind;
  e.text = text;
  e.done = done;
  e.total = total;
  port->Progress(e);
}

namespace {

// A count as the labels show it: a plain whole number.
std::string Count(double v) {
  if (!std::isfinite(v)) return "0";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", RoundValue(v, 0));
  return buf;
}

}  // namespace

std::string ProgressEvent::Label() const {
  const std::string counts = Count(done) + "/" + Count(total);
  switch (kind) {
    // Between imports (no total) the import bar's label is the status text alone.
    case 0: return total > 0 ? std::string(text) + " (" + counts + ") Registros..." : std::string(text);
    case 1: return std::string(text) + " (" + counts + ")";
    case 2: return "Empresas (" + counts + ") => " + std::string(text);
    case 3: return "Registros (" + counts + ") => " + std::string(text);
    case 4: return "Registros Interno (" + counts + ") => " + std::string(text);
    default: return std::string();
  }
}

int ProgressEvent::Percent() const {
  if (!(done > 0)) return 0;                     // nothing done (or negative, or NaN)
  if (!(total > 0) && !(total < 0)) return 100;  // something done out of no total
  double p = RoundValue(done / total * 100.0, 0);
  if (!(p > 0)) return 0;
  if (p > 100) return 100;
  return static_cast<int>(p);
}
