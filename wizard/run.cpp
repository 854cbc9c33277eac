// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "wizard/frm_assistente.h"

RunResult frmAssistente::RunUnification(bool&) { throw std::logic_error("not built yet: RunUnification"); }
