// The right-hand side of a comparison with a stored Id_CNPJ.
#pragma once

#include <string>
#include <string_view>

// The CNPJ itself when it is plain digits (compared as a number, as the
// Id_CNPJ index of the staging tables does), else a quoted, escaped text.
std::string CnpjOperand(std::string_view cnpj);
