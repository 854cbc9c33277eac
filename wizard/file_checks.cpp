// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "wizard/frm_assistente.h"

bool frmAssistente::CheckChosenFile(const std::string&) { throw std::logic_error("not built yet: CheckChosenFile"); }
bool frmAssistente::AcceptHeadOffice(std::vector<std::string>&) { throw std::logic_error("not built yet: AcceptHeadOffice"); }
bool frmAssistente::CheckAgainstHeadOffice(std::vector<std::string>&, std::string&) { throw std::logic_error("not built yet: CheckAgainstHeadOffice"); }
