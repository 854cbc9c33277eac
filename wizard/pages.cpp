// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "wizard/frm_assistente.h"

void frmAssistente::cmdAvancar_Click() { throw std::logic_error("not built yet: cmdAvancar_Click"); }
void frmAssistente::cmdVoltar_Click() { throw std::logic_error("not built yet: cmdVoltar_Click"); }
void frmAssistente::cmdCancelar_Click() { throw std::logic_error("not built yet: cmdCancelar_Click"); }
void frmAssistente::cmdLocalArquivoMagnetico_Click() { throw std::logic_error("not built yet: cmdLocalArquivoMagnetico_Click"); }
void frmAssistente::ButtonLocalidadeSalvar_Click() { throw std::logic_error("not built yet: ButtonLocalidadeSalvar_Click"); }
void frmAssistente::OptionUnificaArquivo_Click() { throw std::logic_error("not built yet: OptionUnificaArquivo_Click"); }
void frmAssistente::OptionUnificaMatrizFilial_Click() { throw std::logic_error("not built yet: OptionUnificaMatrizFilial_Click"); }
void frmAssistente::checkValidarMatriz_Click() { throw std::logic_error("not built yet: checkValidarMatriz_Click"); }
void frmAssistente::Navigate(int) {}
void frmAssistente::GoFirst() {}
void frmAssistente::GoNext() { throw std::logic_error("not built yet: GoNext"); }
void frmAssistente::GoBack() { throw std::logic_error("not built yet: GoBack"); }
void frmAssistente::ShowPage() {}
bool frmAssistente::ValidatePage(int, std::string&) { throw std::logic_error("not built yet: ValidatePage"); }
void frmAssistente::SetPage1Note() {}
