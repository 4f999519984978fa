# Server addresses compiled into the program. The defaults point at the
# reference server (tools/reference_server.py) on loopback, so that the demo
# and the tests work out of the box.
set(KESTRUNE_SERVER_BASE "http://127.0.0.1:18080" CACHE STRING "Base of the default addresses below")
set(KESTRUNE_MANIFEST_URL "${KESTRUNE_SERVER_BASE}/kestrune/updates.xml" CACHE STRING "Update manifest address")
set(KESTRUNE_PROBE_URL "${KESTRUNE_SERVER_BASE}/probe" CACHE STRING "Connectivity probe address")
set(KESTRUNE_PROBE_USER_AGENT "Mozilla/5.0 (Windows NT 10.0; Win64; x64)" CACHE STRING "User agent of the connectivity probe")
set(KESTRUNE_TELEMETRY_URL "${KESTRUNE_SERVER_BASE}/telemetry/" CACHE STRING "Telemetry base address (ends with /)")
set(KESTRUNE_SUCCESS_URL_FORMAT "${KESTRUNE_SERVER_BASE}/telemetry/installed?campaign=%ls&channel=%ls" CACHE STRING "Success address format (two %ls)")
set(KESTRUNE_FINISH_URL "${KESTRUNE_SERVER_BASE}/welcome.html" CACHE STRING "Page opened after a successful installation")
set(KESTRUNE_SITE_HOST "localhost:18443" CACHE STRING "Host of the distribution web site (terms page, outdated-installer link)")

if(NOT KESTRUNE_TELEMETRY_URL MATCHES "/$")
  message(FATAL_ERROR "KESTRUNE_TELEMETRY_URL must end with /")
endif()

# Release builds talk to the installation server over TLS only: a plain-http
# address would let anyone on the path answer for the server. The test and
# demo builds keep their loopback http addresses.
option(KESTRUNE_REQUIRE_HTTPS "Fail the configuration when a compiled-in server address is plain http:" OFF)
if(KESTRUNE_REQUIRE_HTTPS)
  foreach(variable KESTRUNE_MANIFEST_URL KESTRUNE_PROBE_URL KESTRUNE_TELEMETRY_URL KESTRUNE_SUCCESS_URL_FORMAT
                   KESTRUNE_FINISH_URL)
    string(TOLOWER "${${variable}}" address)
    string(STRIP "${address}" address)
    if(NOT address MATCHES "^https://")
      message(FATAL_ERROR "${variable} is \"${${variable}}\": a release build needs https:// addresses "
                          "(set KESTRUNE_SERVER_BASE or the address itself)")
    endif()
  endforeach()
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/config.h.in ${CMAKE_BINARY_DIR}/generated/kestrune/config.h @ONLY)
