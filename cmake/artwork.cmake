# The pictures and icons are drawn by tools/artgen, a small program built for the build machine
# itself and run during the build.
set(ART_DIR ${CMAKE_BINARY_DIR}/art)
set(ARTGEN ${CMAKE_BINARY_DIR}/host/artgen)
set(ART_FILES ${ART_DIR}/clear_activity.bmp ${ART_DIR}/clear_done.bmp ${ART_DIR}/error.bmp
              ${ART_DIR}/app.ico)
list(APPEND ART_FILES ${ART_DIR}/accesskeep_logo.bmp ${ART_DIR}/accesskeep_toolbox.bmp)
find_program(HOST_CXX NAMES c++ g++ REQUIRED)
add_custom_command(OUTPUT ${ARTGEN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${HOST_CXX} -std=c++17 -O2 -o ${ARTGEN} ${CMAKE_SOURCE_DIR}/tools/artgen.cpp
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/artgen.cpp
  COMMENT "Building the artwork generator")
add_custom_command(OUTPUT ${ART_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ART_DIR}
  COMMAND ${ARTGEN} ${ART_DIR}
  DEPENDS ${ARTGEN}
  COMMENT "Drawing pictures and icons")
add_custom_target(artwork DEPENDS ${ART_FILES})
