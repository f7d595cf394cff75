#include "TLanguage/TLanguage_Verinfo.h"

#include "TLanguage/TLanguage_Base.h"

using namespace Qt::StringLiterals;

TLanguage_Verinfo TLanguage_Verinfo::FromLangfile(const TLanguage_Base& language) {
  const QString section = u"Verinfo"_s;
  TLanguage_Verinfo block;
  block.Str_Version = u"0"_s;
  block.Str_DownwardVersion = u"0"_s;

  const QString version = language.ReadFromLangfile(section, u"Version"_s, u"0"_s);
  const auto parsedVersion = ParseVersion(version);
  if (!parsedVersion) return block;
  block.Version = *parsedVersion;
  block.Str_Version = version;

  const QString downward = language.ReadFromLangfile(section, u"Downward_compatible_to"_s, u"0"_s);
  const auto parsedDownward = ParseVersion(downward);
  if (!parsedDownward) return block;
  block.DownwardVersion = *parsedDownward;
  block.Str_DownwardVersion = downward;

  block.Creator = language.ReadFromLangfile(section, u"Creator"_s, QString());
  block.URL = language.ReadFromLangfile(section, u"URL"_s, QString());
  return block;
}
