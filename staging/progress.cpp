// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "staging/resources.h"
#include "staging/ui_ports.h"

void md_ShowProgress(int, std::string_view, double, double) { throw std::logic_error("not built yet: md_ShowProgress"); }
std::string ProgressEvent::Label() const { throw std::logic_error("not built yet: ProgressEvent::Label"); }
int ProgressEvent::Percent() const { throw std::logic_error("not built yet: ProgressEvent::Percent"); }
