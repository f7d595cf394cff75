#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QRadioButton;
class QWidget;
class TLanguage_Base;

// Translation of a form's captions, hints and item lists from the language file.
//
// Section: the "languageSection" dynamic property of the form or of its nearest
// ancestor that has one, else the objectName of the top-level window
// ("TMainform", "TGraphsform", "TDateForm").
//
// Components are the form's descendants with an objectName, in depth-first
// order; Qt's own parts ("qt_..." and "_q_..." names, the buttons of a tab bar)
// are skipped.
// Each gets its texts by role:
//   QLabel                 text         <- name->Caption
//   QAbstractButton        text         <- name->Caption (push, tool, check and radio buttons)
//   page of a QTabWidget   tab text     <- name->Caption; its hint becomes the tab's tool tip
//   QGroupBox              title        <- name->Caption
//   radio group            title        <- name->Caption, items <- name->Items (a QGroupBox
//                          with the dynamic property "radioGroup" true; its direct QRadioButton
//                          children are its items and are not components of their own)
//   labeled edit           label text   <- name->Caption, label tool tip <- name->LabelHint
//                          (a QLineEdit with the dynamic property "labeledEdit" true; its label
//                          is the QLabel whose buddy it is, which is no component of its own)
//   QMenu                  title        <- name->Caption
//   QAction                text         <- name->Caption, except separators
// A missing caption key leaves the caption as it is; a present but empty one
// empties it. Every widget except menus that shows hints (dynamic property
// "showHint", default true) gets name->Hint as tool tip, whether the key is
// present or not, so a missing hint reads "Languagestring not found!".
// A top-level form also gets the section's "Caption" as window title.

// The language section of the form containing the widget.
QString FormSection(const QWidget* widget);

// Translates the form and every component in it. Throws LanguageError while no
// language file is loaded.
void TranslateForm(QWidget* form, const TLanguage_Base& language);

// Replaces the items of the combo box by the list under its name + "->Items"
// (a missing key gives the single item "Error!"). An empty section means the
// combo box's own form section. With keepSelection the previous index is kept
// when it is still below the new count; otherwise nothing is selected. Emits no
// change signals, as a program-made change is no user choice. False when no
// language file is loaded.
bool LoadComboBoxItems(QComboBox* comboBox, const QString& section, bool keepSelection,
                       const TLanguage_Base& language);

// Every key the translation of the form reads whose absence shows up on
// screen (captions of components that have one, hints of components that show
// them, radio group items, labeled-edit label hints), missing from the loaded
// file, as "section/key". Throws LanguageError while no file is loaded.
QStringList MissingLanguageKeys(QWidget* form, const TLanguage_Base& language);

// Radio groups: a QGroupBox marked with the dynamic property "radioGroup".
bool IsRadioGroup(const QWidget* widget);
QList<QRadioButton*> RadioGroupItems(const QGroupBox* group);
// Index of the checked item, -1 when none is checked.
int RadioGroupIndex(const QGroupBox* group);
// Checks the item; an index outside the items is limited to -1 .. count - 1,
// and -1 clears every item.
void SetRadioGroupIndex(QGroupBox* group, int index);
// Gives the group these items, reusing its radio buttons (so connections to
// them stay) and adding or deleting buttons for the difference; the checked
// index is kept, limited to the new items.
void SetRadioGroupItems(QGroupBox* group, const QStringList& items);
