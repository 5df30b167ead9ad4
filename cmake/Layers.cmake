# The layers of src/, lowest first, and what each may include besides its own headers:
#   platform <- dbf <- exchange <- export, import (never each other) <- app, cli (never each other)
# Read by the build (each layer's include root, below) and by CheckLayers.cmake, which lists every
# include of src/ that breaks the rule with its file and line.

# src/ of this checkout, whichever project includes this file (the fuzz targets are one of their own).
get_filename_component(PONTREL_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)

set(PONTREL_LAYERS platform dbf exchange export import app cli)
set(PONTREL_LAYER_BELOW_platform "")
set(PONTREL_LAYER_BELOW_dbf platform)
set(PONTREL_LAYER_BELOW_exchange dbf platform)
set(PONTREL_LAYER_BELOW_export exchange dbf platform)
set(PONTREL_LAYER_BELOW_import exchange dbf platform)
set(PONTREL_LAYER_BELOW_app export import exchange dbf platform)
set(PONTREL_LAYER_BELOW_cli export import exchange dbf platform)

# pontrel_layer_target(TARGET LAYER): gives the layer's library its include root, a folder of the
# build tree that holds links to src/<layer> and to the folders of the layers below it, and nothing
# else. Sources include "layer/Header.h" as before, but one that reaches an upper layer's header, or a
# sibling's, does not compile: the compiler cannot find it. The root is PUBLIC, so the layers above
# (which link this one) see it too, and it shows them nothing they may not include.
function(pontrel_layer_target target layer)
  if(NOT layer IN_LIST PONTREL_LAYERS)
    message(FATAL_ERROR "pontrel_layer_target: ${layer} is not a layer")
  endif()
  set(root ${CMAKE_BINARY_DIR}/include-roots/${layer})
  file(MAKE_DIRECTORY ${root})
  foreach(visible ${layer} ${PONTREL_LAYER_BELOW_${layer}})
    set(link ${root}/${visible})
    set(source ${PONTREL_SOURCE_ROOT}/${visible})
    if(IS_SYMLINK ${link})
      file(READ_SYMLINK ${link} points_to)
      if(points_to STREQUAL source)
        continue()
      endif()
      file(REMOVE ${link})
    endif()
    file(CREATE_LINK ${source} ${link} RESULT made SYMBOLIC)
    if(NOT made EQUAL 0)
      # A system where this user cannot make symbolic links (Windows without developer mode): the
      # build sees all of src/, and only the layers.rule test holds the rule.
      message(WARNING "No symbolic link ${link} (${made}): the layer rule is checked by the test layers.rule only")
      target_include_directories(${target} PUBLIC ${PONTREL_SOURCE_ROOT})
      return()
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
