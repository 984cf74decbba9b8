# Compiler settings every target of ours shares, through tesselbox_options.
add_library(tesselbox_options INTERFACE)
target_include_directories(tesselbox_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(tesselbox_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(TESSELBOX_WERROR)
  target_compile_options(tesselbox_options INTERFACE -Werror)
endif()
if(TESSELBOX_SANITIZE)
  target_compile_options(tesselbox_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tesselbox_options INTERFACE -fsanitize=address,undefined)
endif()

# tesselbox_library(NAME folder SOURCES ... DEPENDS ...)
function(tesselbox_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC tesselbox_options ${ARG_DEPENDS})
endfunction()

# Fuzzing instruments all of our code (libFuzzer's coverage, ASan, UBSan); only the fuzz targets
# link the libFuzzer driver itself.
if(TESSELBOX_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSELBOX_BUILD_FUZZ needs clang (cmake --preset fuzz)")
  endif()
  target_compile_options(tesselbox_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tesselbox_options INTERFACE -fsanitize=address,undefined)
endif()
