# Test binaries run through Wine (the toolchain's emulator) in the build tree's own prefix, one
# CTest entry per binary: every Wine start costs.
function(add_wine_test name)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testbin)
  add_test(NAME ${name} COMMAND ${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${WINE_PREFIX};QR_PROGRAM_DIR=${PROGRAM_DIR};QR_FRESH_DIR=${FRESH_DIR}"
    TIMEOUT 900)
endfunction()

# Puts a built program into the program folder.
function(into_program_folder target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROGRAM_DIR}
                                             LIBRARY_OUTPUT_DIRECTORY ${PROGRAM_DIR})
  # Programs catch no standard exception: they end at such a throw without carrying its classes.
  # The control does catch them (each becomes the caller's error), so it keeps libstdc++'s.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL EXECUTABLE)
    target_link_libraries(${target} PRIVATE lean_throw)
  endif()
endfunction()

# program_folder_targets(OUT): the targets defined so far that the build puts into the program
# folder (what the setup program installs and the resource check looks at).
function(program_folder_targets out)
  set(found)
  get_property(part_dirs DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  foreach(dir ${part_dirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(runtime_dir ${t} RUNTIME_OUTPUT_DIRECTORY)
      get_target_property(library_dir ${t} LIBRARY_OUTPUT_DIRECTORY)
      if(runtime_dir STREQUAL PROGRAM_DIR OR library_dir STREQUAL PROGRAM_DIR)
        list(APPEND found ${t})
      endif()
    endforeach()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A second run of a test program with QR_FOREIGN_FOLDER set: the program folders it makes are
# named in another script than the system's ANSI code page (testing/test_util.h), for the cases
# `filter` names. The test program must take the UTF-8 code page (utf8_code_page).
function(add_foreign_folder_test name filter)
  add_test(NAME ${name}_foreign_folder COMMAND ${name} --gtest_filter=${filter})
  set_tests_properties(${name}_foreign_folder PROPERTIES
    ENVIRONMENT "WINEPREFIX=${WINE_PREFIX};QR_PROGRAM_DIR=${PROGRAM_DIR};QR_FRESH_DIR=${FRESH_DIR};QR_FOREIGN_FOLDER=1"
    TIMEOUT 900)
endfunction()

# lean_link(TARGET): the release link of a program drops the functions it never calls, which the
# default x86_64 link keeps for their unwind tables' sake (cmake/lean-link.sh).
function(lean_link target)
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    set_property(TARGET ${target} PROPERTY RULE_LAUNCH_LINK "bash ${CMAKE_SOURCE_DIR}/cmake/lean-link.sh")
  endif()
endfunction()
