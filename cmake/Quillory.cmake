# Build-wide settings and the helpers every folder uses to declare its library and tests.

option(QL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QL_SANITIZE_THREAD "Build with ThreadSanitizer (not together with QL_SANITIZE)" OFF)
option(QL_SANITIZE_LEAK "Link with LeakSanitizer alone, for optimised builds (scripts/leaks)" OFF)
option(QL_BUILD_BENCHMARKS "Build the Google Benchmark programs under bench/" OFF)
option(QL_FUZZ "Build the libFuzzer targets under tests/fuzz (clang; see scripts/fuzz)" OFF)

add_compile_options(-Wall -Wextra -Werror)

if(QL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  # The undefined-behaviour checks keep a record for each check that points into the program; in a
  # position-independent program each of those pointers is also a relocation, which made a third of every
  # test program's size and is applied again at every start. ThreadSanitizer needs position independence,
  # these two do not.
  add_link_options(-fsanitize=address,undefined -no-pie)
endif()

if(QL_SANITIZE_THREAD)
  if(QL_SANITIZE)
    message(FATAL_ERROR "ThreadSanitizer cannot be combined with AddressSanitizer: use the tsan preset")
  endif()
  # At -O1 with the detector's instrumentation this compiler takes optional strings set field by field for
  # uninitialized; the dev and release flavours keep the warning.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=thread)
endif()

if(QL_SANITIZE_LEAK)
  if(QL_SANITIZE OR QL_SANITIZE_THREAD)
    message(FATAL_ERROR "LeakSanitizer alone is for builds without the other sanitizers: use the leaks preset")
  endif()
  # The leak checker needs no instrumentation, only its allocator: the code is compiled as the release flavour's
  # is, so what an optimiser does with a pointer the program keeps is what the checker sees.
  add_link_options(-fsanitize=leak)
endif()

# Each test program carries the debug information of every library it links; compressed, a tree of them
# takes a good deal less disk.
# Libraries are thin archives there, naming their objects instead of copying them.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_link_options(-Wl,--compress-debug-sections=zlib)
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcT <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qT <TARGET> <LINK_FLAGS> <OBJECTS>")
  endforeach()
endif()

# Everything is instrumented for coverage so that the fuzzers see into the libraries they call.
if(QL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# ql_library(<target> SOURCES ... [DEPENDS ...] [PRIVATE_DEPENDS ...])
# One static library per source folder; includes are rooted at the repository top.
function(ql_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS} PRIVATE ${ARG_PRIVATE_DEPENDS})
endfunction()

# ql_test(<name> SOURCES ... DEPENDS ...)
# Labels come from the test's folder below tests/: tests/platform/foundation gets
# "platform" and "foundation", so `ctest -L foundation` runs one area alone.
function(ql_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gtest_main GTest::gmock)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" ";" labels "${rel}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 300
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan-suppressions.txt")
endfunction()

# ql_benchmark(<name> SOURCES ... DEPENDS ...)
# Every benchmark is listed in the global property QL_BENCHMARKS, for checks over all of them.
function(ql_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} benchmark::benchmark)
  set_property(GLOBAL APPEND PROPERTY QL_BENCHMARKS ${name})
endfunction()

# ql_add_subfolders([EXCEPT name...])
# Adds every child folder that holds a CMakeLists.txt, in name order, so a new component needs nothing
# beyond its own folder; the build notices such a folder by itself. Targets may be linked before the folder
# that defines them is read.
function(ql_add_subfolders)
  cmake_parse_arguments(ARG "" "" "EXCEPT" ${ARGN})
  file(GLOB lists CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT lists)
  foreach(list IN LISTS lists)
    get_filename_component(child ${list} DIRECTORY)
    if(NOT child IN_LIST ARG_EXCEPT)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
