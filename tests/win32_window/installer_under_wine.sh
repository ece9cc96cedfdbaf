#!/usr/bin/env bash
# installer_under_wine.sh STATE_DIR MSI VERSION FILE...
#
# The installer as an IT department runs it, under Wine, in a prefix made
# afresh in STATE_DIR: `msiexec /i MSI /qn` puts exactly the FILEs into
# Program Files\Corvane Updater, a Start-menu shortcut to the updater and one
# to the demo, and the product's entry under the installed programs; the
# installed corvane-flash runs; `msiexec /x MSI /qn` takes all of it away.
# Prints what it finds at each step.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
state=$1 msi=$2 version=$3
shift 3

rm -rf "$state"
"$repo/scripts/wine-server" "$state"
export WINEPREFIX="$state/prefix"
trap 'wineserver -k 2>/dev/null || true' EXIT
run() { "$repo/scripts/wine-run" "$state" "$@"; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Corvane Updater"
# Windows puts a per-machine package's shortcuts into the Start menu of all
# users, Wine's msi into the installing user's: either will do.
menus=("$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
  "$drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs")
declare -A shortcut_targets=(
  ["Corvane Firmware Updater"]=corvane-updater.exe
  ["Corvane Firmware Updater Demo"]=corvane-updater-demo.exe
)
code=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p')
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code"
registry_value() {  # NAME: that value of the uninstall entry
  run reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}

msiexec() {  # /i or /x: fails with msiexec's log
  local log=$state/msiexec$1.log
  echo "== msiexec $1 $(basename "$msi") /qn"
  if ! run msiexec "$1" "$(windows_path "$msi")" /qn /l*v "$(windows_path "$log")"; then
    tail -n 40 "$log" >&2
    exit 1
  fi
}

msiexec /i
echo "Program Files\\Corvane Updater:"
find "$folder" -mindepth 1 -printf '  %f, %s bytes\n' | sort
installed=$(find "$folder" -mindepth 1 -printf '%f\n' | sort)
expected=$(for file in "$@"; do basename "$file"; done | sort)
[ "$installed" = "$expected" ] || fail "the files are not those of the build"
for file in "$@"; do
  cmp -s "$file" "$folder/$(basename "$file")" || fail "$(basename "$file") is not the build's"
done
for name in "${!shortcut_targets[@]}"; do
  target="C:\\Program Files\\Corvane Updater\\${shortcut_targets[$name]}"
  link=$(find "${menus[@]}" -maxdepth 1 -name "$name.lnk" 2>/dev/null | head -n 1)
  if [ -z "$link" ]; then
    fail "no shortcut \"$name\" in the Start menu"
  elif ! grep -qaF "$target" "$link"; then
    fail "the shortcut \"$name\" does not start $target"
  else
    echo "shortcut ${link#"$drive_c/"} -> $target"
  fi
done
declare -A entry=(
  [DisplayName]="Corvane Updater" [Publisher]="The Corvane Updater authors"
  [DisplayVersion]=$version [UninstallString]="MsiExec.exe /X$code"
)
echo "$uninstall_key:"
for name in "${!entry[@]}"; do
  value=$(registry_value "$name")
  echo "  $name = $value"
  [ "$value" = "${entry[$name]}" ] || fail "$name is \"$value\", not \"${entry[$name]}\""
done
reported=$(run "C:\\Program Files\\Corvane Updater\\corvane-flash.exe" --version | tr -d '\r')
echo "corvane-flash --version: $(head -n 1 <<<"$reported")"
[ "$(head -n 1 <<<"$reported")" = "corvane-flash $version" ] || fail "the installed corvane-flash did not run"

msiexec /x
left=$(find "$drive_c" -iname '*corvane*')
echo "left in drive C: ${left:-nothing named corvane}"
[ -z "$left" ] || fail "files are left behind"
if run reg query "$uninstall_key" >/dev/null 2>&1; then
  fail "the uninstall entry is left"
else
  echo "$uninstall_key: gone"
fi
[ "$failures" -eq 0 ]
