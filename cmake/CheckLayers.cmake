# The layer rule of src/ (cmake/Layers.cmake): a layer includes only its own headers and those of the
# layers below it. The build's include roots make the compiler refuse the rest; this check says it in
# one readable list, and also sees includes that no build compiles (the other system's sources).
# Run as a test: cmake -DPONTREL_SOURCE_TREE=<folder holding the layer folders> -P CheckLayers.cmake
# Every include that breaks the rule is listed with its file and line, and the script fails.

cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)
set(layers ${PONTREL_LAYERS})
foreach(layer ${layers})
  set(allowed_${layer} ${PONTREL_LAYER_BELOW_${layer}})
endforeach()

if(NOT PONTREL_SOURCE_TREE OR NOT IS_DIRECTORY "${PONTREL_SOURCE_TREE}")
  message(FATAL_ERROR "CheckLayers: PONTREL_SOURCE_TREE names no folder: '${PONTREL_SOURCE_TREE}'")
endif()

set(broken 0)
set(checked 0)
foreach(layer ${layers})
  if(NOT IS_DIRECTORY "${PONTREL_SOURCE_TREE}/${layer}")
    continue()
  endif()
  file(GLOB_RECURSE files LIST_DIRECTORIES false
       "${PONTREL_SOURCE_TREE}/${layer}/*.h" "${PONTREL_SOURCE_TREE}/${layer}/*.cpp")
  foreach(file ${files})
    math(EXPR checked "${checked} + 1")
    get_filename_component(folder "${file}" DIRECTORY)
    file(STRINGS "${file}" lines)
    set(number 0)
    foreach(line IN LISTS lines)
      math(EXPR number "${number} + 1")
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">]")
        continue()
      endif()
      set(included "${CMAKE_MATCH_1}")
      # A path relative to the including file ("../import/X.h") counts by the folder it reaches.
      if(included MATCHES "^\\.")
        get_filename_component(reached "${folder}/${included}" ABSOLUTE)
        file(RELATIVE_PATH included "${PONTREL_SOURCE_TREE}" "${reached}")
      endif()
      if(NOT included MATCHES "^([A-Za-z_]+)/")
        continue() # a header of the same folder, or of the system
      endif()
      set(target_layer "${CMAKE_MATCH_1}")
      if(target_layer STREQUAL layer OR NOT target_layer IN_LIST layers)
        continue()
      endif()
      if(NOT target_layer IN_LIST allowed_${layer})
        file(RELATIVE_PATH shown "${PONTREL_SOURCE_TREE}" "${file}")
        string(REPLACE ";" ", " may "${allowed_${layer}}")
        if(may STREQUAL "")
          set(may "nothing of ours")
        endif()
        message(SEND_ERROR "${shown}:${number}: includes ${included}, but ${layer} may include only: ${may}")
        math(EXPR broken "${broken} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "CheckLayers: no source file found under ${PONTREL_SOURCE_TREE}")
endif()
if(broken GREATER 0)
  message(FATAL_ERROR "${broken} include(s) reach a layer above or beside their own")
endif()
message(STATUS "Layer rule holds in ${checked} files")
