#!/usr/bin/env bash
# The release as a Windows user gets it: the installer run silently into a
# fresh user profile, the installed program started and its settings saved,
# an installation refused while the program runs, a reinstallation over it,
# the uninstaller keeping a recording; then the portable zip unpacked into
# a folder whose path has Chinese characters and spaces.
. "$(dirname "$0")/../e2e/e2e_lib.sh"
"$ROOT/scripts/package" >/dev/null 2>&1 || fail "scripts/package failed"
version=$(cat "$BUILD/version.txt")
SETUP_EXE=$BUILD/dist/cammon-$version-setup.exe
ZIP=$BUILD/dist/cammon-$version-win64.zip

APPDIR=$BUILD/e2e/$SCENARIO
rm -rf "$APPDIR"
mkdir -p "$APPDIR/home"
# A fresh profile whose shell folders and menu entries stay in the build tree.
export WINEPREFIX=$APPDIR/prefix HOME=$APPDIR/home
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES,winemenubuilder.exe=d"
release_finish() {
  local rc=$?
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
  "$WINESERVER" -k 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && stop_xvfb
  exit $rc
}
trap release_finish EXIT
"$WINE" wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
# The display settings every end-to-end test runs with (virtual desktop, fonts).
iconv -f UTF-8 -t UTF-16 "$ROOT/scripts/prefix.reg" > "$APPDIR/prefix.reg"
"$WINE" regedit /S "$(printf 'Z:%s' "$APPDIR/prefix.reg" | tr / '\\')" >/dev/null 2>&1
timeout 120 "$WINESERVER" -w || fail "the new prefix did not settle"

win_path() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
wine_wait() { timeout "${2:-120}" "$WINESERVER" -w || fail "$1 did not end"; }
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\cammon'
# reg prints in the console code page (GBK), its errors too.
reg_query() { "$WINE" reg query "$UNINSTALL_KEY" 2>/dev/null | tr -d '\r' | iconv -f GBK -t UTF-8; }
ini_value() { sed -n "s/^$1=//p" "$SETTINGS" | tr -d '\r' | iconv -f GBK -t UTF-8; }
run_installer() { set +e; "$WINE" "$SETUP_EXE" /S; INSTALL_RC=$?; set -e; wine_wait "the installer"; }

PROFILE=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
# Wine links the profile's Desktop and other shell folders to $HOME, where
# a shortcut becomes a .desktop file; a Windows profile has real folders.
for link in "$PROFILE"/*; do
  if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
done
INSTDIR=$PROFILE/AppData/Local/Programs/多路摄像头监控系统
MENU="$PROFILE/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/多路摄像头监控系统"
SETTINGS=$INSTDIR/cammon.ini

# Starts the program at $1, saves the options and checks the settings file.
run_and_save_options() {
  "$WINE" "$1" >"$APPDIR/wine.log" 2>&1 &
  APP_PID=$!
  wait_main_window
  read -r x y <<<"$(child_centre "系统设置")"
  click "$x" "$y"
  probe rect "设置" 10000 >/dev/null || fail "the options dialog did not open"
  read -r x y <<<"$(child_centre "确定" "设置")"
  click "$x" "$y"
  probe gone "设置" 10000 || fail "确定 did not close the dialog"
  wait_until 5 "no settings beside $1" test -f "$SETTINGS"
  [ "$(ini_value path)" = "$(win_path "$(dirname "$1")")\\" ] || fail "path written as \"$(ini_value path)\""
}

close_program() {
  close_front_window
  wait_exit 30
  [ "$EXIT_CODE" = 0 ] || fail "the program ended with exit code $EXIT_CODE"
}

run_installer
[ "$INSTALL_RC" = 0 ] || fail "the installer ended with exit code $INSTALL_RC"
for f in cammon.exe 使用说明.txt 第三方软件许可.txt uninstall.exe; do
  [ -s "$INSTDIR/$f" ] || fail "$f is not installed"
done
for lib in libjpeg-turbo zlib; do
  grep -q "^$lib — " "$INSTDIR/第三方软件许可.txt" || fail "the notices lack $lib"
done
[ ! -e "$INSTDIR/testcam.dll" ] && [ ! -e "$INSTDIR/testcam.exe" ] || fail "the test camera was installed"
[ -f "$MENU/多路摄像头监控系统.lnk" ] || fail "no Start-menu link"
[ -f "$PROFILE/Desktop/多路摄像头监控系统.lnk" ] || fail "no desktop link"
entry=$(reg_query)
grep -q "DisplayName *REG_SZ *多路摄像头监控系统$" <<<"$entry" || fail "uninstall entry: $entry"
grep -q "DisplayVersion *REG_SZ *$version$" <<<"$entry" || fail "uninstall entry: $entry"
grep -q 'UninstallString.*uninstall.exe' <<<"$entry" || fail "no UninstallString: $entry"
grep -q 'InstallLocation.*AppData\\Local\\Programs\\' <<<"$entry" || fail "no InstallLocation: $entry"

info=$(probe version "$(win_path "$INSTDIR/cammon.exe")") || fail "no version resource"
for line in "ProductName=多路摄像头监控系统" "ProductVersion=$version" "FixedVersion=$version.0" \
            "FileDescription=多路摄像头监控与录像程序" "LegalCopyright=版权所有 © 2026 cammon 开发者"; do
  grep -qxF "$line" <<<"$info" || fail "version resource lacks \"$line\": $info"
done
probe version "$(win_path "$SETUP_EXE")" | grep -qxF "ProductVersion=$version" || fail "the installer carries no version"

run_and_save_options "$INSTDIR/cammon.exe"
mkdir -p "$INSTDIR/录像/#1"
recording="$INSTDIR/录像/#1/[26年12月09日]19时05分.asf"
echo "a recording" > "$recording"

# While the program runs, a silent installation fails and replaces nothing.
exe_sum=$(md5sum < "$INSTDIR/cammon.exe")
set +e; "$WINE" "$SETUP_EXE" /S; rc=$?; set -e
[ "$rc" != 0 ] || fail "the installer succeeded while the program ran"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended during the refused installation"
[ "$(md5sum < "$INSTDIR/cammon.exe")" = "$exe_sum" ] || fail "cammon.exe changed while running"
close_program
wine_wait "the program"

# A reinstallation upgrades in place and keeps settings and recordings.
settings_sum=$(md5sum < "$SETTINGS")
run_installer
[ "$INSTALL_RC" = 0 ] || fail "the reinstallation ended with exit code $INSTALL_RC"
[ "$(md5sum < "$SETTINGS")" = "$settings_sum" ] || fail "the reinstallation changed the settings"
[ -f "$recording" ] || fail "the reinstallation lost the recording"

set +e; "$WINE" "$INSTDIR/uninstall.exe" /S; rc=$?; set -e
[ "$rc" = 0 ] || fail "the uninstaller ended with exit code $rc"
# The uninstaller runs on as a copy of itself in the temporary folder.
wine_wait "the uninstaller"
for f in cammon.exe cammon.ini 使用说明.txt 第三方软件许可.txt uninstall.exe; do
  [ ! -e "$INSTDIR/$f" ] || fail "$f is still there after uninstalling"
done
[ ! -e "$MENU" ] || fail "the Start-menu folder is still there"
[ ! -e "$PROFILE/Desktop/多路摄像头监控系统.lnk" ] || fail "the desktop link is still there"
! "$WINE" reg query "$UNINSTALL_KEY" >/dev/null 2>&1 || fail "the uninstall entry is still there"
[ -f "$recording" ] || fail "the uninstaller deleted the recording"
pass "installed, run, refused while running, reinstalled, uninstalled keeping the recording"

PORTABLE="$APPDIR/便携 版 测试"
mkdir -p "$PORTABLE"
unzip -q "$ZIP" -d "$PORTABLE" || fail "cannot unpack the zip"
unpacked="$PORTABLE/cammon-$version"
[ "$(cd "$unpacked" && ls | LC_ALL=C sort | tr '\n' ' ')" = "cammon.exe 使用说明.txt 第三方软件许可.txt " ] ||
  fail "the zip holds: $(cd "$PORTABLE" && find . | tr '\n' ' ')"
SETTINGS=$unpacked/cammon.ini
run_and_save_options "$unpacked/cammon.exe"
[ -d "$unpacked/录像" ] || fail "no 录像 folder beside the unpacked program"
close_program
pass "the portable program runs from \"$unpacked\""
