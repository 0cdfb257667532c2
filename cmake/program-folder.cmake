# The files a fresh installation holds beside the programs. Laid down once: a rebuild keeps what
# the user has changed since.
function(lay_down name)
  set(path ${PROGRAM_DIR}/${name})
  if(NOT EXISTS ${path})
    if(ARGN)
      string(REPLACE ";" "\r\n" text "${ARGN}")
      file(WRITE ${path} "${text}\r\n")
    else()
      file(WRITE ${path} "")
    endif()
  endif()
endfunction()

# The user database with its one user, "default", no password and the welcome still to come.
lay_down(panel.dll "[General]" "Version=2" "" "[Users]" "count=1" "1=default" ""
         "[default]" "login=0" "ShowWelcome=0")
# The installed versions, for the update checker.
lay_down(library.ini "[WIN]" "QuietVer=1.14" "PanelVer=1.14" "LaunchVer=1.14" "ClearVer=1.14")
# The settings as a first run writes them.
lay_down(quietrail.ini "; Quietrail INI File" "" "[Settings]" "History=0" "TmpInt=0" "Cookies=0"
         "Recent=0" "URL=0" "Startup=1" "ClearDialog=1" "" "[Launch]" "Splash=1" "Tray=1")
lay_down(exclude.ini)
