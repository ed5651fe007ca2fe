# Libraries from the distribution; none of them is vendored.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LUA51 REQUIRED IMPORTED_TARGET lua5.1)
# FFmpeg decodes the game's videos behind the multimedia-streaming stand-in.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)

# TinyXML ships no CMake or pkg-config file; it must be used with its STL option on.
find_path(TINYXML_INCLUDE_DIR tinyxml.h REQUIRED)
find_library(TINYXML_LIBRARY tinyxml REQUIRED)
add_library(TinyXML::TinyXML UNKNOWN IMPORTED)
set_target_properties(TinyXML::TinyXML PROPERTIES
  IMPORTED_LOCATION ${TINYXML_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${TINYXML_INCLUDE_DIR}
  INTERFACE_COMPILE_DEFINITIONS TIXML_USE_STL)

if(ENGINE_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(ENGINE_BENCH)
  find_package(benchmark REQUIRED)
endif()
