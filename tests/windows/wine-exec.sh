#!/usr/bin/env bash
# Runs one of Wine's programs (wine, wineserver, Wine's 64-bit loader) with
# its arguments: the machine's own, or, when TEVRIN_WINE_ROOT names the
# private Debian root that tests/windows/run.sh has set up, the root's, in the
# same working directory and with the same environment. The paths the tests
# use (the work tree, the temporary folder) are the same inside the root.
set -euo pipefail
if [ -z "${TEVRIN_WINE_ROOT:-}" ]; then
  exec "$@"
fi
exec chroot "$TEVRIN_WINE_ROOT" /usr/bin/env -C "$PWD" PATH=/usr/local/bin:/usr/bin:/bin "$@"
