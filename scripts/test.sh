#!/usr/bin/env bash
# Builds Netlatch and runs the whole test suite on a Debian 12 machine: installs the packages it
# needs, then runs ctest on a virtual X server (every test starts D-Bus buses of its own).
# Usage: scripts/test.sh [preset]   (test: the default; asan: the sanitizer build)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-test}

bash scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset"
