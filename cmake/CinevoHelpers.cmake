# cinevo_test(NAME <name> SOURCES <files...> LIBS <targets...>)
#   A GoogleTest executable whose cases CTest lists one by one. Tests run with Qt's offscreen
#   platform, an isolated profile and the path of the foreign test data, all set by the shared
#   entry point (platform/testing/test_main.cpp).
function(cinevo_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(CINEVO_FUZZ)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} cinevo_test_main GTest::gtest GTest::gmock)
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60)
endfunction()

# cinevo_fuzz(NAME <fuzz_name> SOURCES <files...> LIBS <targets...> [SEEDS <dir>])
#   A libFuzzer target, built only in the fuzz build (make fuzz); its seed corpus is copied beside it.
function(cinevo_fuzz)
  cmake_parse_arguments(F "" "NAME;SEEDS" "SOURCES;LIBS" ${ARGN})
  if(NOT CINEVO_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(fuzz_targets ${F_NAME})
  if(F_SEEDS)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz/seeds)
    add_custom_command(TARGET ${F_NAME} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_directory ${F_SEEDS} ${CMAKE_BINARY_DIR}/fuzz/seeds/${F_NAME})
  endif()
endfunction()

# cinevo_bench(NAME <bench_name> SOURCES <files...> LIBS <targets...>)
#   A Google Benchmark program in build/bench/; it sees the headers of its own folder (the shared
#   timing helpers) besides those of what it links.
function(cinevo_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(CINEVO_FUZZ)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  cinevo_header_view(${B_NAME} PRIVATE ${headers})
  set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# cinevo_header_view(<target> <scope> <headers...>)
#   Gives <target> an include directory that holds only the named headers, each at its path below
#   the source root (as symbolic links), so `#include "runtime/core/x.h"` finds exactly these.
#   A library passes its view on to whoever links it; with CINEVO_STRICT_INCLUDES (the default)
#   nothing else of the source tree is on any include path, so a target sees only its own headers
#   and those of what it links. Without it the views are not made and the source root serves
#   every target.
function(cinevo_header_view TARGET SCOPE)
  if(NOT CINEVO_STRICT_INCLUDES)
    return()  # the source root is on every include path
  endif()
  set(view ${CMAKE_BINARY_DIR}/include-view/${TARGET})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(h IN LISTS ARGN)
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${h})
    get_filename_component(dir ${view}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${h} ${view}/${rel} SYMBOLIC)
  endforeach()
  target_include_directories(${TARGET} ${SCOPE} ${view})
endfunction()

# cinevo_module(<library> [LIBS <targets...>] [TEST_LIBS <targets...>] [QT])
#   The library of the current folder: every .cpp here except *_test.cpp, *_fuzz.cpp and *_main.cpp.
#   Every NAME_test.cpp becomes the test executable <prefix>_NAME_test, and every NAME_fuzz.cpp the
#   libFuzzer target fuzz_NAME (seed corpus: the folder NAME_fuzz_seeds beside it, when present).
#   QT marks a library that needs Qt; it is left out of the fuzz build.
#   The library's headers (*.h of this folder, not of its subfolders) form its include view (see
#   cinevo_header_view); the layer rules themselves are checked by the test layer_boundaries.
function(cinevo_module LIB)
  cmake_parse_arguments(M "QT" "" "LIBS;TEST_LIBS" ${ARGN})
  if(CINEVO_FUZZ AND M_QT)
    return()
  endif()
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_fuzz.cpp)
  file(GLOB mains CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_main.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(lib_sources ${all_sources})
  foreach(f IN LISTS tests fuzzers mains)
    list(REMOVE_ITEM lib_sources ${f})
  endforeach()
  if(lib_sources)
    add_library(${LIB} STATIC ${lib_sources})
    target_link_libraries(${LIB} PUBLIC ${M_LIBS})
    cinevo_header_view(${LIB} PUBLIC ${headers})
  else()
    add_library(${LIB} INTERFACE)
    target_link_libraries(${LIB} INTERFACE ${M_LIBS})
    cinevo_header_view(${LIB} INTERFACE ${headers})
  endif()
  if(M_QT AND lib_sources)
    set_target_properties(${LIB} PROPERTIES AUTOMOC ON)
  endif()
  string(REPLACE "cinevo_" "" prefix ${LIB})
  foreach(t IN LISTS tests)
    get_filename_component(n ${t} NAME_WE)
    cinevo_test(NAME ${prefix}_${n} SOURCES ${t} LIBS ${LIB} ${M_TEST_LIBS})
  endforeach()
  foreach(f IN LISTS fuzzers)
    get_filename_component(n ${f} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" n ${n})
    set(seeds "")
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${n}_fuzz_seeds)
      set(seeds SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/${n}_fuzz_seeds)
    endif()
    cinevo_fuzz(NAME fuzz_${n} SOURCES ${f} LIBS ${LIB} ${M_TEST_LIBS} ${seeds})
  endforeach()
endfunction()
