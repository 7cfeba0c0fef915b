#!/bin/sh
# Runs the end-to-end tests that need an ordinary user's file permissions
# and a full disk: without the capabilities that let root pass permission
# bits (for Wine and its server, hence a Wine prefix of their own), with a
# small tmpfs to fill when this machine lets us mount one.
#   as_user.sh <wine loader> <e2e_tests.exe> <ZentrikWin.exe>
set -eu
wine=$1
tests=$2
program=$3
disk=$(mktemp -d)
mounted=0
cleanup() {
    if [ "$mounted" = 1 ]; then umount "$disk"; fi
    rmdir "$disk"
}
trap cleanup EXIT
if mount -t tmpfs -o size=256k tmpfs "$disk" 2>/dev/null; then
    mounted=1
    export ZENTRIK_E2E_FULL_DISK="$disk"
fi
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}-user"
caps=-dac_override,-dac_read_search,-fowner
setpriv --bounding-set "$caps" --inh-caps "$caps" \
    "$wine" "$tests" --gtest_filter='E2eAsUser.*' "$program"
