// Whether the merged file can be written into a folder, told in Portuguese.
#pragma once

#include <string>

// What stops a file from being created in `folder`, in Portuguese ("a pasta
// não existe", "permissão negada", ...); "" when a file can be created there.
// Creates and removes a small probe file; never throws.
std::string OutputFolderProblem(const std::string& folder);

// The cause of a system error number in Portuguese (the C library's own text,
// when it is not one of the common causes).
std::string SystemErrorText(int errnum);
