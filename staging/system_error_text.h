// System errors in the user's language.
#pragma once

#include <string>
#include <system_error>

// The cause of a system error number in Portuguese (with the C library's own
// text and the number, when it is not one of the common causes). Every
// system error a user reads goes through it, never strerror.
std::string SystemErrorText(int errnum);
// The same for an error code of the standard library (std::filesystem):
// system and generic codes by their number, others by their own message.
std::string SystemErrorText(const std::error_code& ec);
