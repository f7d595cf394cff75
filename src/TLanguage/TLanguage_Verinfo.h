#pragma once

#include <QString>

#include "VerInfo/Verinfo.h"

class TLanguage_Base;

// The version block of a language file: for which program versions it was written.
struct TLanguage_Verinfo {
  VersionNumbers Version{};
  QString Str_Version;
  VersionNumbers DownwardVersion{};
  QString Str_DownwardVersion;
  QString Creator;
  QString URL;

  // Reads section "Verinfo" of the loaded file, starting from the key defaults
  // ("0" for both versions, empty texts). Reading stops at a version text with
  // fewer than four items: that field and all later ones keep those defaults,
  // so nothing of a previously loaded file is taken for this one's.
  static TLanguage_Verinfo FromLangfile(const TLanguage_Base& language);

  friend bool operator==(const TLanguage_Verinfo&, const TLanguage_Verinfo&) = default;
};
