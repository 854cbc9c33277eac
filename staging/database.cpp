// Placeholder definitions, replaced as the pieces are built.
#include <stdexcept>
#include "staging/database.h"

int64_t Value::AsInt() const { throw std::logic_error("not built yet: Value::AsInt"); }
double Value::AsDouble() const { throw std::logic_error("not built yet: Value::AsDouble"); }
std::string Value::AsText() const { throw std::logic_error("not built yet: Value::AsText"); }
const Value& Recordset::operator[](std::string_view) const { throw std::logic_error("not built yet: Recordset::operator[]"); }
std::unique_ptr<DatabaseConnection> CreateConnection(const std::string&) { throw std::logic_error("not built yet: CreateConnection"); }
std::unique_ptr<Recordset> MakeEmptyRecordset() { throw std::logic_error("not built yet: MakeEmptyRecordset"); }
