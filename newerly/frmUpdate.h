// The download window: a second after it opens it fetches the programs the user chose, records
// their versions in library.ini, removes the version list and ends the program; or reports the
// failure and hands the compare window back to the user.
#pragma once

#include <string>
#include <vector>

#include "declarations.h"
#include "form.h"

class frmCompare;

class frmUpdate : public winapp::Form {
 public:
  frmUpdate(frmCompare& compare, std::string folder, std::string baseUrl);

  // Fetches and checks the file for `sLocalFile` and leaves it beside it, flushed, as
  // `sLocalFile` + ".new"; `library` for the browser module.
  bool DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile,
                    const declarations::ListedFile& listed, bool library = false);

 protected:
  void Form_Load() override;
  void Form_Close() override;

 private:
  winapp::Label Label1{this, "Label1", {480, 420, 3600, 255}, "Downloading updates...", {.align = winapp::Align::Centre}};
  winapp::Timer Timer1{this, "Timer1", 1000, true, [this] { Timer1_Timer(); }};

  frmCompare& compare_;
  std::string folder_;
  std::string baseUrl_;
  bool running_ = false;

  void Timer1_Timer();
  bool InstallUpdates();
  bool DownloadUpdates(const std::vector<const declarations::UpdatableProgram*>& chosen);
  bool ReplaceFiles(const std::vector<const declarations::UpdatableProgram*>& chosen);
  void RemoveStaged();
  bool RecordVersions();
  void Succeeded();
  void Failed();
};
