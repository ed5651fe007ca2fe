# Shared build settings and the one-library-per-folder helper.

# Warnings for our own code only; no fast-math anywhere (float results must match the reference).
set(ENGINE_WARNINGS -Wall -Wextra)
add_compile_options(-fno-fast-math -ffp-contract=off)

if(ENGINE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The folder libraries are static; the test build may make them shared so each of the many
# test and bench programs does not carry its own copy of the engine (disk, link time).
option(ENGINE_SHARED_LIBS "Build the folder libraries as shared libraries" OFF)
if(ENGINE_SHARED_LIBS)
  set(ENGINE_LIBRARY_KIND SHARED)
else()
  set(ENGINE_LIBRARY_KIND STATIC)
endif()

# engine_library(<folder> [DEPENDS libs...])
# Builds every .cpp directly in the calling folder into one library named after it.
function(engine_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} ${ENGINE_LIBRARY_KIND} ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${ENGINE_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# engine_test(<name> LIBS libs... [SOURCES files...])
# A GoogleTest executable registered with CTest case by case.
function(engine_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;SOURCES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${ENGINE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
