#!/bin/sh
# Runs a test binary as the unprivileged user "nobody": file permissions (a folder without write
# permission, a file without read permission) stop an ordinary user but not root, who runs the tests
# here. Skips (77) when already unprivileged (the ordinary run covers that) or when nobody cannot
# reach the binary.
set -u
[ "$(id -u)" -eq 0 ] || exit 77
command -v setpriv >/dev/null 2>&1 || exit 77
setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$1" || exit 77
cd /tmp || exit 1
export HOME=/tmp
exec setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
