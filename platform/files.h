// Files by UTF-8 names on every system. Inside the program a path is a
// std::string of UTF-8; on Windows it is handed to the wide-character APIs
// (a narrow std::filesystem::path there would read the bytes in the ANSI code
// page), on Linux to the usual calls unchanged.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform {

// The separator of folders in a path of this system, and whether `c` is one
// (on Linux a backslash is an ordinary character of a name).
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
constexpr bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }
#else
inline constexpr char kPathSeparator = '/';
constexpr bool IsPathSeparator(char c) { return c == '/'; }
#endif

// The path named by the UTF-8 text `utf8`. Never throws but std::bad_alloc.
std::filesystem::path PathFromUtf8(const std::string& utf8);
// The UTF-8 text of `path`. Never throws but std::bad_alloc.
std::string Utf8FromPath(const std::filesystem::path& path);
// The last part of the UTF-8 path `utf8` ("b.txt" of "a/b.txt"), as UTF-8.
std::string FileNameOf(const std::string& utf8);

// Opens the file named `utf8` as std::fopen does with `mode` ("rb", "wb"...).
// Null with errno set on failure.
std::FILE* OpenFile(const std::string& utf8, const char* mode);

// What a name that is no regular file is (OpenRegularFile refuses it).
enum class FileKind { Regular, Folder, Fifo, Device, Socket, Other };

// Opens the existing file `utf8` for reading ("rb") only when it is a regular
// file: a FIFO is never waited on, a device never read (the name is looked at
// before opening and the opened file again, so a swap between the two is
// caught). Null on failure with `kind` telling what the name is instead, or,
// when `kind` is Regular, errno set.
std::FILE* OpenRegularFile(const std::string& utf8, FileKind& kind);

// Creates `utf8` as a new file open for writing: fails (EEXIST) when anything,
// a link included, already has that name. On Windows the file may be removed
// while open (it goes when closed), so a stop of the program can remove it.
// `privateFile` gives the file to the user alone on Linux (0600, else 0666
// before the umask). Null with errno set on failure.
std::FILE* CreateNewFile(const std::string& utf8, bool privateFile = false);

// Renames `from` to `to`, replacing a file `to` (on Windows also when it
// exists, and written through to the disk). An error code of the generic
// category (errno values) on failure.
std::error_code ReplaceByRename(const std::string& from, const std::string& to);

// Flushes what the system holds of the open file `f` to the disk. 0, or an
// errno value (a file that cannot be flushed so, like a pipe, is not an error).
int SyncToDisk(std::FILE* f);

// True when `utf8` is a folder (links followed). Never throws.
bool IsFolder(const std::string& utf8);

// True when `path` is a plain file (not a link) that belongs to the user
// running the program (on Windows: any plain file). Never throws.
bool IsOwnPlainFile(const std::filesystem::path& path);

// Whether `a` and `b` are the same existing file (links followed): the same
// device and inode on Linux, the same volume and file index on Windows.
// `bothExist` tells whether the answer means anything. Never throws.
bool SameExistingFile(const std::string& a, const std::string& b, bool& bothExist);

// Creates and removes a file of a new name in `folder`: 0 when it could, else
// the errno value of the failure.
int ProbeWritableFolder(const std::string& folder);

// Removes the file `utf8`; callable from the stop hook (stop.h): on Linux
// async-signal-safe (unlink). Returns false when it could not.
bool RemoveFileNow(const char* utf8);

}  // namespace platform
