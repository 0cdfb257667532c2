/* A tiny Windows program for the update tests: served as an update, installed as the programs
   it replaces, and run to show that an installed program still works. With "stay" on its
   command line it waits (a running program that cannot be replaced). */
#include <windows.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command, int show) {
  (void)instance;
  (void)previous;
  (void)show;
  if (command && strstr(command, "stay")) Sleep(60000);
  return 42;
}
