#pragma once

#include <QString>

class QWidget;
class TLanguage_Base;

// The text of a key, or `fallback` when the key is missing or no language
// file is loaded yet.
QString LanguageText(const TLanguage_Base& language, const QString& section, const QString& key,
                     const QString& fallback);

// Marks every widget below `root` that has not been marked otherwise as
// showing no hint, so the form translation gives tool tips only where a form
// asks for them.
void ShowNoHints(QWidget& root);

// TranslateForm, quietly doing nothing while no language file is loaded.
void TranslateFormIfLoaded(QWidget& form, const TLanguage_Base& language);
