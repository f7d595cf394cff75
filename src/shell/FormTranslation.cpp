#include "shell/FormTranslation.h"

#include <QWidget>

#include "TLanguage/TLanguage_Base.h"
#include "shell/TranslateForm.h"

QString LanguageText(const TLanguage_Base& language, const QString& section, const QString& key,
                     const QString& fallback) {
  try {
    return language.ReadFromLangfile(section, key, fallback);
  } catch (const LanguageError&) {
    return fallback;
  }
}

void ShowNoHints(QWidget& root) {
  const QList<QWidget*> widgets = root.findChildren<QWidget*>();
  for (QWidget* widget : widgets) {
    if (!widget->property("showHint").isValid()) widget->setProperty("showHint", false);
  }
}

void TranslateFormIfLoaded(QWidget& form, const TLanguage_Base& language) {
  try {
    TranslateForm(&form, language);
  } catch (const LanguageError&) {
    // Before the first language file the design texts stay.
  }
}
