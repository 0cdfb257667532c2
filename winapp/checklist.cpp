#include "checklist.h"

#include <commctrl.h>

#include <climits>

namespace winapp {

CheckList::CheckList(Form* form, const char* name, Twips place, const CheckListColumn* columns, size_t count)
    : Control(form, name, place), columns_(columns), columnCount_(count) {}

void CheckList::Create(HWND parent) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  HWND w = CreateChild(parent, WC_LISTVIEWA,
                       WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_NOSORTHEADER,
                       WS_EX_CLIENTEDGE, nullptr);
  if (!w) return;
  SendMessageA(w, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  for (size_t c = 0; c < columnCount_; ++c) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = columns_[c].alignRight ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.pszText = const_cast<char*>(columns_[c].heading);
    SendMessageA(w, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
  }
  SizeColumns();
}

void CheckList::SizeColumns() {
  for (size_t c = 0; c < columnCount_; ++c) SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, c, Px(columns_[c].width));
}

void CheckList::DpiChanged() {
  Control::DpiChanged();
  if (hwnd_) SizeColumns();
}

void CheckList::Clear() {
  if (hwnd_) SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
}

void CheckList::AddRow(std::initializer_list<const char*> cells, bool checked) {
  if (!hwnd_) return;
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = INT_MAX;  // at the end
  int column = 0;
  int row = -1;
  for (const char* text : cells) {
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    if (column == 0)
      row = static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    else if (row >= 0)
      SendMessageA(hwnd_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    ++column;
  }
  // A new row of a list with ticks starts unticked whatever state it is inserted with.
  if (row >= 0 && checked) SetChecked(row, true);
}

void CheckList::SetRedraw(bool on) {
  if (!hwnd_) return;
  SendMessageA(hwnd_, WM_SETREDRAW, on, 0);
  if (on) InvalidateRect(hwnd_, nullptr, TRUE);
}

int CheckList::RowCount() const { return hwnd_ ? static_cast<int>(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0)) : 0; }

bool CheckList::Checked(int row) const {
  if (!hwnd_) return false;
  auto state = static_cast<UINT>(SendMessageA(hwnd_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void CheckList::SetChecked(int row, bool checked) {
  if (!hwnd_) return;
  LVITEMA item{};
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  item.stateMask = LVIS_STATEIMAGEMASK;
  SendMessageA(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

std::string CheckList::Cell(int row, int column) const {
  if (!hwnd_) return {};
  char text[512] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(hwnd_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

}  // namespace winapp
