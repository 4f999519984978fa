# Third-party libraries, found the ordinary way so that a Windows developer can
# supply them from vcpkg (zlib, minizip, bzip2, pugixml[wchar], gtest) instead
# of the prefix that scripts/build-deps makes here.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)
find_package(BZip2 REQUIRED)
find_path(MINIZIP_INCLUDE_DIR NAMES minizip/unzip.h REQUIRED)
find_library(MINIZIP_LIBRARY NAMES libminizip.a minizip REQUIRED)
find_path(PUGIXML_INCLUDE_DIR NAMES pugixml.hpp REQUIRED)
find_library(PUGIXML_LIBRARY NAMES libpugixml.a pugixml REQUIRED)

add_library(kestrune_thirdparty INTERFACE)
target_include_directories(kestrune_thirdparty INTERFACE ${MINIZIP_INCLUDE_DIR} ${PUGIXML_INCLUDE_DIR})
target_compile_definitions(kestrune_thirdparty INTERFACE PUGIXML_WCHAR_MODE)
target_link_libraries(kestrune_thirdparty INTERFACE
  ${MINIZIP_LIBRARY} BZip2::BZip2 ZLIB::ZLIB ${PUGIXML_LIBRARY})
