# Dependencies point one way: ui -> install/uninstall -> patch -> support, with app as the entry.
# The language tables and the build constants (app/languages.h, app/build_config.h) are constant
# data every layer may read; the wizard's state (app/setup_state.h) belongs to the layers that act
# for the wizard. Inside patch/ the modules form a line, so no two of them depend on each other.
#   cmake -DSOURCE_DIR=<checkout> -P cmake/layers.cmake
# Fails with every include that breaks a rule.
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
  get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

set(_shared_data "app/languages" "app/build_config")
set(allowed_support support ${_shared_data})
set(allowed_patch patch support ${_shared_data})
set(allowed_install install patch support ${_shared_data} "app/setup_state")
set(allowed_uninstall uninstall install patch support ${_shared_data} "app/setup_state")
set(allowed_ui ui install uninstall patch support ${_shared_data} "app/setup_state")
# Lowest first: a module of patch/ includes only those before it.
set(patch_order engine news manifest state inflate plan ahead download phases run)

set(violations "")
foreach(layer IN ITEMS support patch install uninstall ui)
  file(GLOB files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    get_filename_component(module "${file}" NAME_WE)
    string(REGEX REPLACE "_(win|host)$" "" module "${module}")
    if(module STREQUAL "signature")  # the manifest's signature check, declared in manifest.h
      set(module manifest)
    endif()
    file(STRINGS "${SOURCE_DIR}/${file}" includes REGEX "^#include \"[a-z_]+/[a-z_]+\\.h\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/([a-z_]+)\\.h\".*" "\\1;\\2" target "${line}")
      list(GET target 0 folder)
      list(GET target 1 name)
      if(NOT folder IN_LIST allowed_${layer} AND NOT "${folder}/${name}" IN_LIST allowed_${layer})
        string(APPEND violations "  ${file}: ${folder}/${name}.h (${layer} may not depend on it)\n")
      elseif(layer STREQUAL "patch" AND folder STREQUAL "patch" AND NOT name STREQUAL module)
        list(FIND patch_order "${module}" from)
        list(FIND patch_order "${name}" to)
        if(from EQUAL -1 OR to EQUAL -1 OR to GREATER from)
          string(APPEND violations "  ${file}: patch/${name}.h (order: ${patch_order})\n")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the direction of the layers:\n${violations}")
endif()
message(STATUS "layers: every include points down")
