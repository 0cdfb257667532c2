# The files a fresh installation holds beside the programs. Each is written into build/fresh on
# every configure (the installer and the tests take them from there) and laid down in the program
# folder once: a rebuild keeps what the user has changed since.
set(FRESH_DIR ${CMAKE_BINARY_DIR}/fresh)
file(MAKE_DIRECTORY ${FRESH_DIR})

# lay_down(NAME CONTENT): CONTENT is the file's text as it stands, "\r\n" line ends included. A
# named parameter keeps the text whole (a ";" in it would split an ARGN list).
function(lay_down name content)
  file(WRITE ${FRESH_DIR}/${name} "${content}")
  if(NOT EXISTS ${PROGRAM_DIR}/${name})
    file(COPY ${FRESH_DIR}/${name} DESTINATION ${PROGRAM_DIR})
  endif()
endfunction()

# The user database of a fresh installation, as the login control's library defines it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/accesskeep/fresh.h)
file(STRINGS ${CMAKE_SOURCE_DIR}/accesskeep/fresh.h fresh_database REGEX "^#define ACCESSKEEP_FRESH_DATABASE ")
string(REGEX REPLACE "^[^\"]*\"(.*)\"$" "\\1" fresh_database "${fresh_database}")
string(REPLACE "\\r\\n" "\r\n" fresh_database "${fresh_database}")
lay_down(panel.dll "${fresh_database}")
# The installed versions, for the update checker.
lay_down(library.ini "[WIN]\r\nQuietVer=1.14\r\nPanelVer=1.14\r\nLaunchVer=1.14\r\nClearVer=1.14\r\nBrowsersVer=1.14\r\n")
# The settings as a first run writes them (winapp's FirstRunSettingsText; a test compares them).
lay_down(quietrail.ini "; Quietrail INI File\r\n\r\n[Settings]\r\nHistory=0\r\nTmpInt=0\r\nCookies=0\r\nRecent=0\r\nURL=0\r\nStartup=1\r\nClearDialog=1\r\n\r\n[Launch]\r\nSplash=1\r\nTray=1\r\n")
lay_down(exclude.ini "")
