# The three addresses outside the program. A packager sets them for the campus the build serves;
# test, benchmark and demo builds point all three at loopback (see CMakePresets.json).
set(NETLATCH_PORTAL_ADDRESS "10.248.98.2" CACHE STRING
    "host[:port] of the campus portal; the portal's origin is http:// followed by it")
set(NETLATCH_STATS_API_BASE "https://stats.netlatch.app/api" CACHE STRING
    "Base URL of the statistics server, ending in /api")
set(NETLATCH_PROBE_URL "http://captive.apple.com" CACHE STRING
    "Connectivity probe: a plain http:// URL of a site whose root answers HEAD with 2xx, no path")

configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildConfig.h.in
               ${CMAKE_BINARY_DIR}/generated/common/BuildConfig.h @ONLY)
