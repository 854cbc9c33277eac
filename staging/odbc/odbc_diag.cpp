#include <string>

#include "staging/odbc/odbc_api.h"

std::string OdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string out;
  if (handle == SQL_NULL_HANDLE) return "no diagnostics from the driver";
  for (SQLSMALLINT rec = 1; rec < 64; ++rec) {
    SQLCHAR state[8] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, rec, state, &native, nullptr, 0, &len);
    if (!OdbcOk(rc)) break;
    std::string message(static_cast<size_t>(len) + 1, '\0');
    rc = SQLGetDiagRec(handleType, handle, rec, state, &native,
                       reinterpret_cast<SQLCHAR*>(message.data()),
                       static_cast<SQLSMALLINT>(message.size()), &len);
    if (!OdbcOk(rc)) break;
    message.resize(static_cast<size_t>(len) < message.size() ? static_cast<size_t>(len) : message.size() - 1);
    if (!out.empty()) out += "; ";
    out += "[" + std::string(reinterpret_cast<const char*>(state)) + "] " + message;
  }
  return out.empty() ? "no diagnostics from the driver" : out;
}
