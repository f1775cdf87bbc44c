# Every library of the tree is one layer, and a layer shows the others its own
# headers only. orbel_layer_headers gives a target an include folder of its
# own in the build tree, holding links to the headers named, under their paths
# from BASE (the source root unless given). A library that links the target
# then finds these headers, and no header of a layer it does not link: a
# wrong-way include fails to compile instead of waiting for a review.
#
#   orbel_layer_headers(<target> [BASE <dir>] HEADERS <header>...)
#
# Headers are given relative to the calling CMakeLists.txt. Where the file
# system can make no link (some Windows set-ups), BASE itself is exposed.
function(orbel_layer_headers target)
  cmake_parse_arguments(A "" "BASE" "HEADERS" ${ARGN})
  if(NOT A_BASE)
    set(A_BASE ${PROJECT_SOURCE_DIR})
  endif()
  get_target_property(kind ${target} TYPE)
  set(scope PUBLIC)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()

  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  # Made afresh, so that a header dropped from the list is gone from here too.
  file(REMOVE_RECURSE ${root})
  set(linked TRUE)
  foreach(header IN LISTS A_HEADERS)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/${header})
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "${target}: no header ${header}")
    endif()
    file(RELATIVE_PATH name ${A_BASE} ${source})
    get_filename_component(folder ${root}/${name} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${source} ${root}/${name} SYMBOLIC RESULT failed)
    if(failed)
      set(linked FALSE)
    endif()
  endforeach()
  if(linked)
    target_include_directories(${target} ${scope} ${root})
  else()
    message(WARNING "${target}: no links to its headers could be made in ${root}, so all of "
      "${A_BASE} is exposed to what links it: a wrong-way include compiles here")
    target_include_directories(${target} ${scope} ${A_BASE})
  endif()
  target_sources(${target} PRIVATE ${A_HEADERS})
endfunction()
