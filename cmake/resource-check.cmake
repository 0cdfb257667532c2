# Every shipped file is checked once it is built: an icon (programs and setup), a version block
# with its own file name and version, and a manifest for its processor (tools/rescheck.cpp). A
# file that lacks any fails the build. Included at the end of the top-level list, when every
# target is known; a program or library that joins the program folder is checked with no change
# here (a library other than the control carries the product's version, see program.rc2).

program_folder_targets(shipped_targets)

# The control keeps the version it always had.
set(RESCHECK_VERSION_accesskeep 1.10)

set(checks)
set(check_depends)
foreach(t ${shipped_targets} endprograms folderrights)
  if(NOT TARGET ${t})
    continue()
  endif()
  get_target_property(type ${t} TYPE)
  set(version ${QR_VERSION_TEXT})
  if(DEFINED RESCHECK_VERSION_${t})
    set(version ${RESCHECK_VERSION_${t}})
  endif()
  set(icon noicon)
  if(type STREQUAL EXECUTABLE AND NOT t STREQUAL endprograms AND NOT t STREQUAL folderrights)
    set(icon icon)
  endif()
  list(APPEND checks $<TARGET_FILE:${t}>=$<TARGET_FILE_NAME:${t}>=${version}=${icon})
  list(APPEND check_depends ${t})
  # A resource script is compiled again when the shared resources it takes in change.
  get_target_property(sources ${t} SOURCES)
  get_target_property(source_dir ${t} SOURCE_DIR)
  foreach(s ${sources})
    if(s MATCHES "\\.rc$")
      if(NOT IS_ABSOLUTE ${s})
        set(s ${source_dir}/${s})
      endif()
      set_property(SOURCE ${s} DIRECTORY ${source_dir} APPEND PROPERTY OBJECT_DEPENDS
        ${CMAKE_SOURCE_DIR}/winapp/program.rc2 ${RESOURCE_DIR}/program.manifest ${RESOURCE_DIR}/accesskeep.manifest)
    endif()
  endforeach()
endforeach()
# update.exe is newerly.exe laid down under the tray's name: the same file, the same block.
if(TARGET newerly)
  list(APPEND checks ${PROGRAM_DIR}/update.exe=newerly.exe=${QR_VERSION_TEXT}=icon)
endif()
set(check_files)
if(TARGET setup)
  set(SETUP_EXE ${CMAKE_BINARY_DIR}/Quietrail2003Setup.exe)
  list(APPEND checks ${SETUP_EXE}=Quietrail2003Setup.exe=${QR_VERSION_TEXT}=icon)
  list(APPEND check_depends setup)
  list(APPEND check_files ${SETUP_EXE})
endif()

set(RESCHECK ${CMAKE_BINARY_DIR}/host/rescheck)
add_custom_command(OUTPUT ${RESCHECK}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${HOST_CXX} -std=c++17 -O2 -o ${RESCHECK} ${CMAKE_SOURCE_DIR}/tools/rescheck.cpp
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/rescheck.cpp
  COMMENT "Building the resource check")
set(stamp ${RESOURCE_DIR}/checked.stamp)
add_custom_command(OUTPUT ${stamp}
  COMMAND ${RESCHECK} ${stamp} ${checks}
  DEPENDS ${RESCHECK} ${check_depends} ${check_files}
  COMMENT "Checking every shipped file's icon, version block and manifest"
  VERBATIM)
add_custom_target(resource_check ALL DEPENDS ${stamp})
add_dependencies(resource_check ${check_depends})
