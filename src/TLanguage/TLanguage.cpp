#include "TLanguage/TLanguage.h"

using namespace Qt::StringLiterals;

TLanguage::TLanguage(QString programDir)
    : TLanguage_Base(std::move(programDir), u"Languagestring not found!"_s) {}

bool TLanguage::Load(const QString& name) {
  SetFN(name);
  try {
    TLanguage_Verinfo verinfo = TLanguage_Verinfo::FromLangfile(*this);
    QuantityUnits units;
    for (int n = 0; n <= 8; ++n) {
      units.names1000.append(GetString(u"Quantities_1000"_s, QString::number(n)));
      units.names1024.append(GetString(u"Quantities_1024"_s, QString::number(n)));
    }
    {
      std::lock_guard lock(mutex_);
      verinfo_ = std::move(verinfo);
      units_ = std::move(units);
    }
    if (windowTranslation_) windowTranslation_(*this);
    return true;
  } catch (...) {
    return false;
  }
}

QStringList TLanguage::Quantities1000() const {
  std::lock_guard lock(mutex_);
  return units_.names1000;
}

QStringList TLanguage::Quantities1024() const {
  std::lock_guard lock(mutex_);
  return units_.names1024;
}

QuantityUnits TLanguage::Units() const {
  std::lock_guard lock(mutex_);
  return units_;
}

TLanguage_Verinfo TLanguage::Verinfo() const {
  std::lock_guard lock(mutex_);
  return verinfo_;
}
