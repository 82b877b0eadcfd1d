#!/usr/bin/env bash
# Renders the demo document to the terminal: installs missing packages,
# builds omtree-view and runs it with --demo. Extra arguments go to
# omtree-view (for example --ascii, --hide-empty, --names-in-corner,
# --layer N).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh >&2
scripts/build-release.sh omtree-view >/dev/null
exec build/release/tools/omtree-view --demo "$@"
