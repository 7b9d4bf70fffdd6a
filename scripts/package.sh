#!/usr/bin/env bash
# Builds the Debian package build/package/netlatch_<version>_<arch>.deb from this checkout: a release
# build with the production addresses (or the packager's, given as -D settings), installed under
# /usr, compiled with Debian's hardening flags, stripped, its dependencies found by dpkg-shlibdeps.
# Usage: scripts/package.sh [-DNETLATCH_PORTAL_ADDRESS=host ...]
# NETLATCH_JOBS sets the number of parallel compile jobs (default: all processors).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh package

umask 022 # the package's files and folders must not be group-writable
# Debian's flags: optimisation, fortified functions, stack protector, full RELRO, immediate binding.
# CMake reads CXXFLAGS and LDFLAGS but not CPPFLAGS, so the preprocessor flags join the compiler's.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"

cmake --preset package --fresh "$@"
cmake --build --preset package --parallel "${NETLATCH_JOBS:-$(nproc)}"
rm -f build/package/netlatch_*.deb
cpack --preset package
ls build/package/netlatch_*.deb
