#!/usr/bin/env bash
# Cross-builds the Windows program on Debian: build-windows/quelvar.exe (the
# command line, and the Win32 wizard window of app/win when started without
# arguments), one self-contained executable, the
# engine tests build-windows/tests/quelvar_tests.exe and the generator
# build-windows/tools/efdgen.exe (both run by scripts/test-windows.sh under
# wine), and the two ways it is handed out: the installer
# build-windows/Quelvar-Setup.exe (installer/quelvar.nsi, NSIS) and the portable
# build-windows/quelvar-windows.zip (quelvar.exe and LEIA-ME.txt). Installs what
# it needs with apt-get. Prints the paths of what it made.
# QUELVAR_WINDOWS_TARGETS overrides what is built ("quelvar quelvar_tests efdgen");
# QUELVAR_WINDOWS_TESTS, a regular expression, picks the test files (default all:
# "check|ledger|output_safety" builds tests/check_test.cpp and the like).
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix)
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
command -v npm >/dev/null || missing+=(npm)
[ -f /usr/include/CLI/CLI.hpp ] || missing+=(libcli11-dev)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

sqlite_dir=$(bash scripts/fetch-sqlite.sh)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-windows -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUELVAR_GUI=OFF \
  -DQUELVAR_SQLITE_SOURCE_DIR="$sqlite_dir" \
  -DQUELVAR_WINDOWS_TESTS="${QUELVAR_WINDOWS_TESTS:-.*}" \
  "${launcher[@]}" >/dev/null
read -r -a targets <<<"${QUELVAR_WINDOWS_TARGETS:-quelvar quelvar_tests efdgen}"
cmake --build build-windows -j "${QUELVAR_JOBS:-2}" --target "${targets[@]}"

# One self-contained executable: no DLL but Windows' own.
dlls=$(x86_64-w64-mingw32-objdump -p build-windows/quelvar.exe | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|advapi32.dll|shell32.dll|msvcrt.dll|odbc32.dll|ws2_32.dll|ole32.dll|bcrypt.dll|api-ms-win-*) ;;
    comctl32.dll|comdlg32.dll|gdi32.dll|uxtheme.dll|oleaut32.dll|shlwapi.dll) ;;  # the wizard window's
    *) echo "build-windows: quelvar.exe needs $dll, which Windows does not carry" >&2; exit 1 ;;
  esac
done
echo "build-windows/quelvar.exe"

# The installer and the portable zip, of the version the build gave quelvar.exe.
# LEIA-ME.txt is written for Notepad: UTF-8 with a BOM, CR LF line ends.
need=()
command -v makensis >/dev/null || need+=(nsis)
command -v zip >/dev/null || need+=(zip)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
version=$(sed -n 's/.*kQuelvarVersion = "\(.*\)";/\1/p' build-windows/app/generated/app/version.h)
[ -n "$version" ] || { echo "build-windows: no kQuelvarVersion in build-windows/app/generated/app/version.h" >&2; exit 1; }
{ printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/g" -e 's/\r*$/\r/' installer/LEIA-ME.txt; } >build-windows/LEIA-ME.txt
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DQUELVAR_EXE="$PWD/build-windows/quelvar.exe" \
  -DLEIAME="$PWD/build-windows/LEIA-ME.txt" -DOUTFILE="$PWD/build-windows/Quelvar-Setup.exe" \
  installer/quelvar.nsi >build-windows/makensis.log 2>&1 ||
  { cat build-windows/makensis.log >&2; echo "build-windows: makensis failed" >&2; exit 1; }
rm -f build-windows/quelvar-windows.zip
zip -q -j -X build-windows/quelvar-windows.zip build-windows/quelvar.exe build-windows/LEIA-ME.txt
echo "build-windows/Quelvar-Setup.exe"
echo "build-windows/quelvar-windows.zip"
