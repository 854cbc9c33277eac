// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "staging/resources.h"

std::string md_InsertTable(std::string_view, std::string_view, Objeto_Collection&) { throw std::logic_error("not built yet: md_InsertTable"); }
bool md_TableHasRows(std::string_view) { throw std::logic_error("not built yet: md_TableHasRows"); }
bool md_FindUnit(std::string_view, std::string_view) { throw std::logic_error("not built yet: md_FindUnit"); }
bool md_FindAccount(std::string_view) { throw std::logic_error("not built yet: md_FindAccount"); }
