// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "staging/resources.h"

std::string md_BuildLineExpr(std::string_view, const Objeto_Collection*) { throw std::logic_error("not built yet: md_BuildLineExpr"); }
void md_WriteLine(std::string_view, Recordset&, const Objeto_Collection&) { throw std::logic_error("not built yet: md_WriteLine"); }
void md_WriteOpener(std::string_view, Recordset&, const Objeto_Collection&, bool) { throw std::logic_error("not built yet: md_WriteOpener"); }
void md_AddRecordCount(std::string_view, int32_t) { throw std::logic_error("not built yet: md_AddRecordCount"); }
bool md_HasField(Recordset&, std::string_view) { throw std::logic_error("not built yet: md_HasField"); }
std::string md_MaxCodEst() { throw std::logic_error("not built yet: md_MaxCodEst"); }
std::string md_MaxColumn(std::string_view, std::string_view) { throw std::logic_error("not built yet: md_MaxColumn"); }
