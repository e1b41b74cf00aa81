# koroncam_layer(NAME
#   HEADERS h...          headers the layers above may include
#   INTERNAL_HEADERS h... headers only this layer (and the program's entry, and tests) may include
#   SOURCES s...
#   LINK target...)       the layers below, and libraries
#
# A layer is a static library. Its headers are not found through the source tree: each layer gets
# an include folder of its own in the build tree that holds links to just its headers, and a
# layer sees only its own folder and those of the layers it links. An include that runs upward,
# or reaches into another layer's internals, names a file that is not there and fails to build.
function(koroncam_layer name)
  cmake_parse_arguments(LAYER "" "" "HEADERS;INTERNAL_HEADERS;SOURCES;LINK" ${ARGN})
  set(public_root ${CMAKE_BINARY_DIR}/layers/${name}/include)
  set(internal_root ${CMAKE_BINARY_DIR}/layers/${name}/internal)
  file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/layers/${name})
  foreach(header ${LAYER_HEADERS})
    get_filename_component(folder ${public_root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${header} ${public_root}/${header} SYMBOLIC)
  endforeach()
  foreach(header ${LAYER_INTERNAL_HEADERS})
    get_filename_component(folder ${internal_root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${header} ${internal_root}/${header} SYMBOLIC)
  endforeach()

  list(TRANSFORM LAYER_HEADERS PREPEND ${CMAKE_SOURCE_DIR}/)
  list(TRANSFORM LAYER_INTERNAL_HEADERS PREPEND ${CMAKE_SOURCE_DIR}/)
  list(TRANSFORM LAYER_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
  add_library(${name} STATIC ${LAYER_SOURCES} ${LAYER_HEADERS} ${LAYER_INTERNAL_HEADERS})
  target_include_directories(${name} PUBLIC ${public_root} PRIVATE ${internal_root})
  target_link_libraries(${name} PUBLIC ${LAYER_LINK})

  # The internals, for the program's entry point and for tests: `name`_internals.
  add_library(${name}_internals INTERFACE)
  target_include_directories(${name}_internals INTERFACE ${internal_root})
  target_link_libraries(${name}_internals INTERFACE ${name})
endfunction()
