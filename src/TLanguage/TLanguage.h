#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <mutex>

#include "TLanguage/TLanguage_Base.h"
#include "TLanguage/TLanguage_Verinfo.h"
#include "acquisition/FormatQuantity.h"

// The program's language: the texts of the loaded file, the unit names of byte
// quantities and the file's version block.
class TLanguage : public TLanguage_Base {
 public:
  // Brings the windows into the newly loaded language (captions, grid headers,
  // combo box items). Provided by the user interface; may throw.
  using WindowTranslation = std::function<void(TLanguage&)>;

  explicit TLanguage(QString programDir);

  void SetWindowTranslation(WindowTranslation translation) {
    windowTranslation_ = std::move(translation);
  }

  // Loads the file, reads its version block and unit names, then runs the
  // window translation. An error of SetFN (missing or unreadable file) is
  // passed on; an error of a later step gives false.
  bool Load(const QString& name);

  QStringList Quantities1000() const;
  QStringList Quantities1024() const;
  // Both unit lists, as quantity formatting takes them.
  QuantityUnits Units() const;
  TLanguage_Verinfo Verinfo() const;

 private:
  WindowTranslation windowTranslation_;
  mutable std::mutex mutex_;
  QuantityUnits units_;
  TLanguage_Verinfo verinfo_;
};
