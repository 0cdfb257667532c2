// The sites with cookies, picked into the keep-list: the platform's cookies counted by site, the
// sites the editor's text keeps ticked, and what OK and Cancel do to the editor's text.
#include <gtest/gtest.h>

#include "panel.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

struct Row {
  std::string site, cookies;
  bool ticked;
  bool operator==(const Row&) const = default;
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.site << " " << r.cookies << (r.ticked ? " ticked" : ""); }

class CookieSitesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\browsers.dll", dir.path()));
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", "[Settings]\r\nCookies=1\r\nBrowsers=0\r\n"));
    testcache::EmptyCache();
    // One site under three hosts, one kept by a later entry, one other; a content entry that
    // names a cookie host is no cookie.
    for (const char* name : {"Cookie:qr@www.example.com/", "Cookie:qr@.example.com/path", "Cookie:qr@example.com/",
                             "Cookie:qr@mail.Example.com/", "Cookie:qr@shop.kept.org/", "Cookie:qr@tracker.net/a",
                             "Cookie:qr@tracker.net/b"})
      ASSERT_TRUE(testcache::SeedCookie(name)) << name;
    ASSERT_TRUE(testcache::SeedContent("http://www.content.com/page"));
  }
  void TearDown() override {
    sites().Unload();
    panel.CookieExclude.Unload();
    testcache::EmptyCache();
    winapp::app::ResetForTests();
  }
  frmCookieSites& sites() { return panel.CookieExclude.Sites; }
  HWND box() { return testutil::ChildNamed(panel.CookieExclude.hwnd(), "txtExclude"); }
  // Opens the sites from the editor holding `text`, and waits for the list.
  void Open(const std::string& text) {
    winapp::app::ResetForTests();
    ASSERT_TRUE(panel.CookieExclude.Load());
    SetWindowTextA(box(), text.c_str());
    SendMessageA(testutil::ChildNamed(panel.CookieExclude.hwnd(), "cmdSites"), BM_CLICK, 0, 0);
    ASSERT_TRUE(testutil::PumpUntil([&] { return sites().Listed(); }));
  }
  winapp::CheckList& list() { return *dynamic_cast<winapp::CheckList*>(sites().Find("lstSites")); }
  std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (int i = 0; i < list().RowCount(); ++i) rows.push_back({list().Cell(i, 0), list().Cell(i, 1), list().Checked(i)});
    return rows;
  }
  void Press(const char* button) { SendMessageA(testutil::ChildNamed(sites().hwnd(), button), BM_CLICK, 0, 0); }

  testutil::TempFolder dir;
  Panel panel{dir.path(), ""};
};

TEST_F(CookieSitesTest, ListsEverySiteOnceWithItsCookiesAndTicksWhatTheTextKeeps) {
  // The text as it stands, not as saved: " KEPT" is read back without its blank, as a run reads it.
  Open("bank, KEPT,");
  EXPECT_EQ(Rows(), (std::vector<Row>{{"example.com", "3", false},
                                      {"mail.example.com", "1", false},
                                      {"shop.kept.org", "1", true},
                                      {"tracker.net", "2", false}}));
  EXPECT_NE(testutil::TextOf(testutil::ChildNamed(sites().hwnd(), "lblStatus")).find("4 sites have cookies."),
            std::string::npos);
  // The editor stays disabled under the window, and comes back when it closes.
  EXPECT_FALSE(IsWindowEnabled(panel.CookieExclude.hwnd()));
}

TEST_F(CookieSitesTest, OkAddsTheNewlyTickedSitesAndCancelNothing) {
  struct Case {
    const char* text;
    std::vector<int> tick;  // rows ticked by the user
    const char* button;
    const char* after;
  } cases[] = {
      {"kept", {0, 3}, "Command1", "kept,example.com,tracker.net"},
      // The empty entry a final comma leaves takes the first name; a kept site ticked again adds nothing.
      {"kept,", {2, 3}, "Command1", "kept,tracker.net"},
      {"", {1}, "Command1", "mail.example.com"},
      {"kept", {0, 3}, "Command2", "kept"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Open(cases[i].text);
    for (int row : cases[i].tick) list().SetChecked(row, true);
    Press(cases[i].button);
    EXPECT_FALSE(sites().Loaded());
    EXPECT_TRUE(IsWindowEnabled(panel.CookieExclude.hwnd()));
    EXPECT_EQ(testutil::TextOf(box()), cases[i].after);
    // Nothing is saved until the editor's own OK.
    EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), "");
    panel.CookieExclude.Unload();
  }
}

TEST_F(CookieSitesTest, WithoutTheModuleTheWindowSaysSo) {
  ASSERT_TRUE(DeleteFileA((dir / "browsers.dll").c_str()));
  Open("kept");
  EXPECT_EQ(list().RowCount(), 0);
  EXPECT_EQ(testutil::TextOf(testutil::ChildNamed(sites().hwnd(), "lblStatus")),
            "browsers.dll not found: the sites cannot be listed");
}

}  // namespace
