#!/bin/sh
# Runs a test command as user and group 65534 with no other groups, for the cases that root would
# pass for the wrong reason (root writes into read-only folders). The command gets a temporary
# folder of its own that this user owns. Exits 77, which CTest counts as skipped, when it cannot.
set -u
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: not running as root, so the case ran as this user in the suite itself"
    exit 77
fi
if ! command -v setpriv >/dev/null; then
    echo "skipped: setpriv (util-linux) is missing, so the case cannot run unprivileged"
    exit 77
fi
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; }
if ! as_nobody test -x "$1"; then
    echo "skipped: user 65534 cannot reach $1 (a folder on its path is closed to others)"
    exit 77
fi
folder=$(mktemp -d /tmp/tesselbox-unprivileged.XXXXXX) || exit 1
chown 65534:65534 "$folder"
TMPDIR=$folder as_nobody "$@"
status=$?
rm -rf "$folder"
exit $status
