#include "frmLogin.h"

#include "../accesskeep/accesskeep_ids.h"
#include "fresh.h"
#include "panel.h"
#include "raii.h"
#include "settings.h"
#include "system.h"

using namespace winapp;

frmLogin::frmLogin(Panel& panel)
    : PanelForm({.name = "frmLogin", .caption = "Welcome", .client = {4935, 1920},
                 .defaultButton = "Command1", .cancelButton = "Command2"}), Login(panel.folder),
      panel_(panel) {}

void frmLogin::Form_Load() {
  if (panel_.command == "ABOUT") {
    Open(panel_, panel_.About);
    Hide();
    Unload();
    return;
  }
  if (!Login.Create()) {
    // Without the control there is neither protection nor a welcome to decide on: say which file
    // is missing and end once the user has read it.
    EndWithError(ReinstallMessage(panel_.InFolder(accesskeep::LibraryFile)) + ".");
    return;
  }
  EnsureDatabase();
  if (!DatabaseReadable()) {
    // A database that is there but cannot be read (another program holds it, a folder stands
    // in its place) would read as one without settings: protection off and the welcome, which
    // resets the settings file. Say so instead and end once the user has read it.
    EndWithError(Login.DatabasePath() +
                 " could not be read. Please close any program that may be using it and try again.");
    return;
  }
  // A control that cannot answer is no answer of "no password": the panel stays closed.
  std::optional<std::string> login = Login.RetrieveSetting("login");
  if (!login) {
    EndWithError(SettingsUnreadableMessage(panel_));
    return;
  }
  if (FlagValue(*login) != 0) return;  // stays as the password prompt
  if (!panel_.command.empty()) {
    if (panel_.command == "SETTINGS") Open(panel_, panel_.Settings);
  } else if (!OpenMainOrWelcome()) {
    return;
  }
  Hide();
  Unload();
}

void frmLogin::EndWithError(const std::string& message) {
  ShowErrorThenEnd(panel_, message);
  Hide();
  Unload();
}

void frmLogin::EnsureDatabase() {
  // A program folder without its user database gets the one a fresh installation holds, so that
  // protection and the welcome's confirmation have a user to be stored for.
  std::string path = Login.DatabasePath();
  if (!FileExists(path)) {
    accesskeep::WriteFreshDatabase(path);
    return;
  }
  // A database without the user (empty, damaged, or made elsewhere) could keep neither the
  // welcome's confirmation nor any setting: the welcome would come back at every start, resetting
  // the settings file each time, and the settings dialog could never be saved. The user is added
  // as the control adds one, and every other entry of the file stays as it is.
  if (DatabaseReadable()) accesskeep::EnsureUser(path, accesskeep::DefaultUser);
}

bool frmLogin::DatabaseReadable() {
  // Opened as the profile functions open it.
  winapp::File f(CreateFileA(Login.DatabasePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(f);
}

bool frmLogin::OpenMainOrWelcome() {
  // Unanswered, the welcome would reset the settings file of a user who confirmed it long ago.
  std::optional<std::string> showWelcome = Login.RetrieveSetting("ShowWelcome");
  if (!showWelcome) {
    EndWithError(SettingsUnreadableMessage(panel_));
    return false;
  }
  if (FlagValue(*showWelcome) != 7) Open(panel_, panel_.Welcome);
  else Open(panel_, panel_.Main);
  return true;
}

void frmLogin::Command1_Click() {
  long code = Login.ValidateUser(Text1.Text());
  if (code == 2) {
    ShowError(panel_, "Your password is incorrect", this);
    Text1.SetText("");
    return;
  }
  if (code == 0) {
    if (panel_.command == "SETTINGS") Open(panel_, panel_.Settings);
    else if (!OpenMainOrWelcome()) return;
    Hide();
    Unload();
    return;
  }
  Hide();
  Unload();
  app::End();
}

void frmLogin::Command2_Click() {
  Unload();
  app::End();
}
