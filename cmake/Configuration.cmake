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

# Server certificates the installer accepts, on top of WinHTTP's validation:
# "host=<SHA-256 of the DER certificate, 64 hex digits>" entries, host as it
# stands in the addresses. Empty: no pinning.
set(KESTRUNE_CERTIFICATE_PINS "" CACHE STRING "Pinned server certificates: host=sha256hex;... (empty: none)")

# The publisher whose signature the updater must carry, built in so that the
# elevated installer never takes it from a file its user could replace: the
# SHA-256 digest of the signing certificate (DER), 64 hex digits. Empty: the
# installer's own signer when it is signed, any updater when it is not.
set(KESTRUNE_UPDATER_SIGNER_SHA256 "" CACHE STRING "SHA-256 of the updater's signing certificate (empty: the installer's own signer)")
if(NOT KESTRUNE_UPDATER_SIGNER_SHA256 STREQUAL "" AND NOT KESTRUNE_UPDATER_SIGNER_SHA256 MATCHES "^[0-9A-Fa-f]+$")
  message(FATAL_ERROR "KESTRUNE_UPDATER_SIGNER_SHA256 is not 64 hex digits")
endif()
string(LENGTH "${KESTRUNE_UPDATER_SIGNER_SHA256}" updater_signer_length)
if(NOT updater_signer_length EQUAL 0 AND NOT updater_signer_length EQUAL 64)
  message(FATAL_ERROR "KESTRUNE_UPDATER_SIGNER_SHA256 is not 64 hex digits")
endif()

if(NOT KESTRUNE_TELEMETRY_URL MATCHES "/$")
  message(FATAL_ERROR "KESTRUNE_TELEMETRY_URL must end with /")
endif()

# The bounds the program applies when it reads them, taken from where they
# are defined: a malformed list would make every secure request fail, so it
# is refused here already.
file(READ ${PROJECT_SOURCE_DIR}/win32lib/http/certificatePinText.h pin_bounds)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/win32lib/http/certificatePinText.h)
foreach(bound "max_certificate_pins;kMaxCertificatePins" "max_pinned_host_length;kMaxPinnedHostLength")
  list(GET bound 0 variable)
  list(GET bound 1 constant)
  if(NOT pin_bounds MATCHES "constexpr size_t ${constant} = ([0-9]+)")
    message(FATAL_ERROR "${constant} not found in win32lib/http/certificatePinText.h")
  endif()
  set(${variable} ${CMAKE_MATCH_1})
endforeach()
string(REPEAT "[0-9A-Fa-f]" 64 sha256_hex)
list(LENGTH KESTRUNE_CERTIFICATE_PINS certificate_pin_count)
if(certificate_pin_count GREATER max_certificate_pins)
  message(FATAL_ERROR "KESTRUNE_CERTIFICATE_PINS holds ${certificate_pin_count} entries; "
                      "at most ${max_certificate_pins} are read")
endif()
foreach(pin IN LISTS KESTRUNE_CERTIFICATE_PINS)
  string(REGEX REPLACE "=.*" "" host "${pin}")
  string(LENGTH "${host}" host_length)
  if(NOT pin MATCHES "^[A-Za-z0-9.-]+=${sha256_hex}$" OR host_length GREATER max_pinned_host_length)
    message(FATAL_ERROR "KESTRUNE_CERTIFICATE_PINS entry \"${pin}\" is not host=<64 hex digits> (host: letters, "
                        "digits, '.' and '-', up to ${max_pinned_host_length} characters, no port)")
  endif()
endforeach()

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
