# System libraries that are not KnownDLLs are imported through delay-load
# stubs: the loader would otherwise look for them next to the executable
# (typically a Downloads folder) before System32. The program restricts the
# search to System32 before the first stub fires.
# shell32 and shlwapi are KnownDLLs on Windows, but Wine's copies pull in
# shcore at process start from the program's folder, so they are delayed too.
set(KESTRUNE_DELAYLOAD_DLLS winhttp crypt32 bcrypt wintrust d2d1 dwrite d3d10_1 netapi32 mscms oleacc shell32 shlwapi credui)
find_program(KESTRUNE_DLLTOOL NAMES ${KESTRUNE_TRIPLET}-dlltool dlltool REQUIRED)

add_library(kestrune_delayload INTERFACE)
foreach(dll IN LISTS KESTRUNE_DELAYLOAD_DLLS)
  set(def ${CMAKE_CURRENT_SOURCE_DIR}/cmake/delayload/${dll}.def)
  set(lib ${CMAKE_CURRENT_BINARY_DIR}/delayload/lib${dll}_delay.a)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(archdef ${CMAKE_CURRENT_BINARY_DIR}/delayload/${dll}.def)
    add_custom_command(OUTPUT ${lib}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/delayload
      COMMAND sed "s/@[0-9]*$//" ${def} > ${archdef}
      COMMAND ${KESTRUNE_DLLTOOL} --input-def ${archdef} --output-delaylib ${lib} --dllname ${dll}.dll
      DEPENDS ${def} VERBATIM)
  else()
    add_custom_command(OUTPUT ${lib}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/delayload
      COMMAND ${KESTRUNE_DLLTOOL} -k --input-def ${def} --output-delaylib ${lib} --dllname ${dll}.dll
      DEPENDS ${def} VERBATIM)
    # The i686 linker drops an import stub's code when only its __imp_ slot is
    # referenced (what dllimport declarations do), which leaves a delayed
    # slot pointing at 0. Naming every stub keeps them all.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(STRINGS ${def} exports REGEX "^  [A-Za-z]")
    foreach(export IN LISTS exports)
      string(STRIP "${export}" export)
      target_link_options(kestrune_delayload INTERFACE "LINKER:-u,_${export}")
    endforeach()
  endif()
  add_custom_target(delayload_${dll} DEPENDS ${lib})
  add_library(delay_${dll} STATIC IMPORTED)
  set_target_properties(delay_${dll} PROPERTIES IMPORTED_LOCATION ${lib})
  add_dependencies(delay_${dll} delayload_${dll})
  target_link_libraries(kestrune_delayload INTERFACE delay_${dll})
endforeach()
