# The pictures and icons are drawn by small generators built for the build machine itself and
# run during the build. tools/artgen draws the shared ones; a program with pictures of its own
# adds a generator of its own (which includes tools/art.h) with add_artwork.
set(ART_DIR ${CMAKE_BINARY_DIR}/art)
find_program(HOST_CXX NAMES c++ g++ REQUIRED)

# add_artwork(NAME SOURCE OUTPUT_FILE...): builds SOURCE into the host program NAME, runs it with
# the art folder as its argument, and makes the target NAME that stands for OUTPUT_FILEs (names
# within the art folder). The full paths are left in ${NAME}_FILES.
function(add_artwork name source)
  set(tool ${CMAKE_BINARY_DIR}/host/${name})
  set(outputs)
  foreach(f ${ARGN})
    list(APPEND outputs ${ART_DIR}/${f})
  endforeach()
  add_custom_command(OUTPUT ${tool}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${HOST_CXX} -std=c++17 -O2 -I${CMAKE_SOURCE_DIR}/tools -o ${tool} ${source}
    DEPENDS ${source} ${CMAKE_SOURCE_DIR}/tools/art.h
    COMMENT "Building the picture generator ${name}")
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ART_DIR}
    COMMAND ${tool} ${ART_DIR}
    DEPENDS ${tool}
    COMMENT "Drawing pictures: ${name}")
  add_custom_target(${name} DEPENDS ${outputs})
  set(${name}_FILES ${outputs} PARENT_SCOPE)
endfunction()

add_artwork(artwork ${CMAKE_SOURCE_DIR}/tools/artgen.cpp
  clear_activity.bmp clear_done.bmp error.bmp app.ico accesskeep_logo.bmp accesskeep_toolbox.bmp)
set(ART_FILES ${artwork_FILES})
