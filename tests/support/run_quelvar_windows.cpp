// RunQuelvar on Windows: the built quelvar.exe started with CreateProcessW,
// its arguments quoted as the C runtime splits them, stdout and stderr written
// to temporary files (so that neither pipe can fill up and block it).
#ifdef _WIN32

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/check_support.h"

namespace {

// `arg` quoted for CommandLineToArgvW and the C runtime: backslashes doubled
// only before a quote.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
    else out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// `text` with each CR LF as LF: the C runtime writes the program's text
// output so on Windows, and the tests compare lines.
std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

// A new inheritable file for a child's output.
HANDLE OutputHandle(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

}  // namespace

ProcessResult RunQuelvar(const std::vector<std::string>& args, int timeoutSeconds) {
  namespace fs = std::filesystem;
  ProcessResult result;
  static int serial = 0;
  const std::wstring stem = L"quelvar-run-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(serial++);
  const fs::path outPath = fs::temp_directory_path() / (stem + L".out");
  const fs::path errPath = fs::temp_directory_path() / (stem + L".err");
  HANDLE out = OutputHandle(outPath), err = OutputHandle(errPath);
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create temporary files";
    return result;
  }
  std::wstring command = Quoted(platform::PathFromUtf8(QUELVAR_BINARY).wstring());
  for (const std::string& a : args) command += L" " + Quoted(platform::PathFromUtf8(a).wstring());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (started) {
    // A run that outlives its time limit is stopped (its exit status then tells so).
    const DWORD limit = timeoutSeconds > 0 ? static_cast<DWORD>(timeoutSeconds) * 1000 : INFINITE;
    if (::WaitForSingleObject(pi.hProcess, limit) == WAIT_TIMEOUT) {
      ADD_FAILURE() << "quelvar did not end within " << timeoutSeconds << " s";
      ::TerminateProcess(pi.hProcess, 124);
      ::WaitForSingleObject(pi.hProcess, INFINITE);
    }
    DWORD code = 0;
    if (::GetExitCodeProcess(pi.hProcess, &code)) result.exitCode = static_cast<int>(code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  } else {
    ADD_FAILURE() << "cannot start " << QUELVAR_BINARY;
  }
  result.out = WithoutCarriageReturns(ReadFileBytes(platform::Utf8FromPath(outPath)));
  result.err = WithoutCarriageReturns(ReadFileBytes(platform::Utf8FromPath(errPath)));
  std::error_code ec;
  fs::remove(outPath, ec);
  fs::remove(errPath, ec);
  return result;
}

#endif  // _WIN32
