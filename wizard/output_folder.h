// Whether the merged file can be written into a folder, told in Portuguese.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "staging/system_error_text.h"

// What stops a file from being created in `folder`, in Portuguese ("a pasta
// não existe", "permissão negada", ...); "" when a file can be created there.
// Creates and removes a small probe file; never throws.
std::string OutputFolderProblem(const std::string& folder);

// The name proposed for a file saved with the merged file: `planned` (the
// merged file's path, "…_Unificado.txt") with `suffix` for "_Unificado.txt",
// else `bareName` in `folder` (or alone when no folder is known).
std::string BesideMergedFile(const std::string& planned, const std::string& folder, std::string_view suffix,
                             std::string_view bareName);

// A file a run reads or writes, with what it is to the user ("o arquivo de
// entrada", "o relatório de conciliação", ...).
struct RunFile {
  std::string role;
  std::string path;
};

// What stops a run from writing `written` without destroying a file it must
// keep: the first written file that is the same file (SameFile: device and
// inode, links followed) as one of `kept` or as another of `written`, or that
// is a symbolic link (nothing is written through a link) or a folder. The message, in
// Portuguese, names both files ("O relatório de conciliação /a/r.csv é o
// mesmo arquivo que o arquivo de entrada /a/m.txt; ..."); "" when nothing
// clashes. Never throws; nothing is created.
std::string WrittenFilesClash(const std::vector<RunFile>& kept, const std::vector<RunFile>& written);
