# kestrune_add_server_test(NAME name SOURCES ... [TLS] [SMALL_DRIVE letter:size]
#                          [SERVER_ROOT dir] [SERVER_EXTENSION file.py] [SERVER_RATE bytes/s]
#                          [SERVER_PORT port] [NGINX_HTTPS_PORT port [NGINX_CERTIFICATE dir]] [PROXY]
#                          <any other kestrune_add_test argument>)
# A test program run against its own reference server (tools/reference_server.py),
# started and stopped around it by support/server-test, which also documents
# the KESTRUNE_TEST_* variables the program finds (ports, request log, TLS
# files, small drive). Read them with testsupport::ReferenceServer
# (support/referenceServer.h). With NGINX_HTTPS_PORT the deployment of
# deploy/nginx serves instead, on SERVER_PORT and that HTTPS port, with its
# prefix under the build tree; NGINX_CERTIFICATE names the folder of the
# certificate that port serves (see server-test --nginx-certificate). PROXY
# starts squid beside the server (server-test --squid).
set(KESTRUNE_SERVER_TEST ${CMAKE_CURRENT_LIST_DIR}/server-test)

function(kestrune_add_server_test)
  cmake_parse_arguments(S "TLS;PROXY" "NAME;SMALL_DRIVE;SERVER_ROOT;SERVER_EXTENSION;SERVER_RATE;SERVER_PORT;NGINX_HTTPS_PORT;NGINX_CERTIFICATE" "" ${ARGN})
  set(launcher ${KESTRUNE_SERVER_TEST})
  if(S_TLS)
    list(APPEND launcher --tls)
  endif()
  if(S_SMALL_DRIVE)
    list(APPEND launcher --small-drive ${S_SMALL_DRIVE})
  endif()
  if(S_PROXY)
    list(APPEND launcher --squid)
  endif()
  if(S_SERVER_ROOT)
    list(APPEND launcher --root ${S_SERVER_ROOT})
  endif()
  if(S_SERVER_EXTENSION)
    list(APPEND launcher --extension ${S_SERVER_EXTENSION})
  endif()
  if(S_SERVER_RATE)
    list(APPEND launcher --rate ${S_SERVER_RATE})
  endif()
  if(S_SERVER_PORT)
    list(APPEND launcher --port ${S_SERVER_PORT})
  endif()
  if(S_NGINX_HTTPS_PORT)
    list(APPEND launcher --nginx ${CMAKE_BINARY_DIR}/nginx/${S_NAME} --https-port ${S_NGINX_HTTPS_PORT})
  endif()
  if(S_NGINX_CERTIFICATE)
    list(APPEND launcher --nginx-certificate ${S_NGINX_CERTIFICATE})
  endif()
  list(APPEND launcher --)
  kestrune_add_test(NAME ${S_NAME} ${S_UNPARSED_ARGUMENTS} LAUNCHER ${launcher})
  if(S_SMALL_DRIVE)
    # One drive letter in the shared prefix.
    string(TOLOWER "${S_SMALL_DRIVE}" drive)
    string(REGEX REPLACE ":.*" "" drive "${drive}")
    set_property(TEST ${S_NAME} APPEND PROPERTY RESOURCE_LOCK small_drive_${drive})
  endif()
endfunction()
