// Resources every program carries: its icon, a version block and the manifest. A program's .rc
// defines PROGRAM_DESCRIPTION, PROGRAM_INTERNAL_NAME and PROGRAM_FILE_NAME, then includes this.
#include <winver.h>
#include <winuser.h>

#define QR_VERSION 1,14,0,0
#define QR_VERSION_TEXT "1.14"

APPICON ICON "app.ico"
CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "common.manifest"

VS_VERSION_INFO VERSIONINFO
FILEVERSION QR_VERSION
PRODUCTVERSION QR_VERSION
FILEFLAGSMASK 0x3fL
FILEFLAGS 0x0L
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE 0x0L
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "Quietrail"
      VALUE "FileDescription", PROGRAM_DESCRIPTION
      VALUE "FileVersion", QR_VERSION_TEXT
      VALUE "InternalName", PROGRAM_INTERNAL_NAME
      VALUE "OriginalFilename", PROGRAM_FILE_NAME
      VALUE "ProductName", "Quietrail 2003"
      VALUE "ProductVersion", QR_VERSION_TEXT
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
