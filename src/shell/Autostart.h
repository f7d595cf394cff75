#pragma once

#include <QByteArray>
#include <QString>

class MessageService;
class TLanguage_Base;

// The configuration folders that hold the XDG autostart folders.
struct AutostartFolders {
  QString userConfigDir;      // $XDG_CONFIG_HOME, normally ~/.config
  QString allUsersConfigDir;  // the system-wide one, normally /etc/xdg

  // The folders of the running session.
  static AutostartFolders System();
};

// The entry that starts the program at log-on: a desktop entry named after the
// product in the autostart folder of the user (<config>/autostart) or of all
// users. An entry is written for the user only; an all-users entry is the
// administrator's and is only looked at.
class Autostart {
 public:
  Autostart(QString productName, QString programPath, AutostartFolders folders);

  QString UserEntryPath() const;
  QString AllUsersEntryPath() const;

  // Whether an entry starts the program at log-on. A user entry marked
  // Hidden=true is the desktop's way of switching an entry off and does not count.
  bool ExistsForUser() const;
  bool ExistsForAllUsers() const;

  // Writes the user entry (the user's autostart folder is created when
  // missing), replacing an existing one. Exec is the program's own file,
  // without arguments; Path is its directory.
  bool Create() const;
  // Deletes the user entry; true when there is none afterwards.
  bool Remove() const;

  // The text of the entry Create writes.
  QByteArray EntryText() const;

 private:
  QString EntryFileName() const;

  QString productName_;
  QString programPath_;
  AutostartFolders folders_;
};

// What Startup_CheckBox shows when the options page is shown: disabled while an
// all-users entry exists, checked while a user entry exists.
struct StartupCheckBoxState {
  bool enabled = true;
  bool checked = false;
};
StartupCheckBoxState StartupCheckBoxStateOf(const Autostart& autostart);

// A click on Startup_CheckBox: checked creates the user entry ("Errors"/"Error34"
// when that fails), unchecked removes it when there is one ("Errors"/"Error35"
// when that fails). Returns the state the box then shows, which follows the
// entry as it is on disk, so a failure does not leave the box claiming otherwise.
StartupCheckBoxState StartupCheckBoxClicked(const Autostart& autostart, bool checked,
                                            MessageService& messages,
                                            const TLanguage_Base& language);
