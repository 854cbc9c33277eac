#!/usr/bin/env bash
# Builds the Windows program (scripts/build-windows.sh) and tries it under wine,
# headless, in a throw-away wine prefix:
#  - the engine tests built for Windows (build-windows/tests/quelvar_tests.exe);
#  - `quelvar.exe merge` on samples/network, compared byte for byte with the
#    Linux build's result (tests/golden/sample-network-merged.txt, and
#    build/quelvar's own output when that build exists);
#  - the same files under names with accents and spaces, in a folder with
#    accents and spaces, the output folder given with backslashes; then
#    `quelvar.exe check` on the result and a refused file named on stderr;
#  - the installer Quelvar-Setup.exe, silent, with the PATH option, and its
#    uninstaller (files, Start menu shortcut, HKCU keys, the user's Path);
#  - Ctrl+C (wine turns SIGINT into the console's event) during a merge leaves
#    no temporary behind.
# Any failure under wine fails the script. Prints how long each part took.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$SECONDS
phase() { echo "test-windows: $1 ($((SECONDS - start)) s so far)"; }

bash scripts/build-windows.sh
phase "built"

wine=$(command -v wine64 || true)
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; } || true
if [ -z "$wine" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine64 >/dev/null
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
fi
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The Windows name of a path of this machine (wine's drive Z: is its root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
fail() { echo "test-windows: FAILED: $*" >&2; exit 1; }

"$wine" cmd /c exit 0 >/dev/null 2>&1 || true   # creates the prefix
phase "wine prefix ready"

(cd build-windows && "$wine" tests/quelvar_tests.exe --gtest_brief=1) || fail "engine tests under wine"
phase "engine tests passed under wine"

exe="$root/build-windows/quelvar.exe"
golden="$root/tests/golden/sample-network-merged.txt"
samples=("$root"/samples/network/*.txt)

# The sample network, Windows paths given.
out="$work/out"
mkdir -p "$out"
inputs=()
for f in "${samples[@]}"; do inputs+=("$(winpath "$f")"); done
merged=$("$wine" "$exe" merge --no-progress --output-dir "$(winpath "$out")" "${inputs[@]}" | tr -d '\r') ||
  fail "merge of samples/network"
name=$(basename "${merged//\\//}")
cmp "$out/$name" "$golden" || fail "the merged sample network differs from the Linux build's ($golden)"
if [ -x build/quelvar ]; then
  build/quelvar merge --no-progress --output-dir "$work/linux" "${samples[@]}" >/dev/null
  cmp "$out/$name" "$work/linux/$name" || fail "the merged sample network differs from build/quelvar's"
fi
phase "samples/network merged, same bytes as on Linux"

# Accents and spaces in the folder and the names; the output folder with backslashes.
base="$work/Declarações São Paulo"
mkdir -p "$base/Entrada ç ã"
accented=()
i=0
for f in "${samples[@]}"; do
  i=$((i + 1))
  cp "$f" "$base/Entrada ç ã/Filial nº $i – São João.txt"
  accented+=("$(winpath "$base/Entrada ç ã/Filial nº $i – São João.txt")")
done
outWin="$(winpath "$base/Saída unificada")"
merged=$("$wine" "$exe" merge --no-progress --output-dir "$outWin" "${accented[@]}" | tr -d '\r') ||
  fail "merge of files with accented names"
[ "$merged" = "$outWin\\$name" ] || fail "merge printed \"$merged\", expected \"$outWin\\$name\""
cmp "$base/Saída unificada/$name" "$golden" || fail "the merged accented files differ from the Linux build's"
"$wine" "$exe" check "$merged" >"$work/check.txt" || { cat "$work/check.txt"; fail "check of the merged file"; }
leftovers=$(find "$base/Saída unificada" -name '.quelvar-*')
[ -z "$leftovers" ] || fail "temporaries left: $leftovers"
phase "accented names merged and checked"

# A refused file: exit status 1, its UTF-8 name intact in the message, nothing written.
set +e
"$wine" "$exe" merge --no-progress --output-dir "$(winpath "$work/refused")" "${accented[0]}" \
  "$(winpath "$base/Entrada ç ã/Não existe ç.txt")" >/dev/null 2>"$work/refused.txt"
status=$?
set -e
[ "$status" = 1 ] || { cat "$work/refused.txt"; fail "merge of a missing file exited $status, expected 1"; }
grep -q "Não existe ç.txt" "$work/refused.txt" || { cat "$work/refused.txt"; fail "the missing file's name is not on stderr as UTF-8"; }
[ -z "$(ls -A "$work/refused" 2>/dev/null)" ] || fail "a refused merge wrote into its output folder"
phase "a missing file refused, named in UTF-8"

# The installer (build-windows/Quelvar-Setup.exe), silent, as IT would run it:
# with the PATH option into a folder with spaces and accents (typed in a batch
# file: /D= takes the rest of the command line, unquoted), then again over it;
# its files, Start menu shortcut, uninstall key and Path entry (after the
# user's own entries, once); the installed quelvar.exe; then the uninstaller's
# QuietUninstallString removes all of it and leaves the user's Path as it was.
# The portable zip holds quelvar.exe and LEIA-ME.txt (the same files).
# A second round: a user whose Path names the folder already keeps that entry
# (and a /PATH= value other than 0 or 1 installs nothing).
installer_start=$SECONDS
# Creating the shortcut must not add menu entries to this machine's desktop.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
version=$(sed -n 's/.*kQuelvarVersion = "\(.*\)";/\1/p' build-windows/app/generated/app/version.h)
ukey='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelvar'
# "TYPE DATA" of a registry value, nothing when it is missing (reg writes in
# the console's code page, 437 under wine: the names here keep to its letters).
regvalue() {
  "$wine" reg query "$1" /v "$2" 2>/dev/null | iconv -f CP437 -t UTF-8 | tr -d '\r' |
    sed -n "s/^    $2    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2/p"
}
# Runs a batch file of Windows command lines ($1, UTF-8 here; cmd reads it in
# the console's code page, 437 under wine).
runbat() {
  printf '%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$1" | iconv -f UTF-8 -t CP437 >"$work/run.bat"
  "$wine" cmd /c "$(winpath "$work/run.bat")" >/dev/null 2>&1
}
zipped=$(zip -sf build-windows/quelvar-windows.zip | sed -n 's/^  //p' | sort | tr '\n' ' ')
[ "$zipped" = "LEIA-ME.txt quelvar.exe " ] || fail "quelvar-windows.zip holds \"$zipped\", expected LEIA-ME.txt and quelvar.exe"
userpath='C:\Ferramentas;%USERPROFILE%\bin'
"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$userpath" /f >/dev/null 2>&1
setup=$(winpath "$root/build-windows/Quelvar-Setup.exe")
inst="$work/Programas do usuário José/Quelvar"
instWin=$(winpath "$inst")
shortcuts="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
for round in 1 2; do
  runbat "\"$setup\" /S /PATH=1 /D=$instWin" || fail "silent install (round $round) into $instWin"
done
for f in quelvar.exe LEIA-ME.txt Uninstall.exe; do [ -f "$inst/$f" ] || fail "the installer did not write $f"; done
cmp "$inst/quelvar.exe" build-windows/quelvar.exe || fail "the installed quelvar.exe differs from the build's"
[ "$(head -c 3 "$inst/LEIA-ME.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "LEIA-ME.txt has no UTF-8 BOM"
[ "$(grep -c $'\r$' "$inst/LEIA-ME.txt")" = "$(wc -l <"$inst/LEIA-ME.txt")" ] || fail "LEIA-ME.txt has lines without CR LF"
[ -f "$shortcuts/Quelvar.lnk" ] || fail "no Start menu shortcut Quelvar.lnk in $shortcuts"
strings -a "$shortcuts/Quelvar.lnk" | grep -qi 'quelvar\.exe' || fail "the Start menu shortcut does not start quelvar.exe"
for expected in "DisplayName=REG_SZ Quelvar" "DisplayVersion=REG_SZ $version" "Publisher=REG_SZ Quelvar" \
    "UninstallString=REG_SZ \"$instWin\\Uninstall.exe\"" "QuietUninstallString=REG_SZ \"$instWin\\Uninstall.exe\" /S" \
    "InstallLocation=REG_SZ $instWin"; do
  got=$(regvalue "$ukey" "${expected%%=*}")
  [ "$got" = "${expected#*=}" ] || fail "$ukey ${expected%%=*} is \"$got\", expected \"${expected#*=}\""
done
size=$(regvalue "$ukey" EstimatedSize)
[[ "$size" =~ ^REG_DWORD\ 0x[0-9a-f]+$ && "${size#REG_DWORD }" != 0x0 ]] || fail "$ukey EstimatedSize is \"$size\""
got=$(regvalue 'HKCU\Environment' Path)
[ "$got" = "REG_EXPAND_SZ $userpath;$instWin" ] ||
  fail "the user's Path after installing twice is \"$got\", expected \"REG_EXPAND_SZ $userpath;$instWin\""
[ "$("$wine" "$inst/quelvar.exe" --version | tr -d '\r')" = "Quelvar $version" ] || fail "installed quelvar.exe --version"
"$wine" "$inst/quelvar.exe" check "$(winpath "$root/samples/network/1-matriz.txt")" >"$work/check-installed.txt" ||
  { cat "$work/check-installed.txt"; fail "installed quelvar.exe check samples/network/1-matriz.txt"; }
phase "installed silently with the PATH option (twice), files, shortcut, registry and program checked"

# Uninstall.exe /S copies itself out of the folder and returns at once: wait for it.
uninstalled() {  # $1 folder; fails unless the uninstaller has emptied it within a minute
  local i
  for i in $(seq 1 300); do [ -e "$1" ] || return 0; sleep 0.2; done
  fail "the uninstaller left $(ls -A "$1")"
}
runbat "$(regvalue "$ukey" QuietUninstallString | sed 's/^REG_SZ //')" || fail "silent uninstall"
uninstalled "$inst"
[ ! -e "$shortcuts/Quelvar.lnk" ] || fail "the uninstaller left the Start menu shortcut"
"$wine" reg query "$ukey" >/dev/null 2>&1 && fail "the uninstaller left $ukey"
got=$(regvalue 'HKCU\Environment' Path)
[ "$got" = "REG_EXPAND_SZ $userpath" ] || fail "the user's Path after uninstalling is \"$got\", expected \"REG_EXPAND_SZ $userpath\""
phase "uninstalled silently: files, shortcut, key and its Path entry removed, the user's entries kept"

# The user's Path names the folder already (other case, trailing backslash):
# the installer adds nothing and the uninstaller leaves that entry.
inst="$work/Usuários/Quelvar"
instWin=$(winpath "$inst")
userpath="C:\\Ferramentas;${instWin%Quelvar}QUELVAR\\"
"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$userpath" /f >/dev/null 2>&1
# (wine's note on stderr that drive Z: has no volume label is left out)
set +e
"$wine" "$root/build-windows/Quelvar-Setup.exe" /S /PATH=sim "/D=$instWin" 2>/dev/null
status=$?
set -e
[ "$status" = 2 ] && [ ! -e "$inst" ] || fail "the installer given /PATH=sim exited $status, expected 2 and nothing installed"
"$wine" "$root/build-windows/Quelvar-Setup.exe" /S /PATH=1 "/D=$instWin" 2>/dev/null || fail "silent install into $instWin"
[ -f "$inst/quelvar.exe" ] || fail "the installer did not write $inst/quelvar.exe"
got=$(regvalue 'HKCU\Environment' Path)
[ "$got" = "REG_EXPAND_SZ $userpath" ] || fail "the installer changed a Path that named its folder: \"$got\""
"$wine" "$inst/Uninstall.exe" /S 2>/dev/null || fail "silent uninstall of $instWin"
uninstalled "$inst"
got=$(regvalue 'HKCU\Environment' Path)
[ "$got" = "REG_EXPAND_SZ $userpath" ] || fail "the uninstaller removed the user's own Path entry: \"$got\""
phase "a Path entry of the user's naming the folder kept by installer and uninstaller"
echo "test-windows: the installer's part took $((SECONDS - installer_start)) s"

# Ctrl+C while the merged file is being written: the temporary goes, no merged
# file is left. A merge that ends between the temporary being seen and the
# signal arriving leaves its merged file, whatever the stop handling does: then
# the try is made again on a network four times as large.
stopped_once() {  # $1 lines of the generated network; 0 stopped cleanly, 1 too quick, fails otherwise
  rm -rf "$work/big" "$work/stopped"
  "$wine" build-windows/tools/efdgen.exe --establishments 40 --lines "$1" --seed 7 "$(winpath "$work/big")" >/dev/null ||
    fail "efdgen under wine"
  local big=() f
  for f in "$work"/big/*.txt; do big+=("$(winpath "$f")"); done
  mkdir -p "$work/stopped"
  # A background job of a script starts with SIGINT ignored: give it back its default.
  env --default-signal=INT "$wine" "$exe" merge --no-progress --output-dir "$(winpath "$work/stopped")" "${big[@]}" \
    >/dev/null 2>&1 &
  local merging=$! seen=""
  for _ in $(seq 1 1200); do
    if [ -n "$(find "$work/stopped" -name '.quelvar-*.partial-*' 2>/dev/null)" ]; then seen=yes; break; fi
    kill -0 "$merging" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$seen" ]; then wait "$merging" || true; return 1; fi
  kill -INT "$merging" 2>/dev/null || true
  # (wine reports the stopped process's status as 0; a merge that went on
  # would have left its merged file, which the folder shows)
  wait "$merging" || true
  local left
  left=$(ls -A "$work/stopped")
  [ -z "$left" ] && return 0
  [ -n "$(find "$work/stopped" -name '.quelvar-*.partial-*')" ] && fail "after Ctrl+C the output folder holds: $left"
  return 1
}
stopped=""
for lines in 150000 600000; do
  if stopped_once "$lines"; then stopped=yes; break; fi
  echo "test-windows: the merge of $lines lines ended before Ctrl+C reached it; trying a larger network" >&2
done
[ -n "$stopped" ] || fail "the merge ended before Ctrl+C could stop it, twice: the stop was not tried"
phase "Ctrl+C during the write left nothing behind"

# The wizard window: quelvar.exe without arguments on a virtual screen (Xvfb)
# opens its window, found by its title; page 0 is kept as a screenshot (the
# path is printed); Enter ("Avançar") changes the page; Esc ("Cancelar")
# closes the window and ends the program.
wizard_window() {
  local need=()
  command -v Xvfb >/dev/null || need+=(xvfb)
  command -v xdotool >/dev/null || need+=(xdotool)
  { command -v import && command -v identify && command -v compare; } >/dev/null || need+=(imagemagick)
  if [ ${#need[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
  # A display of its own (Xvfb picks a free number and writes it to fd 3).
  Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  local xvfb=$!
  trap 'kill '"$xvfb"' 2>/dev/null || true; cleanup' EXIT
  for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$work/display")"
  xdotool getmouselocation >/dev/null 2>&1 || fail "no X display at $DISPLAY"
  # The wine session of the runs above has no display: it must end first, or
  # the wizard would join it and find no window driver.
  timeout 60 "$wineserver" -w 2>/dev/null || "$wineserver" -k 2>/dev/null || true
  "$wine" "$exe" >"$work/wizard.txt" 2>&1 &
  local wizard=$! id=""
  for _ in $(seq 1 120); do
    # Titled after the program and the step ("Quelvar — Passo 1 de 5: ...").
    id=$(xdotool search --name '^Quelvar' 2>/dev/null | head -1) && [ -n "$id" ] && break
    kill -0 "$wizard" 2>/dev/null || { cat "$work/wizard.txt"; fail "quelvar.exe without arguments ended without a window"; }
    sleep 0.5
  done
  [ -n "$id" ] || fail "no window titled Quelvar... appeared"
  sleep 2  # the first paint
  local shot="$root/build-windows/wizard-page0.png"
  import -window "$id" "$shot" 2>/dev/null || fail "screenshot of the wizard window"
  [ "$(identify -format %k "$shot")" -gt 100 ] || fail "the wizard's page 0 looks blank ($shot)"
  xdotool key --window "$id" Return 2>/dev/null
  sleep 2
  import -window "$id" "$work/wizard-page1.png" 2>/dev/null || fail "screenshot of page 1"
  local changed
  changed=$(compare -metric AE "$shot" "$work/wizard-page1.png" null: 2>&1 || true)
  [ "${changed%% *}" -gt 1000 ] 2>/dev/null || fail "Enter (Avançar) did not change the page ($changed pixels differ)"
  xdotool key --window "$id" Escape 2>/dev/null
  for _ in $(seq 1 60); do kill -0 "$wizard" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$wizard" 2>/dev/null; then
    kill "$wizard" 2>/dev/null || true
    fail "Esc (Cancelar) did not close the wizard"
  fi
  kill "$xvfb" 2>/dev/null || true
  unset DISPLAY
  echo "test-windows: the wizard's page 0: $shot"
}
wizard_window
phase "the wizard window opened, changed page and closed"

echo "test-windows: all passed in $((SECONDS - start)) s"
