#include <gtest/gtest.h>

#include "host.h"
#include "test_util.h"

using namespace akt;

TEST(Probe, Layout) {
  winapp::ComApartment com;
  winapp::HostedObject obj;
  ASSERT_EQ(winapp::HostedObject::CreateFromLibrary(ClsId, LibraryPath(), obj), S_OK);
  Control c(obj.get());
  testutil::TempFolder dir;
  std::wstring db = Wide(dir / "panel.dll");
  auto o = c.CreateUser(L"A", L"secret1", db);
  printf("hr %lx status %ld\n", o.hr, o.Status());
  c.CreateUser(L"B", L"secret1", db);
  c.CreateUser(L"C", L"secret1", db);
  printf("[%s]\n", testutil::ReadWholeFile(dir / "panel.dll").c_str());
  o = c.KillUser(L"B", db);
  printf("kill %lx %ld\n[%s]\n", o.hr, o.Status(), testutil::ReadWholeFile(dir / "panel.dll").c_str());
  o = c.UserArray(db);
  printf("ua %lx %zu\n", o.hr, o.Names().size());
  o = c.KillUser(L"B", Wide(dir / "none.dll"));
  printf("kill missing hr %lx scode %lx desc %ls\n", o.hr, o.scode, o.description.c_str());
  o = c.ValidateUser(L"A", L"secret1", db);
  printf("validate %lx %ld %ls | %ls\n", o.hr, o.Status(), c.GetStatus().c_str(), c.CurrentUserName().c_str());
  o = c.StoreSetting(L"A", L"x", L"a\r\nPswd=1", db);
  printf("store nl %lx %lx\n", o.hr, o.scode);
  o = c.About();
  printf("about %lx\n", o.hr);
  printf("acp %u\n", GetACP());
  // by-value to a by-reference parameter
  o = c.Invoke(DISPID_ChangePassword, {Str(L"A"), Str(L"secret2"), Str(db), Bool(0)});
  printf("change byval %lx %ld\n", o.hr, o.Status());
  WritePrivateProfileStringA("S", "k", "line1\r\nline2", (dir / "nl.ini").c_str());
  WritePrivateProfileStringA("S", " Pswd ", "x", (dir / "nl.ini").c_str());
  WritePrivateProfileStringA("S", "PSWD", "y", (dir / "nl.ini").c_str());
  WritePrivateProfileStringA("S", "e", " ", (dir / "nl.ini").c_str());
  printf("[%s]\n", testutil::ReadWholeFile(dir / "nl.ini").c_str());
}
