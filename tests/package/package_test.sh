#!/usr/bin/env bash
# The release packages as their users meet them: built and signed with a throwaway certificate,
# checksums and signatures verified, the Dremont installer run under Wine as an administrator
# and a deployment tool would (a refused /MODEL, a silent install that sets the model, the
# program started by hand, a reinstall, quiet uninstalls), on 64-bit and on 32-bit Windows; every
# brand's MSI package installed with msiexec as a deployment tool would, the per-user step run at
# users' logons as Windows runs Active Setup and the Run and RunOnce keys, an upgrade, a model
# change, repeats that change nothing, a step retried after a held board file, EVERYLOGON with a
# roaming board file, and the uninstall; the portable bundles unpacked and run; and the Windows
# test kit unpacked into a folder with a space in its name and run through cmd.exe as a user
# would. Needs an X server (scripts/test.sh starts one).
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
: "${DISPLAY:?run under an X server}"
work="$(mktemp -d "${TMPDIR:-/tmp}/ventrel-package.XXXXXX")"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source scripts/wine-loader.sh
cleanup() {
  for prefix in "$work"/prefix-*; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check DESCRIPTION COMMAND...: runs the command, reports and counts a failure
  local what="$1"
  shift
  if "$@"; then echo "ok:   $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
same() { cmp -s "$1" "$2"; }

echo "== packages, signed with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=VentrelConf test signer" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" \
  -passout pass:throwaway
VENTREL_SIGN_PFX="$work/sign.pfx" VENTREL_SIGN_PASSWORD=throwaway scripts/package.sh >"$work/package.log"
version="$(sed -n 's/^project(VentrelConf VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
source packaging/brands.sh
check "the brands are the locator's three" test "${#BRANDS[@]}" -eq 3
expected=(SHA256SUMS ProductCodes.txt "VentrelConf-$version-windows-tests.zip")
for entry in "${BRANDS[@]}"; do
  slug="${entry%%|*}"
  expected+=("VentrelConf-$version-$slug-setup.exe" "VentrelConf-$version-$slug-windows-portable.zip"
             "VentrelConf-$version-$slug-linux-x86_64-portable.tar.gz"
             "VentrelConf-$version-$slug-x64.msi" "VentrelConf-$version-$slug-x86.msi")
done
check "dist/ holds exactly the ${#expected[@]} files" \
  test "$(ls dist | sort)" = "$(printf '%s\n' "${expected[@]}" | sort)"
check "SHA256SUMS verifies" bash -c 'cd dist && sha256sum --quiet -c SHA256SUMS'
signed() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
for file in dist/*-setup.exe dist/*.msi build/package/programs/VentrelConf*-x64.exe \
  build/package/programs/VentrelConf*-x86.exe; do
  check "signed: $(basename "$file")" signed "$file"
done

# The driver's board file in the installing user's application data, before any install.
board_before=$'[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n[ACQUISITION]\r\nEXPOSURE_KV=70\r\n'
board_301=$'[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n[ACQUISITION]\r\nEXPOSURE_KV=70\r\n'
board_200=$'[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n[ACQUISITION]\r\nEXPOSURE_KV=70\r\n'
setup="$root/dist/VentrelConf-$version-dremont-setup.exe"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VentrelConf dremont'

# A fresh Windows of the given architecture (win64 or win32); sets the paths below. Fresh indeed:
# a prefix an earlier part left behind would carry its users' files (a catalogue of their own)
# into the next.
new_windows() {
  export WINEPREFIX="$work/prefix-$1" WINEARCH="$1"
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  local appdata
  appdata="$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')"
  appdata_root="$(winepath -u "$appdata" 2>/dev/null)"  # the installing user's
  data="$appdata_root/Dremont/Zorvik - LAN PANORAMIC"
  program_folder="$WINEPREFIX/drive_c/Program Files/Dremont/Zorvik - LAN PANORAMIC"
  shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Dremont/VentrelConf.lnk"
  mkdir -p "$data"
  printf '%s' "$board_before" >"$data/VENTREL_DLL.INI"
}
holds() { cmp -s "$1" <(printf '%s' "$2"); }  # holds FILE TEXT: byte for byte
board_is() { holds "$data/VENTREL_DLL.INI" "$1"; }
# Runs a Windows program to its end, and everything it started (an uninstaller copies itself to a
# temporary folder and returns at once); the status is the program's.
run() {
  local status=0
  timeout 120 wine "$@" >/dev/null 2>&1 || status=$?
  wineserver -w
  return "$status"
}
entry() { wine reg query "$key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' | grep -q "$2"; }
# value KEY NAME PATTERN: the registry value matches the pattern (after its type)
value() {
  wine reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | grep -q "REG_[A-Z_]*[[:space:]]*$3"
}
no_key() { ! wine reg query "$1" /reg:64 >/dev/null 2>&1; }
active_setup() { echo "HKLM\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\VentrelConf $1"; }
uninstall() { run "$program_folder/Uninstall.exe" /S; }

# The installers are 32-bit programs, whichever Windows they install on.
if [ "$VENTREL_WINE32" = 1 ]; then
echo "== the installer on 64-bit Windows"
new_windows win64
status=0
run "$setup" /S /MODEL=250 || status=$?
check "/MODEL=250 is refused with a non-zero status" test "$status" -ne 0
check "... before anything is installed" test ! -e "$WINEPREFIX/drive_c/Program Files/Dremont"
check "... and the board file is untouched" board_is "$board_before"
check "... nor a catalogue laid out" test ! -e "$data/VentrelConf.ini"

check "silent install with /MODEL=301 ends with status 0" run "$setup" /S /MODEL=301
check "the 64-bit program is installed" same "$program_folder/VentrelConf.exe" \
  build/package/programs/VentrelConf-x64.exe
check "... with the per-user step beside it" same "$program_folder/VentrelConfProvision.exe" \
  build/package/programs/VentrelConfProvision-x64.exe
check "... and the model for every user" \
  holds "$program_folder/Provisioning/Provisioning.ini" $'[Provisioning]\r\nMODEL=301\r\n'
check "Active Setup runs the step at each logon" \
  value "$(active_setup Dremont)" StubPath '".*VentrelConfProvision.exe"'
check "the board file changed only in TYPE and TYPE_SUB" board_is "$board_301"
check "the catalogue is laid out" same "$data/VentrelConf.ini" build/package/dremont/VentrelConf.ini
check "a Start-menu shortcut" test -f "$shortcut"
check "the uninstaller is signed" signed "$program_folder/Uninstall.exe"
for value in "DisplayName VentrelConf (Dremont" "DisplayVersion $version" "Publisher Dremont" \
  "DisplayIcon .*VentrelConf.exe" "InstallLocation C:.*Zorvik - LAN PANORAMIC" "EstimatedSize 0x" \
  "UninstallString \"C:.*Uninstall.exe\"" "QuietUninstallString \".*Uninstall.exe\" /S"; do
  check "Add/Remove Programs: $value" entry "${value%% *}" "REG_[A-Z_]*[[:space:]]*${value#* }"
done

check "the installed program, started by hand, writes 200" \
  run "C:\\Program Files\\Dremont\\Zorvik - LAN PANORAMIC\\VentrelConf.exe" 200
check "... into the same board file" board_is "$board_200"

printf 'stale' >"$program_folder/VentrelConf.exe"
check "a reinstall ends with status 0" run "$setup" /S
check "... replaces the program" same "$program_folder/VentrelConf.exe" \
  build/package/programs/VentrelConf-x64.exe
check "... keeps the board file" board_is "$board_200"
check "... and the catalogue" same "$data/VentrelConf.ini" build/package/dremont/VentrelConf.ini

cp "$data/VENTREL_DLL.INI" "$work/board-before-uninstall"
quiet="$(wine reg query "$key" /v QuietUninstallString /reg:64 2>/dev/null | tr -d '\r' |
  sed -n 's/.*REG_SZ[[:space:]]*"\(.*\)" \/S$/\1/p')"
check "the quiet uninstall ends with status 0" run "$quiet" /S
check "... removes the program and its folder" test ! -e "$program_folder"
check "... the shortcut" test ! -e "$shortcut"
check "... the entry" bash -c "! wine reg query '$key' /reg:64 >/dev/null 2>&1"
check "... the Active Setup entry" no_key "$(active_setup Dremont)"
check "... and the catalogue it laid out, unchanged" test ! -e "$data/VentrelConf.ini"
check "... never the board file" same "$data/VENTREL_DLL.INI" "$work/board-before-uninstall"

run "$setup" /S
printf '[Ventrel3DV2]\r\nDISPLAY=Our own name\r\n' >"$data/VentrelConf.ini"
cp "$data/VentrelConf.ini" "$work/own-catalogue"
uninstall
check "an uninstall keeps a catalogue the user changed" same "$data/VentrelConf.ini" "$work/own-catalogue"
check "... and the board file" same "$data/VENTREL_DLL.INI" "$work/board-before-uninstall"

echo "== the installer on 32-bit Windows"
new_windows win32
check "silent install with /MODEL=300 ends with status 0" run "$setup" /S /MODEL=300
check "the 32-bit program is installed" same "$program_folder/VentrelConf.exe" \
  build/package/programs/VentrelConf-x86.exe
check "the board file holds 300" \
  board_is $'[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\n[ACQUISITION]\r\nEXPOSURE_KV=70\r\n'
uninstall
check "the quiet uninstall removes the program" test ! -e "$program_folder"
else
  ventrel_without_wine32 "the installers' runs (NSIS installers are 32-bit programs)"
fi

echo "== the MSI packages on 64-bit Windows, installed as a deployment tool installs them"
# A logon as Windows runs one (Active Setup, the Run keys, RunOnce); Wine has no logon of its own.
x86_64-w64-mingw32-g++-posix -O1 -static -o "$work/logon.exe" tests/package/logon.cpp
new_windows win64
# msiexec and the logon wait for all they start, so nothing needs waiting for the server's end, and
# a server kept running saves starting one for each of the many short programs below.
wineserver -w
wineserver -p
run_now() {
  local status=0
  timeout 120 wine "$@" >/dev/null 2>&1 || status=$?
  return "$status"
}
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
# become USER BRAND PRODUCT: the next logon is USER's: a profile of their own (its folders there,
# as Windows makes them for a new user) and no record yet of any step run for them. A real second
# account Wine cannot make; its profile and its hive's record are what the step sees of one.
become() {
  local profile="$WINEPREFIX/drive_c/users/$1"
  mkdir -p "$profile/AppData/Roaming" "$profile/AppData/Local"
  wine reg add "$shell_folders" /v AppData /t REG_EXPAND_SZ /f \
    /d "C:\\users\\$1\\AppData\\Roaming" >/dev/null 2>&1
  wine reg add "$shell_folders" /v "Local AppData" /t REG_EXPAND_SZ /f \
    /d "C:\\users\\$1\\AppData\\Local" >/dev/null 2>&1
  wine reg delete "$(active_setup "$2" | sed 's/^HKLM/HKCU/')" /f >/dev/null 2>&1 || true
  wine reg delete "$run_once" /f >/dev/null 2>&1 || true
  data="$profile/AppData/Roaming/$2/$3"
  user_log="$profile/AppData/Local/VentrelConf/Provisioning.log"
}
# The installing user again, as Windows sets their folders.
be_installing_user() {
  wine reg add "$shell_folders" /v AppData /t REG_EXPAND_SZ /f \
    /d '%USERPROFILE%\AppData\Roaming' >/dev/null 2>&1
  wine reg add "$shell_folders" /v "Local AppData" /t REG_EXPAND_SZ /f \
    /d '%USERPROFILE%\AppData\Local' >/dev/null 2>&1
}
run_once='HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce'
run_machine='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# logon [HELD_FILE]: what ran goes to $work/logon.out, a line each ("active setup VentrelConf
# Dremont: status 0", "run once VentrelConf Dremont: status 1", ...); the board file given is held
# by another program, sharing nothing, throughout.
logon() {
  local held=()
  [ $# -eq 0 ] || held=("$(winepath -w "$1" 2>/dev/null)")
  timeout 180 wine "$work/logon.exe" "${held[@]}" 2>/dev/null | tr -d '\r' >"$work/logon.out"
}
ran() { grep -qx "$1" "$work/logon.out"; }  # ran LINE: the last logon ran that, with that status
nothing_ran() { ! grep -q . "$work/logon.out"; }
# The installed step, run by hand as an administrator would.
step() { run_now "$program_folder/VentrelConfProvision.exe" "$@"; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }
machine_key() { echo "HKLM\\SOFTWARE\\$1\\VentrelConf"; }
stamp() {  # stamp BRAND: the Version of the brand's Active Setup entry
  wine reg query "$(active_setup "$1")" /v Version /reg:64 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ[[:space:]]*\([0-9,]*\)$/\1/p'
}
msi_version_older="1.1.0.0"
for entry in "${BRANDS[@]}"; do
  IFS='|' read -r slug brand product _ <<<"$entry"
  msi="$root/dist/VentrelConf-$version-$slug-x64.msi"
  program_folder="$WINEPREFIX/drive_c/Program Files/$brand/$product"
  data="$appdata_root/$brand/$product"
  mkdir -p "$data"
  printf '%s' "$board_before" >"$data/VENTREL_DLL.INI"
  status=0
  run_now msiexec /i "$msi" /qn MODEL=250 || status=$?
  check "$slug: MODEL=250 is refused with a non-zero status" test "$status" -ne 0
  check "$slug: ... before anything is installed" test ! -e "$WINEPREFIX/drive_c/Program Files/$brand"
  check "$slug: ... and the board file is untouched" board_is "$board_before"

  if [ "$slug" = dremont ]; then
    status=0
    run_now msiexec /i "${msi%-x64.msi}-x86.msi" /qn MODEL=301 || status=$?
    check "the x86 package is refused on 64-bit Windows" test "$status" -ne 0
    check "... before anything is installed" test ! -e "$WINEPREFIX/drive_c/Program Files/$brand"
    packaging/msi.sh "$slug" "$brand" "$product" "$msi_version_older" x64 \
      build/package/programs/VentrelConf-x64.exe build/package/programs/VentrelConfProvision-x64.exe \
      "build/package/$slug/VentrelConf.ini" "$work/older.msi"
    check "an older version installs with MODEL=300" run_now msiexec /i "$work/older.msi" /qn MODEL=300
    check "... and sets 300" board_is "${board_301/TYPE_SUB=301/TYPE_SUB=300}"
    check "... and registers the step" test -n "$(stamp "$brand")"
    older_code="$(product_code "$work/older.msi")"
    older_stamp="$(stamp "$brand")"
    sleep 1  # a later second: the upgrade's Version must still be later
  fi

  check "$slug: /qn MODEL=301 ends with status 0" \
    run_now msiexec /i "$msi" /qn MODEL=301 /l*v "$(winepath -w "$work/$slug.log" 2>/dev/null)"
  check "$slug: ... and logs our own steps" grep -aq "ProvisionInstallingUser" "$work/$slug.log"
  check "$slug: the 64-bit program is installed" same "$program_folder/VentrelConf.exe" \
    build/package/programs/VentrelConf-x64.exe
  check "$slug: ... with the per-user step beside it" \
    same "$program_folder/VentrelConfProvision.exe" build/package/programs/VentrelConfProvision-x64.exe
  check "$slug: ... the catalogue for every user, in the programs folder" \
    same "$program_folder/Provisioning/VentrelConf.ini" "build/package/$slug/VentrelConf.ini"
  check "$slug: ... and the model" \
    holds "$program_folder/Provisioning/Provisioning.ini" $'[Provisioning]\r\nMODEL=301\r\n'
  check "$slug: the installing user's board file changed only in TYPE and TYPE_SUB" \
    board_is "$board_301"
  check "$slug: ... their catalogue is laid out at once" \
    same "$data/VentrelConf.ini" "build/package/$slug/VentrelConf.ini"
  logon
  check "$slug: ... and their next logon does not run the step again" nothing_ran
  check "$slug: the model is where detection rules read it" value "$(machine_key "$brand")" Model 301
  code="$(product_code "$msi")"
  check "$slug: dist/ProductCodes.txt gives its ProductCode" \
    grep -q "^$(basename "$msi") $code"$'\r'"\$" dist/ProductCodes.txt
  arp="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code"
  for pair in "DisplayName VentrelConf ($brand $product)" "DisplayVersion $version" \
    "Publisher $brand" "InstallLocation C:.*$product"; do
    check "$slug: Add/Remove Programs: $pair" value "$arp" "${pair%% *}" "${pair#* }"
  done
  # Windows Installer names it in DisplayIcon; Wine's publishes it as the product's icon only.
  check "$slug: Add/Remove Programs: the program's icon" \
    same "$WINEPREFIX/drive_c/windows/Installer/$code/VentrelConf.ico" src/ui/icons/ventrel_conf.ico
  check "$slug: Active Setup runs the step at each logon" value "$(active_setup "$brand")" \
    StubPath "\"C:\\\\Program Files\\\\$brand\\\\$product\\\\VentrelConfProvision.exe\""
  if [ "$slug" = dremont ]; then
    check "the upgrade replaced the older version" no_key "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$older_code"
    check "... and raised Active Setup's Version" \
      test "$(printf '%s\n' "$older_stamp" "$(stamp "$brand")" | sort -t, -n -k1,1 -k2,2 -k3,3 -k4,4 |
        tail -1)" = "$(stamp "$brand")" -a "$(stamp "$brand")" != "$older_stamp"
  fi
  installing_board="$data/VENTREL_DLL.INI"

  become ana "$brand" "$product"
  mkdir -p "$data"
  printf '%s' "$board_before" >"$data/VENTREL_DLL.INI"
  logon
  check "$slug: a user with a board file logs on: the step ends by itself with status 0" \
    ran "active setup VentrelConf $brand: status 0"
  check "$slug: ... the board file changed only in TYPE and TYPE_SUB" board_is "$board_301"
  check "$slug: ... the catalogue is laid out" same "$data/VentrelConf.ini" "build/package/$slug/VentrelConf.ini"
  check "$slug: ... and the step logged into the user's local application data" \
    grep -q "wrote the model into" "$user_log"
  logon
  check "$slug: ... at the next logon the step does not run again" nothing_ran
  become bea "$brand" "$product"
  logon
  check "$slug: a new user without a data folder logs on: status 0" \
    ran "active setup VentrelConf $brand: status 0"
  check "$slug: ... their board file holds just the model" \
    holds "$data/VENTREL_DLL.INI" $'[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n'
  check "$slug: ... and the catalogue" same "$data/VentrelConf.ini" "build/package/$slug/VentrelConf.ini"
  become cem "$brand" "$product"
  mkdir -p "$data"
  printf '[BOARD]\r\nTYPE=200\r\n' >"$data/VENTREL_DLL.INI"
  printf '[Ventrel3DV2]\r\nDISPLAY=Our own name\r\n' >"$data/VentrelConf.ini"
  cp "$data/VentrelConf.ini" "$work/own-catalogue"
  logon
  check "$slug: a user with a catalogue of their own logs on: status 0" \
    ran "active setup VentrelConf $brand: status 0"
  check "$slug: ... their catalogue stays" same "$data/VentrelConf.ini" "$work/own-catalogue"
  check "$slug: ... and they get the model" holds "$data/VENTREL_DLL.INI" $'[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n'
  be_installing_user

  if [ "$slug" = dremont ]; then
    # The one line for every state of a PC, in a startup script: the same again changes nothing,
    # not even a choice the user made meanwhile; another model reaches every user.
    user_record() {  # user_record VERSION: what Active Setup recorded for the user at a logon
      wine reg add "$(active_setup "$brand" | sed 's/^HKLM/HKCU/')" /v Version /d "$1" /f >/dev/null 2>&1
    }
    before="$(stamp "$brand")"
    run_now "$program_folder/VentrelConf.exe" 300
    sleep 1
    touch "$work/mark"
    for round in 1 2 3; do
      check "msiexec /i with MODEL=301 again, as a startup script runs it ($round): status 0" \
        run_now msiexec /i "$msi" /qn MODEL=301
    done
    check "msiexec /i without MODEL: status 0" run_now msiexec /i "$msi" /qn
    check "... none changes Active Setup's Version" test "$(stamp "$brand")" = "$before"
    check "... nor the user's own later choice" holds "$installing_board" "${board_301/TYPE_SUB=301/TYPE_SUB=300}"
    check "... nor any file of the machine's" test -z "$(find "$program_folder" -newer "$work/mark")"
    check "MODEL=200 on a PC installed with 301: status 0" run_now msiexec /i "$msi" /qn MODEL=200
    check "... the registry value Model is 200" value "$(machine_key "$brand")" Model 200
    check "... the machine's copy too" \
      holds "$program_folder/Provisioning/Provisioning.ini" $'[Provisioning]\r\nMODEL=200\r\n'
    check "... Active Setup's Version rises" test "$(stamp "$brand")" != "$before"
    check "... and the installing user has it at once" \
      holds "$installing_board" "${board_200/TYPE_SUB=301/TYPE_SUB=300}"
    changed="$(stamp "$brand")"
    become dan "$brand" "$product"
    mkdir -p "$data"
    printf '[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n' >"$data/VENTREL_DLL.INI"
    user_record "$before"
    logon
    check "... a user logged on before the change gets 200 at their next logon" \
      holds "$data/VENTREL_DLL.INI" $'[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n'
    for round in 1 2 3; do
      run_now msiexec /i "$msi" /qn MODEL=200
    done
    check "the same line three times more keeps the Version" test "$(stamp "$brand")" = "$changed"

    status=0
    step /register || status=$?
    check "the step's /register without a model is a usage error (2)" test "$status" -eq 2
    status=0
    step /register 301x || status=$?
    check "... /register 301x is refused (1)" test "$status" -eq 1
    check "... both keep the model" value "$(machine_key "$brand")" Model 200
    check "... and the Version" test "$(stamp "$brand")" = "$changed"

    become eli "$brand" "$product"
    mkdir -p "$data"
    printf '[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n' >"$data/VENTREL_DLL.INI"
    logon "$data/VENTREL_DLL.INI"
    check "a logon while the driver holds the board file: the step fails" \
      ran "active setup VentrelConf $brand: status 1"
    check "... the board file is as it was" holds "$data/VENTREL_DLL.INI" $'[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n'
    check "... and the step is to run at the next logon" \
      value "$run_once" "VentrelConf $brand" '".*VentrelConfProvision.exe"'
    logon
    check "the next logon runs it again" ran "run once VentrelConf $brand: status 0"
    check "... and it writes the model" holds "$data/VENTREL_DLL.INI" $'[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n'
    logon
    check "... and the logon after runs nothing" nothing_ran

    sleep 1
    check "MODEL=301 EVERYLOGON=1: status 0" run_now msiexec /i "$msi" /qn MODEL=301 EVERYLOGON=1
    check "... the step runs at every logon" \
      value "$run_machine" "VentrelConf $brand" '".*VentrelConfProvision.exe"'
    become fay "$brand" "$product"
    logon
    # Fay's roaming profile goes to a 2D PC, which writes 200 and a later Version, and comes back.
    printf '[BOARD]\r\nTYPE=200\r\nTYPE_SUB=301\r\n' >"$data/VENTREL_DLL.INI"
    user_record "2999,1231,2359,59"
    logon
    check "... a board file that roams back with 200 is 301 again at this PC's next logon" \
      holds "$data/VENTREL_DLL.INI" $'[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n'
    check "... though Active Setup did not run the step" bash -c "! grep -q '^active setup' '$work/logon.out'"
    everylogon_stamp="$(stamp "$brand")"
    run_now msiexec /i "$msi" /qn MODEL=301
    check "... EVERYLOGON stays chosen when not given" \
      value "$run_machine" "VentrelConf $brand" '".*VentrelConfProvision.exe"'
    check "... and changing nothing keeps the Version" test "$(stamp "$brand")" = "$everylogon_stamp"
    check "EVERYLOGON=0: status 0" run_now msiexec /i "$msi" /qn MODEL=301 EVERYLOGON=0
    check "... and the step no longer runs at every logon" \
      bash -c "! wine reg query '$run_machine' /v 'VentrelConf $brand' /reg:64 >/dev/null 2>&1"

    packaging/msi.sh "$slug" "$brand" "$product" "$version" x64 \
      build/package/programs/VentrelConf-x64.exe build/package/programs/VentrelConfProvision-x64.exe \
      "build/package/$slug/VentrelConf.ini" "$work/again.msi"
    check "two builds of one version have one ProductCode" test "$(product_code "$work/again.msi")" = "$code"
  fi
  be_installing_user
  cp "$installing_board" "$work/board-installing"
  cp "$data/VENTREL_DLL.INI" "$work/board-cem"
  check "$slug: msiexec /x ends with status 0" run_now msiexec /x "$msi" /qn
  check "$slug: ... removes the program and its folders" \
    test ! -e "$WINEPREFIX/drive_c/Program Files/$brand"
  check "$slug: ... the Active Setup entry" no_key "$(active_setup "$brand")"
  check "$slug: ... the Add/Remove Programs entry" no_key "$arp"
  check "$slug: ... the registry value Model" \
    bash -c "! wine reg query '$(machine_key "$brand")' /v Model /reg:64 >/dev/null 2>&1"
  check "$slug: ... and leaves every board file byte for byte" \
    bash -c "cmp -s '$installing_board' '$work/board-installing' && cmp -s '$data/VENTREL_DLL.INI' '$work/board-cem'"
done
wineserver -k || true

echo "== portable bundles"
for kind in windows-portable.zip linux-x86_64-portable.tar.gz; do
  bundle="$work/bundle-$kind"
  mkdir -p "$bundle"
  archive="dist/VentrelConf-$version-marvello-$kind"
  case "$kind" in
    *.zip) unzip -q "$archive" -d "$bundle" ;;
    *) tar xzf "$archive" -C "$bundle" ;;
  esac
  top="$bundle/VentrelConf-$version-marvello-${kind%%.*}"
  product="$top/Unnamed Marvello product"
  check "$kind: no board file is shipped" test ! -e "$product/VENTREL_DLL.INI"
  printf '%s' "$board_before" >"$product/VENTREL_DLL.INI"
  case "$kind" in
    *.zip)
      check "$kind: the program is signed" signed "$top/VentrelConf.exe"
      if [ "$VENTREL_WINE32" = 0 ]; then
        ventrel_without_wine32 "the 32-bit program of $kind"
        continue
      fi
      check "$kind: silent mode writes 301 there" run "$top/VentrelConf.exe" 301 ;;
    *) check "$kind: silent mode writes 301 there" env -u DISPLAY "$top/VentrelConf" 301 ;;
  esac
  check "$kind: ... into the bundle's own board file" \
    holds "$product/VENTREL_DLL.INI" "$board_301"
done

echo "== the Windows test kit, unpacked and run as a user runs it"
folder="$work/My Downloads"
mkdir -p "$folder"
unzip -q "dist/VentrelConf-$version-windows-tests.zip" -d "$folder"
top="$folder/VentrelConf-$version-windows-tests"
for file in "$top"/x*/VentrelConf.exe "$top"/x*/tests/*.exe "$top"/x*/tests/win32/*; do
  check "test kit: signed: ${file#"$top/"}" signed "$file"
done
export WINEPREFIX="$work/prefix-kit" WINEARCH=win64
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
start_kit=$SECONDS
status=0
# From another folder, by its full path, as one double-clicks it in Explorer's Downloads. The
# concurrency tests, which race a driver-like writer for several seconds each, ran in the Windows
# step already: here they are left out (GoogleTest's GTEST_FILTER, which Wine passes on).
(cd "$work" && GTEST_FILTER='-ConcurrencyTest.*' timeout 1800 wine cmd /c "$(winepath -w "$top/run-tests.cmd")" >"$work/kit.out" 2>&1) ||
  status=$?
wineserver -w
echo "the test kit took $((SECONDS - start_kit)) s"
report="$top/report.txt"
check "test kit: run-tests.cmd ends with 0 (it ended with $status)" test "$status" -eq 0
check "test kit: report.txt names the Windows build and the code page" \
  bash -c "grep -q '^Build: [0-9]' '$report' && grep -q '^ANSI code page: [0-9]' '$report'"
arches=(x64 x86)
if [ "$VENTREL_WINE32" = 0 ]; then
  arches=(x64)
  check "test kit: report.txt says the x86 half was not run" grep -q '^x86: NOT RUN: ' "$report"
  ventrel_without_wine32 "the test kit's 32-bit half (its report says so)"
fi
for arch in "${arches[@]}"; do
  for program in ventrel_unit_tests ventrel_win32_e2e_tests; do
    check "test kit: report.txt counts $arch $program, none failed" \
      grep -q "^$arch $program: [0-9]* tests, [0-9]* passed, [0-9]* skipped, 0 failed" "$report"
    check "test kit: ... and its JUnit XML" grep -q '<testsuites ' "$top/results/$arch-$program.xml"
  done
done
[ "$status" -eq 0 ] || cat "$report"
wineserver -k || true

# ---- Planted DLLs ----------------------------------------------------------------------------
# A marker DLL (tests/win32/planting/), built here for each architecture, is put under the names
# Windows looks for beside a program (uxtheme, version, shcore, ...); each copy that is loaded
# leaves "<name>.ran" beside itself. The programs must load none; the installers are measured.
planted_names=(uxtheme version cryptbase dwmapi profapi userenv propsys wintrust imm32 msimg32
  oleaut32 comctl32 shcore shell32 ole32 shlwapi combase windows.storage kernel.appcore msctf
  dwrite winmm dbghelp secur32 sspicli cryptsp bcrypt crypt32 wtsapi32 powrprof apphelp ntmarta
  setupapi oleacc clbcatq riched20 riched32 usp10 comdlg32 advapi32 user32 gdi32 msvcrt)
# What the NSIS stub loads from the system folder before anything else (NSIS 3.04 and later).
nsis_preloaded=(uxtheme userenv setupapi apphelp propsys dwmapi cryptbase oleacc clbcatq ntmarta)
plant() {  # plant FOLDER MARKER
  local name
  for name in "${planted_names[@]}"; do cp "$2" "$1/$name.dll"; done
}
planted_ran() { (cd "$1" && ls -- *.ran 2>/dev/null | sed 's/\.dll\.ran$//' | sort | tr '\n' ' '); }
none_of_preloaded_ran() {  # none_of_preloaded_ran FOLDER
  local name
  for name in "${nsis_preloaded[@]}"; do [ ! -e "$1/$name.dll.ran" ] || return 1; done
}

planting() {
  local markers="$work/markers" folder
  mkdir -p "$markers"
  x86_64-w64-mingw32-g++ -O2 -shared -nostdlib -Wl,-e,MarkerEntry \
    tests/win32/planting/marker_dll.cpp -lkernel32 -o "$markers/x64.dll"
  i686-w64-mingw32-g++ -O2 -shared -nostdlib -Wl,-e,_MarkerEntry@12 \
    tests/win32/planting/marker_dll.cpp -lkernel32 -o "$markers/x86.dll"
  [ -d "$work/prefix-win64" ] && export WINEPREFIX="$work/prefix-win64" WINEARCH=win64 ||
    new_windows win64

  # The 64-bit program as the installer puts it on 64-bit Windows, run from a folder of planted
  # DLLs in a local layout.
  folder="$work/planted-x64"
  mkdir -p "$folder/Zorvik - LAN PANORAMIC"
  cp build/package/programs/VentrelConf-x64.exe "$folder/VentrelConf.exe"
  printf '%s' "$board_before" >"$folder/Zorvik - LAN PANORAMIC/VENTREL_DLL.INI"
  cp build/package/dremont/VentrelConf.ini "$folder/Zorvik - LAN PANORAMIC/"
  plant "$folder" "$markers/x64.dll"
  check "planted DLLs: the 64-bit program's silent mode writes 301" run "$folder/VentrelConf.exe" 301
  check "... into its board file" holds "$folder/Zorvik - LAN PANORAMIC/VENTREL_DLL.INI" "$board_301"
  check "... and runs none of them (ran: $(planted_ran "$folder"))" test -z "$(planted_ran "$folder")"
  cp build/package/programs/VentrelConfProvision-x64.exe "$folder/VentrelConfProvision.exe"
  run "$folder/VentrelConfProvision.exe" || true
  check "planted DLLs: the per-user step runs none of them (ran: $(planted_ran "$folder"))" \
    test -z "$(planted_ran "$folder")"

  if [ "$VENTREL_WINE32" = 0 ]; then
    ventrel_without_wine32 "the planting runs of the portable zip's program and of the installer"
    return
  fi
  folder="$work/planted-zip"
  mkdir -p "$folder"
  unzip -q "dist/VentrelConf-$version-marvello-windows-portable.zip" -d "$folder"
  folder="$folder/VentrelConf-$version-marvello-windows-portable"
  printf '%s' "$board_before" >"$folder/Unnamed Marvello product/VENTREL_DLL.INI"
  plant "$folder" "$markers/x86.dll"
  check "planted DLLs: the portable zip's program writes 301" run "$folder/VentrelConf.exe" 301
  check "... into its board file" holds "$folder/Unnamed Marvello product/VENTREL_DLL.INI" "$board_301"
  check "... and runs none of them (ran: $(planted_ran "$folder"))" test -z "$(planted_ran "$folder")"

  # The installer as downloaded: what its stub imports itself is resolved before its code runs,
  # so this is measured and said, and held only to what NSIS loads from the system folder.
  folder="$work/planted-downloads"
  mkdir -p "$folder"
  cp "$setup" "$folder/setup.exe"
  plant "$folder" "$markers/x86.dll"
  run "$folder/setup.exe" /S /MODEL=301 || true
  echo "measured: planted DLLs the installer's silent run loaded: $(planted_ran "$folder")"
  check "planted DLLs: the installer loads none of those NSIS takes from the system folder" \
    none_of_preloaded_ran "$folder"
}
echo "== planted DLLs"
start_planting=$SECONDS
planting
echo "planted DLLs took $((SECONDS - start_planting)) s"
# ---- end of planted DLLs ---------------------------------------------------------------------

echo "== $failures failure(s)"
[ "$failures" -eq 0 ]
