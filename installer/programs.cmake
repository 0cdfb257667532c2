# Run at build time (cmake -P): lists the programs the build laid out in the program folder
# (every .exe and .ocx, and the browser module) as an NSIS macro, so that the setup program installs, checks and removes
# whatever programs exist without naming them one by one.
#   cmake -DPROGRAM_DIR=... -DOUT=.../programs.nsh -P programs.cmake
file(GLOB programs RELATIVE ${PROGRAM_DIR} ${PROGRAM_DIR}/*.exe ${PROGRAM_DIR}/*.ocx ${PROGRAM_DIR}/browsers.dll)
list(SORT programs)
set(text "; Written by the build from the program folder's contents: do not edit.\n")
string(APPEND text "!macro QR_FOR_EACH_PROGRAM action\n")
foreach(p ${programs})
  string(APPEND text "  !insertmacro \${action} \"${p}\"\n")
endforeach()
string(APPEND text "!macroend\n")
# Unchanged text leaves the file alone, so the setup program is not rebuilt for nothing.
set(old "")
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUT} "${text}")
endif()
