// The module's dealings with the disk where another program could have laid a trap: caches
// emptied without following a link on the way or inside, and data folders moved elsewhere told
// apart.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "disk.h"
#include "hostile.h"
#include "test_util.h"

namespace {

using browsers::DataFolderReach;
using browsers::EmptyFolder;
using browsers::FolderReach;

std::wstring LocalFolder() { return browsers::UserFolder(CSIDL_LOCAL_APPDATA); }

void MakeFolders(const std::wstring& path) { SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); }
void MakeFile(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << browsers::Utf8(path);
  CloseHandle(f);
}
bool There(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A link to a folder as the platform makes one; false where it cannot (then the cases that need
// one are skipped with the reason).
bool LinkFolder(const std::wstring& link, const std::wstring& target) {
  using MakeLink = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  auto make = reinterpret_cast<MakeLink>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
  auto isLink = [&] {
    DWORD a = GetFileAttributesW(link.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
  };
  if (make && make(link.c_str(), target.c_str(), 1 /* a folder */) && isLink()) return true;
  // Wine makes none: a symbolic link of the host, which it shows as a reparse point, stands in.
  std::string unixLink = hostile::UnixPath(browsers::Utf8(link)), unixTarget = hostile::UnixPath(browsers::Utf8(target));
  return !unixLink.empty() && !unixTarget.empty() &&
         hostile::RunOnHost("ln -s '" + unixTarget + "' '" + unixLink + "'") && isLink();
}

class Disk : public ::testing::Test {
 protected:
  void TearDown() override { testutil::RemoveTree(browsers::Utf8(root)); }
  const std::wstring root = LocalFolder() + L"\\QrDiskTest";
  const std::wstring cache = root + L"\\Profile\\Cache";
};

TEST_F(Disk, ACacheBelowTheUsersFolderIsEmptiedAndNothingElse) {
  MakeFolders(cache + L"\\a\\b");
  MakeFile(cache + L"\\a\\b\\entry");
  MakeFile(cache + L"\\index");
  // A read-only file, at the top or deeper, is no obstacle in a cache the browser owns.
  for (const wchar_t* name : {L"\\locked", L"\\a\\b\\locked"}) {
    MakeFile(cache + name);
    ASSERT_TRUE(SetFileAttributesW((cache + name).c_str(), FILE_ATTRIBUTE_READONLY));
  }
  EXPECT_TRUE(EmptyFolder(cache));
  EXPECT_FALSE(There(cache + L"\\locked"));
  EXPECT_TRUE(There(cache));
  EXPECT_FALSE(There(cache + L"\\a"));
  EXPECT_FALSE(There(cache + L"\\index"));

  // Outside the user's folders, or by a path that climbs, nothing is emptied.
  const std::wstring elsewhere = L"C:\\QrDiskTestOutside";
  MakeFolders(elsewhere);
  MakeFile(elsewhere + L"\\keep");
  MakeFolders(cache + L"\\x");
  MakeFile(cache + L"\\x\\keep");
  const std::wstring refused[] = {elsewhere, root + L"\\Profile\\..\\Profile\\Cache", cache + L"\\"};
  for (const std::wstring& path : refused) {
    SCOPED_TRACE(browsers::Utf8(path));
    EXPECT_FALSE(EmptyFolder(path));
  }
  EXPECT_TRUE(There(elsewhere + L"\\keep"));
  EXPECT_TRUE(There(cache + L"\\x\\keep"));
  testutil::RemoveTree(browsers::Utf8(elsewhere));
  // A cache that is not there is empty.
  EXPECT_TRUE(EmptyFolder(root + L"\\Profile\\Gone"));
}

TEST_F(Disk, FoldersAreRemovedOneAfterAnother) {
  // Sites' folders side by side, then their parent: holding the parent's path for the first
  // ones must not keep the parent itself from going.
  const std::wstring sites = root + L"\\Profile\\Sites";
  for (const wchar_t* site : {L"\\a\\deep", L"\\b"}) MakeFolders(sites + site);
  MakeFile(sites + L"\\a\\deep\\entry");
  MakeFile(sites + L"\\file");
  const std::wstring elsewhere = L"C:\\QrDiskTestOutside";
  MakeFolders(elsewhere + L"\\site");
  {
    browsers::FolderRemoval removal;
    EXPECT_TRUE(removal.Remove(sites + L"\\a"));
    EXPECT_TRUE(removal.Remove(sites + L"\\b"));
    EXPECT_TRUE(removal.Remove(sites + L"\\gone"));
    EXPECT_TRUE(removal.Remove(root + L"\\Gone\\site"));
    // A file where a folder was expected stays; so does anything outside the user's folders.
    EXPECT_FALSE(removal.Remove(sites + L"\\file"));
    EXPECT_FALSE(removal.Remove(elsewhere + L"\\site"));
    EXPECT_TRUE(There(sites + L"\\file"));
    EXPECT_TRUE(There(elsewhere + L"\\site"));
    EXPECT_TRUE(DeleteFileW((sites + L"\\file").c_str()));
    EXPECT_TRUE(removal.Remove(sites));
  }
  EXPECT_FALSE(There(sites));
  EXPECT_TRUE(There(root + L"\\Profile"));
  testutil::RemoveTree(browsers::Utf8(elsewhere));
}

TEST_F(Disk, DataFoldersAreToldApart) {
  MakeFolders(root + L"\\Plain");
  MakeFile(root + L"\\AFile");
  EXPECT_EQ(DataFolderReach(root + L"\\Plain"), FolderReach::Plain);
  EXPECT_EQ(DataFolderReach(root + L"\\Missing"), FolderReach::Missing);
  EXPECT_EQ(DataFolderReach(root + L"\\AFile"), FolderReach::Missing);
}

TEST_F(Disk, LinksAreNeverFollowed) {
  const std::wstring target = LocalFolder() + L"\\QrDiskTestTarget";
  MakeFolders(target + L"\\Cache");
  MakeFile(target + L"\\precious");
  MakeFile(target + L"\\Cache\\precious");
  MakeFolders(cache);
  bool linked = LinkFolder(cache + L"\\inside", target) && LinkFolder(root + L"\\Linked", target);
  if (linked) {
    // A link inside the cache goes as a link (Wine cannot remove a host's link to a folder: the
    // cache then counts as not emptied); what it points at stays either way.
    EXPECT_EQ(EmptyFolder(cache), !There(cache + L"\\inside"));
    EXPECT_TRUE(There(target + L"\\precious"));
    // A link on the way to the cache, or the cache itself a link: nothing is emptied.
    EXPECT_FALSE(EmptyFolder(root + L"\\Linked\\Cache"));
    EXPECT_FALSE(EmptyFolder(root + L"\\Linked"));
    EXPECT_TRUE(There(target + L"\\Cache\\precious"));
    EXPECT_TRUE(There(target + L"\\precious"));
    // A data folder moved to a folder of the user's own on a local disk may be followed.
    EXPECT_EQ(DataFolderReach(root + L"\\Linked"), FolderReach::OwnLocalJunction);
    // A site's folder that is a link goes as a link; one under a linked parent is not touched.
    browsers::FolderRemoval removal;
    EXPECT_FALSE(removal.Remove(root + L"\\Linked\\Cache"));
    EXPECT_TRUE(There(target + L"\\Cache\\precious"));
    removal.Remove(root + L"\\Linked");
    EXPECT_TRUE(There(target + L"\\precious"));
  }
  testutil::RemoveTree(browsers::Utf8(target));
  if (!linked) GTEST_SKIP() << "the platform makes no folder links here (CreateSymbolicLinkW)";
}

}  // namespace
