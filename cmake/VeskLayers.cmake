# Layer rules: each folder under src/ is one static library vesk_<folder>, and a
# library may link only the layers below it. The model layer must stay free of
# GTK, WebKit and X11 so it can be tested and fuzzed without a display.

# webkit sits on top but only the web module links it: no other layer may reach WebKit, so the
# panel module stays free of it (checked below).
set(VESK_LAYER_ORDER model hotkeys browser shell panel settings webkit)
set(VESK_MODEL_FORBIDDEN PkgConfig::GTKMM PkgConfig::CAIROMM PkgConfig::WEBKIT PkgConfig::X11
                         PkgConfig::DBUSMENU PkgConfig::SOUP PkgConfig::LAYERSHELL)

# vesk_layer(<name> SOURCES ... [DEPS ...]) creates the layer's library.
function(vesk_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(vesk_${name} STATIC ${ARG_SOURCES})
  target_include_directories(vesk_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(vesk_${name} PUBLIC ${ARG_DEPS})
endfunction()

# A layer linked into a loadable module that the executable loading it already holds (linked whole
# and exported): the module takes the layer's headers and packages but none of its objects, so
# the module binds to the executable's copy. CMake wants the library named in a feature's
# pattern: it is named to --exclude-libs, which excludes nothing, as the archive is not linked.
set(CMAKE_LINK_LIBRARY_USING_VESK_PROVIDED "LINKER:--exclude-libs=<LIB_ITEM>")
set(CMAKE_LINK_LIBRARY_USING_VESK_PROVIDED_SUPPORTED TRUE)

# vesk_link_layers(<target> [WHOLE <layer>...] [LINKED <layer>...] [PROVIDED <layer>...])
# Links layers into an executable or module through their targets, so that each layer's own
# dependencies come along and are named once, in its own CMakeLists.txt. WHOLE layers go in with
# every object (for modules loaded later that use them), LINKED ones with the objects the target
# uses, PROVIDED ones with none (see VESK_PROVIDED above). A layer also reached through another
# layer keeps the way it is named here.
function(vesk_link_layers target)
  cmake_parse_arguments(ARG "" "" "WHOLE;LINKED;PROVIDED" ${ARGN})
  list(TRANSFORM ARG_WHOLE PREPEND vesk_ OUTPUT_VARIABLE whole)
  list(TRANSFORM ARG_LINKED PREPEND vesk_ OUTPUT_VARIABLE linked)
  list(TRANSFORM ARG_PROVIDED PREPEND vesk_ OUTPUT_VARIABLE provided)
  # The layers that use a whole layer come first: a whole archive must stand once on the line,
  # after everything that needs it.
  target_link_libraries(${target} PRIVATE ${linked})
  if(whole)
    list(JOIN whole "," items)
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${items}>")
  endif()
  if(provided)
    list(JOIN provided "," items)
    target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:VESK_PROVIDED,${items}>")
  endif()
  foreach(library IN LISTS whole)
    set_property(TARGET ${target} PROPERTY LINK_LIBRARY_OVERRIDE_${library} WHOLE_ARCHIVE)
  endforeach()
  foreach(library IN LISTS provided)
    set_property(TARGET ${target} PROPERTY LINK_LIBRARY_OVERRIDE_${library} VESK_PROVIDED)
  endforeach()
  # The packages that only provided layers use are loaded with the executable: the target records
  # a need only for the libraries it calls itself.
  if(provided)
    target_link_options(${target} PRIVATE LINKER:--as-needed)
  endif()
endfunction()

function(_vesk_collect_links target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue item)
    if(item IN_LIST seen OR NOT TARGET ${item})
      continue()
    endif()
    list(APPEND seen ${item})
    get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
    get_target_property(direct ${item} LINK_LIBRARIES)
    foreach(l IN LISTS links direct)
      if(l AND NOT l MATCHES "NOTFOUND$")
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
        list(APPEND queue ${l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(vesk_check_layers)
  list(LENGTH VESK_LAYER_ORDER count)
  foreach(index RANGE 0 ${count})
    if(index EQUAL count)
      break()
    endif()
    list(GET VESK_LAYER_ORDER ${index} layer)
    if(NOT TARGET vesk_${layer})
      continue()
    endif()
    _vesk_collect_links(vesk_${layer} reached)
    foreach(dep IN LISTS reached)
      if(dep MATCHES "^vesk_(.*)$")
        list(FIND VESK_LAYER_ORDER ${CMAKE_MATCH_1} dep_index)
        if(dep_index GREATER index)
          message(FATAL_ERROR "Layer '${layer}' links the higher layer '${CMAKE_MATCH_1}'")
        endif()
      endif()
      if(layer STREQUAL "model" AND dep IN_LIST VESK_MODEL_FORBIDDEN)
        message(FATAL_ERROR "The model layer must not link ${dep}")
      endif()
      if(NOT layer STREQUAL "webkit" AND dep STREQUAL "PkgConfig::WEBKIT")
        message(FATAL_ERROR "Layer '${layer}' links WebKit, which only the webkit layer may")
      endif()
    endforeach()
  endforeach()
endfunction()
