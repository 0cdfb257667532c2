// A list of rows with a tick before each, in columns under headings: the list view of the common
// controls in its report view. A row's tick is the user's to change (click or Space).
#pragma once

#include <initializer_list>
#include <string>

#include "control.h"

namespace winapp {

struct CheckListColumn {
  const char* heading;
  int width;  // twips
  bool alignRight = false;
};

class CheckList : public Control {
 public:
  // `columns` outlive the control (a form's constant table).
  template <size_t N>
  CheckList(Form* form, const char* name, Twips place, const CheckListColumn (&columns)[N])
      : CheckList(form, name, place, columns, N) {}
  CheckList(Form* form, const char* name, Twips place, const CheckListColumn* columns, size_t count);
  void Clear();
  // A row at the end, its cells in column order.
  void AddRow(std::initializer_list<const char*> cells, bool checked);
  // Off while thousands of rows go in, so that the list is painted once, after them.
  void SetRedraw(bool on);
  int RowCount() const;
  bool Checked(int row) const;
  void SetChecked(int row, bool checked);
  std::string Cell(int row, int column) const;

 protected:
  void Create(HWND parent) override;
  void DpiChanged() override;

 private:
  void SizeColumns();
  const CheckListColumn* columns_;
  size_t columnCount_;
};

}  // namespace winapp
