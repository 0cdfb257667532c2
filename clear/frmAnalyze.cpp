#include "frmAnalyze.h"

#include "catalog.h"
#include "nameList.h"
#include "openbrowsers.h"
#include "programs.h"
#include "settings.h"
#include "system.h"

using namespace winapp;

namespace {

constexpr UINT WM_COUNTED = WM_APP + 1;  // wParam: the stage just counted
constexpr int Stages = 4;                // the cache, recent documents, typed addresses, browsers
constexpr int BarLeft = 12780, BarWidth = 1500, RowTop = 480, RowHeight = 300;

#define ROW_NAMES(p) {p "0", p "1", p "2", p "3", p "4", p "5", p "6", p "7", p "8", p "9", p "10", p "11", p "12"}
constexpr const char* NameIds[] = ROW_NAMES("lblName");
constexpr const char* CountIds[] = ROW_NAMES("lblCount");
constexpr const char* BarIds[] = ROW_NAMES("shpBar");
#undef ROW_NAMES
static_assert(std::size(NameIds) == frmAnalyze::Rows);

enum Trace { History, TmpInt, Cookies, Recent, URL, Browsers, Flags };
constexpr const char* FlagKeys[Flags] = {"History", "TmpInt", "Cookies", "Recent", "URL", "Browsers"};
constexpr const char* TraceNames[frmAnalyze::TraceRows] = {"History", "Temporary Internet Files", "Cookies",
                                                           "Recent Documents List", "Typed URLs"};

std::string Amount(unsigned long long n, const char* one, const char* many) {
  return Grouped(n) + " " + (n == 1 ? one : many);
}

void Append(std::string& text, unsigned long long n, const char* one, const char* many) {
  if (n) text += (text.empty() ? "" : ", ") + Amount(n, one, many);
}

void Add(Tally& to, const Tally& t) {
  to.items += t.items;
  to.bytes += t.bytes;
  to.kept += t.kept;
}

void Add(BrowserCounts& to, const BrowserCounts& c) {
  to.Pages += c.Pages;
  to.Visits += c.Visits;
  to.Cookies += c.Cookies;
  to.CookiesKept += c.CookiesKept;
  to.Rows += c.Rows;
  to.Files += c.Files;
  to.Bytes += c.Bytes;
}

void Add(BrowserSites& to, const BrowserSites& s) {
  to.Sites += s.Sites;
  to.SitesKept += s.SitesKept;
}

std::string BrowserDetail(unsigned char outcome, const BrowserCounts& c, const BrowserSites& s) {
  switch (outcome) {
    case BrowserRunning:
      return "open: close it to clear it";
    case BrowserDamaged:
      return "data damaged: it would be left alone";
    case BrowserRefused:
      return "data folder leads elsewhere: it would be left alone";
    default:
      break;
  }
  std::string text;
  Append(text, c.Pages, "page", "pages");
  Append(text, c.Visits, "visit", "visits");
  Append(text, c.Cookies, "cookie", "cookies");
  if (c.CookiesKept) text += (text.empty() ? "" : " ") + std::string("(") + Grouped(c.CookiesKept) + " kept)";
  // Sites are counted by host name; their data (Local Storage, IndexedDB...) is many records each,
  // so they stand beside the items and add nothing to them.
  if (s.Sites || s.SitesKept) {
    text += (text.empty() ? "" : ", ") + Grouped(s.Sites) + (s.Sites == 1 ? " site's data" : " sites' data");
    if (s.SitesKept) text += " (" + Grouped(s.SitesKept) + " kept)";
  }
  Append(text, c.Rows, "other", "others");
  Append(text, c.Files, "file", "files");
  if (c.Bytes) text += (text.empty() ? "" : ", ") + ByteSize(c.Bytes);
  return text.empty() ? "nothing to clear" : text;
}

}  // namespace

// The counting's own copy of everything it needs: the thread never touches the window's objects,
// and tells the window of each stage by a message.
struct frmAnalyze::Work {
  std::string folder;
  HWND window = nullptr;
  short flags[Flags] = {};
  Tally traces[TraceRows];
  BrowserTally browsers{};
  unsigned char outcomes[BrowserCount] = {};
  std::string browsersLine;
  HANDLE thread = nullptr;

  static DWORD WINAPI Main(void* self) {
    static_cast<Work*>(self)->Count();
    return 0;
  }
  void Done(int stage) { PostMessageA(window, WM_COUNTED, static_cast<WPARAM>(stage), 0); }
  void Count() {
    if (flags[TmpInt] == 1 || flags[Cookies] == 1) {
      // One walk serves both cache steps, which the run makes one after the other: the first
      // takes no cookie, so the second meets the same cookies.
      NameList names;
      FillCacheNames(names, winapp::CacheWalk::Read);
      if (flags[TmpInt] == 1) ClearTemporaryEntries(names, traces[TmpInt], true);
      std::vector<std::string> entries;
      if (flags[Cookies] == 1 && ReadKeepList(folder, entries, false))
        ClearCookieEntries(names, entries, traces[Cookies], true);
    }
    Done(1);
    if (flags[Recent] == 1) ClearRecentDocsList(&traces[Recent], true);
    Done(2);
    if (flags[URL] == 1) ClearTypedUrlList(&traces[URL], true);
    Done(3);
    if (flags[Browsers] == 1)
      browsersLine = ClearOtherBrowsers(folder, {flags[History], flags[TmpInt], flags[Cookies], flags[Recent], flags[URL]},
                                        &browsers, true, outcomes);
    Done(Stages);
  }
};

frmAnalyze::frmAnalyze(std::string folder, std::string commandText)
    : Form({.name = "frmAnalyze",
            .caption = "Quietrail 2003 Analyze",
            .client = {14400, 5400},
            .minButton = true,
            .defaultButton = "Command2",
            .cancelButton = "Command2"}),
      folder_(std::move(folder)),
      commandText_(std::move(commandText)) {
  for (int r = 0; r < Rows; ++r) {
    int top = RowTop + r * RowHeight;
    lblName[r] = std::make_unique<Label>(this, NameIds[r], Twips{120, top, 2280, 240}, "");
    lblCount[r] = std::make_unique<Label>(this, CountIds[r], Twips{2460, top, 10200, 240}, "");
    shpBar[r] = std::make_unique<Shape>(this, BarIds[r], Twips{BarLeft, top + 30, 0, 180}, RGB(3, 118, 222));
    shpBar[r]->SetVisible(false);
  }
}

frmAnalyze::~frmAnalyze() { WaitForWork(); }

void frmAnalyze::WaitForWork() {
  if (!work_ || !work_->thread) return;
  WaitForSingleObject(work_->thread, INFINITE);
  CloseHandle(work_->thread);
  work_->thread = nullptr;
}

void frmAnalyze::Form_Load() {
  // Only the exact text opens the window: anything else ends the program, unseen.
  if (commandText_ != AnalyzeCommand) {
    Unload();
    app::End();
    return;
  }
  Command1.SetEnabled(false);
  auto work = std::make_unique<Work>();
  work->folder = folder_;
  work->window = hwnd();
  {
    SettingsFilesLock lock;
    std::string settings = folder_ + "\\" + SettingsFileName;
    if (!SettingsFileExists(settings)) {
      lblStatus.SetText(SettingsMissingMessage(folder_));
      counted_ = true;
      return;
    }
    for (int f = 0; f < Flags; ++f) work->flags[f] = FlagValue(ReadIniValue(settings, "Settings", FlagKeys[f]));
  }
  for (int t = 0; t < TraceRows; ++t) {
    rows_[t].name = TraceNames[t];
    rows_[t].shown = work->flags[t] == 1;
  }
  work_ = std::move(work);
  work_->thread = CreateThread(nullptr, 0, Work::Main, work_.get(), 0, nullptr);
  if (!work_->thread) {
    // No thread to be had: the counting runs here, the window painted once it is done.
    work_->Count();
  }
}

bool frmAnalyze::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg != WM_COUNTED) return false;
  result = 0;
  ShowStage(static_cast<int>(wp));
  return true;
}

void frmAnalyze::ShowStage(int stage) {
  if (!work_ || counted_) return;
  shpProgress.SetWidth(10800.0f * static_cast<float>(stage) / Stages);
  static const char* const next[] = {"", "Counting Recent Documents...", "Counting Typed URLs...",
                                     "Counting Other Browsers' Data..."};
  if (stage < Stages) {
    lblStatus.SetText(next[stage]);
    return;
  }
  WaitForWork();
  counted_ = true;
  for (int t = 0; t < TraceRows; ++t) rows_[t].tally = work_->traces[t];
  rows_[History].detail = "cleared by Windows itself, not counted";
  rows_[TmpInt].detail = Amount(rows_[TmpInt].tally.items, "entry", "entries") + ", " + ByteSize(rows_[TmpInt].tally.bytes);
  rows_[Cookies].detail = Amount(rows_[Cookies].tally.items, "cookie", "cookies") + " (" + Grouped(rows_[Cookies].tally.kept) + " kept)";
  rows_[Recent].detail = Amount(rows_[Recent].tally.items, "shortcut", "shortcuts") + ", " + ByteSize(rows_[Recent].tally.bytes);
  rows_[URL].detail = Amount(rows_[URL].tally.items, "address", "addresses");
  if (work_->browsers.size) {
    // Browsers in the catalogue's order; those beyond the rows add up in the last one.
    std::vector<const browsers::CatalogEntry*> found;
    for (const browsers::CatalogEntry& b : browsers::Catalog)
      if (work_->outcomes[b.id] != BrowserNotFound) found.push_back(&b);
    BrowserCounts others{};
    BrowserSites othersSites{};
    for (size_t k = 0; k < found.size(); ++k) {
      const BrowserCounts& c = work_->browsers.Browser[found[k]->id];
      const BrowserSites& s = work_->browsers.Sites[found[k]->id];
      Row& row = rows_[TraceRows + std::min<size_t>(k, BrowserRows - 1)];
      if (k < BrowserRows - 1 || found.size() == BrowserRows) {
        row = {found[k]->name, BrowserDetail(work_->outcomes[found[k]->id], c, s), BrowserTotal(c), true};
      } else {
        if (work_->outcomes[found[k]->id] == BrowserCleared || work_->outcomes[found[k]->id] == BrowserFailed) {
          Add(others, c);
          Add(othersSites, s);
        }
        row = {"Other browsers", BrowserDetail(BrowserCleared, others, othersSites), BrowserTotal(others), true};
      }
    }
  }
  // A browser that would be left alone says so in its row; the line under the rows is for a module
  // that could not count at all.
  bool uncounted = work_->flags[Browsers] == 1 && !work_->browsers.size;
  lblStatus.SetText(uncounted ? work_->browsersLine : "Counted: nothing was changed.");
  ShowRows();
  Command1.SetEnabled(true);
  if (closing_) {
    Unload();
    app::End();
  }
}

Tally frmAnalyze::Total() const {
  Tally total;
  for (const Row& row : rows_)
    if (row.shown) Add(total, row.tally);
  return total;
}

void frmAnalyze::ShowRows() {
  unsigned long long most = 0;
  for (const Row& row : rows_)
    if (row.shown && row.tally.items > most) most = row.tally.items;
  int line = 0;
  // The rows shown close up from the top; a bar's length is its row's share of the largest.
  for (const Row& row : rows_) {
    if (!row.shown) continue;
    lblName[line]->SetText(row.name);
    lblCount[line]->SetText(row.detail);
    float width = most ? static_cast<float>(BarWidth * (static_cast<double>(row.tally.items) / most)) : 0.0f;
    shpBar[line]->SetWidth(width);
    shpBar[line]->SetVisible(width > 0);
    ++line;
  }
  if (line == 0) {
    // No trace chosen: an empty window would look like a count that failed.
    lblName[0]->SetText("Nothing chosen");
    lblCount[0]->SetText("choose what to clear under Settings in the control panel");
    shpBar[0]->SetVisible(false);
    line = 1;
  }
  for (; line < Rows; ++line) {
    lblName[line]->SetText("");
    lblCount[line]->SetText("");
    shpBar[line]->SetVisible(false);
  }
  Tally total = Total();
  std::string text = "In all: " + Amount(total.items, "item", "items") + ", " + ByteSize(total.bytes);
  if (total.kept) text += "; " + Amount(total.kept, "cookie", "cookies") + " kept";
  lblTotal.SetText(text);
  Redraw();
}

void frmAnalyze::Form_Close() {
  if (!counted_) {
    // The counting is not stopped half way through a database: the window goes, and the program
    // ends as soon as the counting has.
    closing_ = true;
    Hide();
    return;
  }
  Unload();
  app::End();
}

void frmAnalyze::Command1_Click() {
  if (!counted_) return;
  if (!ReadyBrowsersForRun(hwnd(), folder_)) return;
  StartRun();
  Unload();
  app::End();
}

void frmAnalyze::Command2_Click() { Form_Close(); }

void frmAnalyze::StartRun() { StartProgram(hwnd(), ClearProgram, LaunchToken); }
