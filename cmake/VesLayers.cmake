# Layered static libraries: one target per subsystem folder, each naming the
# targets whose headers and code it uses.
#
# Code includes headers as "<folder>/<file>.h". A layer's include root holds
# only its own folder (a link under the folder's name in the build tree), and
# it reaches another folder's headers only through a target it USES, so an
# include of a folder that is not below it in the table does not compile, and
# a call into one does not link. ves_check_layers() then refuses any cycle in
# the table itself: CMake would accept one between static libraries.

# ves_layer(<target> <folder> [USES <layers...>] [LIBS <libraries...>]
#           [PRIVATE <libraries...>] [WITH_HEADERS])
#   <folder>      the subsystem's folder; its *.cpp (and with WITH_HEADERS its
#                 *.h, for Qt's moc) are the target's sources
#   USES          the layers it includes and calls (public: its headers may
#                 include theirs)
#   LIBS          outside libraries its headers include (Qt)
#   PRIVATE       outside libraries only its own sources use
function(ves_layer target folder)
  cmake_parse_arguments(ARG "WITH_HEADERS" "" "USES;LIBS;PRIVATE" ${ARGN})
  get_filename_component(name ${folder} NAME)
  set(globs ${folder}/*.cpp)
  if(ARG_WITH_HEADERS)
    list(APPEND globs ${folder}/*.h)
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${globs})
  add_library(${target} STATIC ${srcs})
  ves_target_warnings(${target})
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${folder} ${root}/${name} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${ARG_USES} ${ARG_LIBS} Threads::Threads PRIVATE ${ARG_PRIVATE})
  set_property(TARGET ${target} PROPERTY VES_LAYER_USES ${ARG_USES})
  set_property(GLOBAL APPEND PROPERTY VES_LAYERS ${target})
endfunction()

# Fails the configuration when the layers' USES lists form a cycle, naming it.
function(ves_check_layers)
  get_property(layers GLOBAL PROPERTY VES_LAYERS)
  foreach(layer ${layers})
    set(state_${layer} 0)
  endforeach()
  # Depth-first search with an explicit stack; state 1 = on the path, 2 = done.
  foreach(start ${layers})
    if(NOT state_${start} EQUAL 0)
      continue()
    endif()
    set(path ${start})
    set(state_${start} 1)
    get_property(todo_${start} TARGET ${start} PROPERTY VES_LAYER_USES)
    while(path)
      list(GET path -1 top)
      if(todo_${top})
        list(POP_FRONT todo_${top} next)
        if(NOT DEFINED state_${next})
          continue()  # not a layer (an outside or interface target)
        endif()
        if(state_${next} EQUAL 1)
          list(FIND path ${next} at)
          list(SUBLIST path ${at} -1 cycle)
          list(APPEND cycle ${next})
          list(JOIN cycle " -> " text)
          message(FATAL_ERROR "Layers form a cycle: ${text}. A layer may use only the layers below it (docs/architecture.md).")
        elseif(state_${next} EQUAL 0)
          set(state_${next} 1)
          get_property(todo_${next} TARGET ${next} PROPERTY VES_LAYER_USES)
          list(APPEND path ${next})
        endif()
      else()
        set(state_${top} 2)
        list(POP_BACK path)
      endif()
    endwhile()
  endforeach()
endfunction()
