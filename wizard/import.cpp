// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "wizard/frm_assistente.h"

void frmAssistente::ChooseInputFile() { throw std::logic_error("not built yet: ChooseInputFile"); }
ImportOutcome frmAssistente::ImportFile(const std::string&) { throw std::logic_error("not built yet: ImportFile"); }
int64_t frmAssistente::CountLines(const std::string&) { throw std::logic_error("not built yet: CountLines"); }
void frmAssistente::CaptureHeaderFields(std::string_view, const std::vector<std::string_view>&) { throw std::logic_error("not built yet: CaptureHeaderFields"); }
void frmAssistente::DispatchRecord(std::string_view, std::string&) { throw std::logic_error("not built yet: DispatchRecord"); }
std::string frmAssistente::RenumberEstablishment(std::string&) { throw std::logic_error("not built yet: RenumberEstablishment"); }
