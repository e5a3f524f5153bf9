# The layer rules, checked on every #include of the project's sources:
#
#   app -> classlib -> runtime/ui, runtime/data -> runtime/core -> platform
#
# A folder may include its own headers and those of the folders its rule names; a subfolder
# without a rule of its own has its parent's rule and may include its parent. Only the window
# layer, runtime/ui, the media layer and the media tool include Qt or libmpv; above runtime/ui a
# test may (window tests run through Qt Test), and so may a program's *_main.cpp (it makes the
# application object). Above the runtime the media layer is seen only through media_interface.h.
# Tests of every layer may use platform/testing (where the foreign test data is).
#
# Run: cmake -DSOURCE_DIR=<source root> -P check_layers.cmake   (the test layer_boundaries)
# Exits with an error listing every forbidden include.
cmake_minimum_required(VERSION 3.25)

set(core_below platform runtime/core)
set(data_below ${core_below} runtime/data runtime/data/isam runtime/data/view)
set(media_api platform/media_command platform/media/media_interface.h)

# rule_<folder>: what the folder's sources may include; qt_<folder>: ON when they may include Qt
# or libmpv; test_<folder>: what its tests may include besides.
set(rule_platform "")
set(rule_platform/media_command platform)
set(rule_platform/window platform)
set(qt_platform/window ON)
set(test_platform/window runtime/core)
set(rule_platform/media platform platform/media_command platform/window)
set(qt_platform/media ON)
set(rule_platform/media/media_interface.h platform platform/media_command)
set(rule_runtime/core platform)
set(rule_runtime/data ${core_below})
set(test_runtime/data runtime/data/isam)  # tests of the data layer may drive it through the native driver
set(rule_runtime/ui ${core_below} runtime/ui/format platform/window platform/media platform/media_command)
set(qt_runtime/ui ON)
set(rule_classlib ${data_below} runtime/ui ${media_api})
set(rule_app ${data_below} runtime/ui classlib ${media_api} app/playlist)
# The play-list files stand on the platform layer alone (no runtime, no Qt), so that the fuzz
# build has them.
set(rule_app/playlist platform)
set(rule_tools/tvx ${data_below})
# The crash test also drives the catalogue through the class library (its cascade workload).
set(rule_tools/crashtest ${data_below} runtime/ui classlib app tools/tvx tools/crashtest/cascade ${media_api})
set(rule_tools/mediacmd platform platform/media_command platform/media)
set(qt_tools/mediacmd ON)
set(qt_main_app ON)
set(qt_test_classlib ON)
set(qt_test_app ON)
# Window tests above runtime/ui make their application object through the window layer's helper
# and drive windows as a user would through the UI test driver; the application's tests also
# check and export the data files the windows wrote with the data tool's commands.
set(test_classlib platform/window runtime/ui/testing)
set(test_app platform/window runtime/ui/testing tools/tvx)

# Finds the rule of `rel` (a file below the source root): the file's own, its folder's, or the
# nearest ancestor folder's (which then may be included as well).
function(find_rule rel out_key out_extra)
  if(DEFINED rule_${rel})
    set(${out_key} ${rel} PARENT_SCOPE)
    set(${out_extra} "" PARENT_SCOPE)
    return()
  endif()
  get_filename_component(dir ${rel} DIRECTORY)
  set(extra "")
  while(NOT dir STREQUAL "")
    if(DEFINED rule_${dir})
      set(${out_key} ${dir} PARENT_SCOPE)
      set(${out_extra} ${extra} PARENT_SCOPE)
      return()
    endif()
    list(APPEND extra ${dir})
    get_filename_component(dir ${dir} DIRECTORY)
  endwhile()
  set(${out_key} "" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/platform/*.cpp
     ${SOURCE_DIR}/runtime/*.h ${SOURCE_DIR}/runtime/*.cpp
     ${SOURCE_DIR}/classlib/*.h ${SOURCE_DIR}/classlib/*.cpp
     ${SOURCE_DIR}/app/*.h ${SOURCE_DIR}/app/*.cpp
     ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp)

set(failures "")
set(checked 0)
foreach(rel IN LISTS sources)
  find_rule(${rel} key ancestors)
  if(key STREQUAL "")
    list(APPEND failures "${rel}: no layer rule covers this folder")
    continue()
  endif()
  get_filename_component(own ${rel} DIRECTORY)
  get_filename_component(name ${rel} NAME)
  set(allowed ${own} ${ancestors} ${key} ${rule_${key}})
  set(qt ${qt_${key}})
  if(name MATCHES "_(test|fuzz)\\.cpp$|_test_support\\.h$|^recording_test_driver\\.h$")
    # Every layer's tests may find the foreign test data through platform/testing.
    list(APPEND allowed ${test_${key}} platform/testing)
    if(qt_test_${key})
      set(qt ON)
    endif()
  elseif(name MATCHES "_main\\.cpp$" AND qt_main_${key})
    set(qt ON)
  endif()
  file(STRINGS ${SOURCE_DIR}/${rel} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS includes)
    math(EXPR checked "${checked} + 1")
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(path ${CMAKE_MATCH_1})
      get_filename_component(dir ${path} DIRECTORY)
      if(dir STREQUAL "" OR dir IN_LIST allowed OR path IN_LIST allowed)
        continue()
      endif()
      list(APPEND failures "${rel}: may not include \"${path}\" (layer ${key})")
    elseif(line MATCHES "#[ \t]*include[ \t]*<((Q[A-Za-z]|mpv/)[^>]*)>")
      if(NOT qt)
        list(APPEND failures "${rel}: may not include <${CMAKE_MATCH_1}> (only the window and media layers and runtime/ui use Qt or libmpv)")
      endif()
    endif()
  endforeach()
endforeach()

list(LENGTH sources files)
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Forbidden includes:\n  ${text}")
endif()
message(STATUS "Layer rules hold: ${files} files, ${checked} includes checked")
