#!/usr/bin/env bash
# Installs Zentrik with its amd64 installer, silently, under 64-bit Wine in a
# fresh prefix, uses it as a user would and uninstalls it:
#   - the files of the package land byte for byte in
#     %LOCALAPPDATA%\Programs\Zentrik, and the uninstall entry names Zentrik,
#     its version and its uninstaller;
#   - the Start-menu shortcut starts the program in Documents\Zentrik, where
#     it writes its profile when it quits;
#   - neither the installer nor the uninstaller touches a running Zentrik;
#   - /AUTOSTART adds the same shortcut to the Startup folder, a later
#     install keeps it, and no install replaces the user's settings;
#   - the uninstall removes the program, the shortcuts and the entry, and
#     leaves the profile folder exactly as it was.
#
# usage: tests/package/roundtrip.sh SETUP.exe STAGE_DIR VERSION
#   STAGE_DIR is the folder scripts/package made the installer from
#   (build/package/amd64/Zentrik), VERSION the one it was made with.
set -euo pipefail

[ $# -eq 3 ] || { echo "usage: $0 SETUP.exe STAGE_DIR VERSION" >&2; exit 2; }
# Zentrik needs a display for its windows: a virtual one unless there is one.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
setup=$(realpath "$1")
stage=$(realpath "$2")
version=$3
here=$(cd "$(dirname "$0")" && pwd)
work="$here/../../build/package-test"

rm -rf "$work"
mkdir -p "$work/home"
# Wine links Documents to $HOME: a home of the test's own keeps the profile
# folder inside the work folder.
export HOME="$work/home" WINEPREFIX="$work/wineprefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

fail() {
    echo "roundtrip: FAILED: $*" >&2
    exit 1
}
trap 'wineserver -k 2>/dev/null || true' EXIT

# A Windows program's output, without the CR of its line ends.
win() { "$wine" "$@" | tr -d '\r'; }
unix_path() { win winepath.exe -u "$1"; }

# Waits up to 30 s for a shell condition.
wait_for() {
    local i
    for i in $(seq 150); do
        if eval "$1"; then return 0; fi
        sleep 0.2
    done
    fail "timed out waiting for: $1"
}

zentrik_window_exists() {
    win winedbg --command "info wnd" 2>/dev/null | grep -q ZentrikMainFrame
}

# Prints the value $2 of the registry key $1, or nothing.
reg_value() {
    win reg query "$1" /v "$2" 2>/dev/null | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
entry='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrik'
entry_value() { reg_value "$entry" "$1"; }
entry_exists() { "$wine" reg query "$entry" >/dev/null 2>&1; }
# The user's folders, where the installer finds them too.
folder() { reg_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' "$1"; }

# $1: the .lnk file; it must start ZentrikWin.exe in the profile folder.
check_shortcut() {
    [ -f "$1" ] || fail "no shortcut $1"
    local fields
    fields=$("$here/lnk.py" "$1")
    grep -qxF "target=$instdir_win\\ZentrikWin.exe" <<<"$fields" ||
        fail "$1 does not start $instdir_win\\ZentrikWin.exe: $fields"
    grep -qxF "workdir=$profile_win" <<<"$fields" ||
        fail "$1 does not start in $profile_win: $fields"
}

install() {
    "$wine" "$setup" /S "$@" || fail "the installer $* ended with code $?"
}

echo "roundtrip: a fresh Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1
# Let the prefix's first start finish, then keep one server for the rest.
wineserver -w
wineserver -p

instdir_win="$(folder 'Local AppData')\\Programs\\Zentrik"
profile_win="$(folder Personal)\\Zentrik"
instdir=$(unix_path "$instdir_win")
profile=$(unix_path "$profile_win")
menu_shortcut="$(unix_path "$(folder Programs)")/Zentrik.lnk"
startup_shortcut="$(unix_path "$(folder StartUp)")/Zentrik.lnk"

echo "roundtrip: install"
install
(cd "$stage" && find . -type f) | sort >"$work/staged"
(cd "$instdir" && find . -type f ! -name Uninstall.exe) | sort >"$work/installed"
diff "$work/staged" "$work/installed" || fail "the installed files differ from the package's"
while read -r file; do
    cmp "$stage/$file" "$instdir/$file" || fail "$file was not installed as packaged"
done <"$work/staged"
[ -f "$instdir/Uninstall.exe" ] || fail "no uninstaller"
[ "$(entry_value DisplayName)" = Zentrik ] || fail "DisplayName: $(entry_value DisplayName)"
[ "$(entry_value DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(entry_value DisplayVersion)"
[ "$(entry_value Publisher)" = Zentrik ] || fail "Publisher: $(entry_value Publisher)"
[ "$(entry_value UninstallString)" = "\"$instdir_win\\Uninstall.exe\"" ] ||
    fail "UninstallString: $(entry_value UninstallString)"
check_shortcut "$menu_shortcut"
[ ! -e "$startup_shortcut" ] || fail "Zentrik starts with Windows without /AUTOSTART"
[ -d "$profile" ] || fail "no profile folder $profile"
if [ -f "$stage/vorn_KovReport.ini" ]; then
    cmp "$stage/vorn_KovReport.ini" "$profile/vorn_KovReport.ini" ||
        fail "the profile folder did not get the example settings"
fi

echo "roundtrip: start Zentrik from its Start-menu shortcut"
"$wine" start /unix "$menu_shortcut"
wait_for zentrik_window_exists
# Both give up with code 2. "_?=" keeps the uninstaller in place, so that its
# code comes back.
code=0
"$wine" "$setup" /S || code=$?
[ $code -eq 2 ] || fail "the installer ended with code $code while Zentrik ran"
code=0
"$wine" "$instdir/Uninstall.exe" /S "_?=$instdir_win" || code=$?
[ $code -eq 2 ] || fail "the uninstaller ended with code $code while Zentrik ran"
[ -f "$instdir/ZentrikWin.exe" ] && entry_exists || fail "the uninstaller removed a running Zentrik"
# taskkill without /f asks the program's windows to close: Zentrik quits as
# from its menu and writes its profile.
"$wine" taskkill /im ZentrikWin.exe >/dev/null
wait_for '! zentrik_window_exists'
wait_for '[ -f "$profile/Zentrik.cnf" ]'
stray=$(find "$WINEPREFIX/drive_c" -name Zentrik.cnf)
[ -z "$stray" ] || fail "a profile outside the profile folder: $stray"

echo "roundtrip: install again with /AUTOSTART, then without"
[ ! -f "$profile/vorn_KovReport.ini" ] || printf 'HTTPHost=mine.example\r\n' >>"$profile/vorn_KovReport.ini"
cp -a "$profile" "$work/profile-before"
install /AUTOSTART
check_shortcut "$startup_shortcut"
install
check_shortcut "$startup_shortcut"
diff -r "$work/profile-before" "$profile" || fail "an install changed the profile folder"

echo "roundtrip: uninstall"
# The uninstaller runs a copy of itself from the temporary folder and returns
# at once.
"$wine" "$instdir/Uninstall.exe" /S || fail "the uninstaller ended with code $?"
wait_for '[ ! -e "$instdir" ] && ! entry_exists'
[ ! -e "$menu_shortcut" ] || fail "the Start-menu shortcut stayed"
[ ! -e "$startup_shortcut" ] || fail "the Startup shortcut stayed"
diff -r "$work/profile-before" "$profile" || fail "the uninstall changed the profile folder"

echo "roundtrip: passed"
