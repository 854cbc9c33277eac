// The Windows side of the platform helpers: wide-character APIs on names
// converted from UTF-8, Win32 errors told as errno values so that the
// engine's Portuguese causes (SystemErrorText) stay the same.
#ifdef _WIN32

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdlib>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/stop.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

// The errno value closest to the Win32 error `err`.
int ErrnoFromWin32(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
  }
}

std::wstring Wide(const std::string& utf8) { return PathFromUtf8(utf8).wstring(); }

// A handle to the existing file `utf8` (links followed) for its identity;
// INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenForIdentity(const std::string& utf8) {
  return ::CreateFileW(Wide(utf8).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

fs::path PathFromUtf8(const std::string& utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8FromPath(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string FileNameOf(const std::string& utf8) { return Utf8FromPath(PathFromUtf8(utf8).filename()); }

std::FILE* OpenFile(const std::string& utf8, const char* mode) {
  const std::wstring wmode(mode, mode + std::char_traits<char>::length(mode));
  return ::_wfopen(Wide(utf8).c_str(), wmode.c_str());
}

std::FILE* OpenRegularFile(const std::string& utf8, FileKind& kind) {
  kind = FileKind::Regular;
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(PathFromUtf8(utf8), ec);
  if (!ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st)) {
    kind = std::filesystem::is_directory(st) ? FileKind::Folder
           : std::filesystem::is_fifo(st)    ? FileKind::Fifo
           : std::filesystem::is_character_file(st) || std::filesystem::is_block_file(st) ? FileKind::Device
                                                                                            : FileKind::Other;
    return nullptr;
  }
  std::FILE* f = OpenFile(utf8, "rb");
  if (!f) return nullptr;
  // A name such as "CON" or "NUL" opens a device, not a file on the disk.
  const DWORD type = ::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(f))));
  if (type != FILE_TYPE_DISK) {
    kind = type == FILE_TYPE_PIPE ? FileKind::Fifo : FileKind::Device;
    std::fclose(f);
    return nullptr;
  }
  return f;
}

std::FILE* CreateNewFile(const std::string& utf8, bool) {
  HANDLE h = ::CreateFileW(Wide(utf8).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoFromWin32(::GetLastError());
    return nullptr;
  }
  int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    ::DeleteFileW(Wide(utf8).c_str());
    errno = EMFILE;
    return nullptr;
  }
  std::FILE* f = ::_fdopen(fd, "wb");
  if (!f) {
    int err = errno;
    ::_close(fd);
    ::DeleteFileW(Wide(utf8).c_str());
    errno = err;
  }
  return f;
}

std::error_code ReplaceByRename(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return {};
  return std::error_code(ErrnoFromWin32(::GetLastError()), std::generic_category());
}

int SyncToDisk(std::FILE* f) {
  HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(f)));
  if (h == INVALID_HANDLE_VALUE || ::FlushFileBuffers(h)) return 0;
  const DWORD err = ::GetLastError();
  // A console or a pipe cannot be flushed to a disk: nothing to do.
  if (err == ERROR_INVALID_HANDLE || err == ERROR_INVALID_FUNCTION) return 0;
  return ErrnoFromWin32(err);
}

bool IsFolder(const std::string& utf8) {
  std::error_code ec;
  return fs::is_directory(PathFromUtf8(utf8), ec);
}

bool IsOwnPlainFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

bool SameExistingFile(const std::string& a, const std::string& b, bool& bothExist) {
  bothExist = false;
  HANDLE ha = OpenForIdentity(a);
  if (ha == INVALID_HANDLE_VALUE) return false;
  HANDLE hb = OpenForIdentity(b);
  if (hb == INVALID_HANDLE_VALUE) {
    ::CloseHandle(ha);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION ia, ib;
  const bool known = ::GetFileInformationByHandle(ha, &ia) && ::GetFileInformationByHandle(hb, &ib);
  ::CloseHandle(ha);
  ::CloseHandle(hb);
  if (!known) return false;
  bothExist = true;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

int ProbeWritableFolder(const std::string& folder) {
  const fs::path base = PathFromUtf8(folder);
  DWORD err = ERROR_FILE_EXISTS;
  for (unsigned n = 0; n < 100 && err == ERROR_FILE_EXISTS; ++n) {
    const fs::path probe =
        base / (L".quelvar-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(n));
    // Removed by the system when closed, whatever happens to the program.
    HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      ::CloseHandle(h);
      return 0;
    }
    err = ::GetLastError();
  }
  return ErrnoFromWin32(err);
}

bool RemoveFileNow(const char* utf8) {
  wchar_t wide[32768];
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, 32768) == 0) return false;
  return ::DeleteFileW(wide) != 0;
}

bool LocalTime(std::time_t t, std::tm& out) { return ::localtime_s(&out, &t) == 0; }

long CurrentProcessId() { return static_cast<long>(::GetCurrentProcessId()); }

bool ProcessGone(long pid) {
  HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!h) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no process has that id
  DWORD code = 0;
  const bool gone = ::GetExitCodeProcess(h, &code) && code != STILL_ACTIVE;
  ::CloseHandle(h);
  return gone;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8FromPath(fs::path(wide[i])));
  ::LocalFree(wide);
  return args;
}

std::optional<std::string> Utf8Environment(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = ::_wgetenv(wideName.c_str());
  if (!value) return std::nullopt;
  return Utf8FromPath(fs::path(value));
}

namespace {

UINT g_previousOutputCp = 0;

// Gives the console back the code page it had: it is shared with the shell.
void RestoreConsole() {
  if (g_previousOutputCp) ::SetConsoleOutputCP(g_previousOutputCp);
}

}  // namespace

void PrepareConsole() {
  g_previousOutputCp = ::GetConsoleOutputCP();
  if (g_previousOutputCp && g_previousOutputCp != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
    std::atexit(RestoreConsole);
  // The progress line redraws itself with terminal sequences ("\r\033[K").
  HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err != INVALID_HANDLE_VALUE && ::GetConsoleMode(err, &mode))
    ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

namespace {

void (*g_cleanup)() = nullptr;

// Runs on a thread of the system's; returning FALSE lets the default handler
// end the process as it would have without the cleanup.
BOOL WINAPI RunCleanup(DWORD) {
  if (g_cleanup) g_cleanup();
  return FALSE;
}

}  // namespace

void OnStop(void (*cleanup)()) {
  if (g_cleanup) return;
  g_cleanup = cleanup;
  ::SetConsoleCtrlHandler(RunCleanup, TRUE);
}

}  // namespace platform

#endif  // _WIN32
