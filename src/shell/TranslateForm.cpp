#include "shell/TranslateForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QVariant>
#include <algorithm>

#include "TLanguage/TLanguage_Base.h"

using namespace Qt::StringLiterals;

namespace {

enum class Role {
  None,         // not translated
  Label,        // QLabel
  Button,       // QAbstractButton
  TabPage,      // page of a QTabWidget
  GroupBox,     // QGroupBox
  RadioGroup,   // QGroupBox marked "radioGroup"
  LabeledEdit,  // QLineEdit marked "labeledEdit"
  Control,      // any other widget: hint only
  Menu,         // QMenu
  MenuItem,     // QAction
};

// Qt names its own parts "qt_..." or "_q_...", except the scroll buttons of a
// tab bar; none of them is a component of the form.
bool HasComponentName(const QObject* object) {
  const QString name = object->objectName();
  return !name.isEmpty() && !name.startsWith(u"qt_"_s) && !name.startsWith(u"_q_"_s) &&
         !qobject_cast<const QTabBar*>(object->parent());
}

bool ShowsHint(const QWidget* widget) {
  const QVariant value = widget->property("showHint");
  return !value.isValid() || value.toBool();
}

bool IsLabeledEdit(const QObject* object) {
  return qobject_cast<const QLineEdit*>(object) && object->property("labeledEdit").toBool();
}

QTabWidget* OwningTabWidget(const QWidget* widget) {
  auto* stack = qobject_cast<QStackedWidget*>(widget->parentWidget());
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  return tabs && tabs->indexOf(const_cast<QWidget*>(widget)) >= 0 ? tabs : nullptr;
}

// What the walk over one form knows beyond the single component.
struct FormComponents {
  QList<QObject*> components;
  QHash<const QLineEdit*, QLabel*> editLabels;  // labeled edit -> its label
};

FormComponents CollectComponents(QWidget* form) {
  FormComponents result;
  const QList<QObject*> all = form->findChildren<QObject*>();
  for (QObject* object : all) {
    auto* label = qobject_cast<QLabel*>(object);
    if (!label) continue;
    auto* edit = qobject_cast<QLineEdit*>(label->buddy());
    if (edit && IsLabeledEdit(edit) && !result.editLabels.contains(edit)) {
      result.editLabels.insert(edit, label);
    }
  }
  for (QObject* object : all) {
    if (HasComponentName(object)) result.components.append(object);
  }
  return result;
}

Role RoleOf(const QObject* object, const FormComponents& form) {
  if (qobject_cast<const QAction*>(object)) return Role::MenuItem;
  const auto* widget = qobject_cast<const QWidget*>(object);
  if (!widget) return Role::None;
  if (qobject_cast<const QMenu*>(widget)) return Role::Menu;
  if (qobject_cast<const QRadioButton*>(widget) && IsRadioGroup(widget->parentWidget())) {
    return Role::None;  // an item of its radio group
  }
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    for (const QLabel* editLabel : form.editLabels) {
      if (editLabel == label) return Role::None;  // spoken for by its labeled edit
    }
    return Role::Label;
  }
  if (qobject_cast<const QAbstractButton*>(widget)) return Role::Button;
  if (qobject_cast<const QGroupBox*>(widget)) {
    return IsRadioGroup(widget) ? Role::RadioGroup : Role::GroupBox;
  }
  if (IsLabeledEdit(widget)) return Role::LabeledEdit;
  if (OwningTabWidget(widget)) return Role::TabPage;
  return Role::Control;
}

bool HasCaption(Role role) { return role != Role::None && role != Role::Control; }

QLabel* LabelOf(const QObject* object, const FormComponents& form) {
  return form.editLabels.value(qobject_cast<const QLineEdit*>(object), nullptr);
}

void SetCaption(QObject* object, Role role, const QString& value, const QString& name,
                const QString& section, const FormComponents& form,
                const TLanguage_Base& language) {
  switch (role) {
    case Role::Label:
      static_cast<QLabel*>(object)->setText(value);
      break;
    case Role::Button:
      static_cast<QAbstractButton*>(object)->setText(value);
      break;
    case Role::TabPage: {
      auto* page = static_cast<QWidget*>(object);
      QTabWidget* tabs = OwningTabWidget(page);
      tabs->setTabText(tabs->indexOf(page), value);
      break;
    }
    case Role::GroupBox:
      static_cast<QGroupBox*>(object)->setTitle(value);
      break;
    case Role::RadioGroup: {
      auto* group = static_cast<QGroupBox*>(object);
      group->setTitle(value);
      QStringList items;
      // A missing list keeps the items the group has.
      if (language.ReadFromLangfile(section, name + u"->Items"_s, items)) {
        SetRadioGroupItems(group, items);
      }
      break;
    }
    case Role::LabeledEdit:
      if (QLabel* label = LabelOf(object, form)) {
        label->setText(value);
        if (ShowsHint(label))
          label->setToolTip(language.GetString(section, name + u"->LabelHint"_s));
      }
      break;
    case Role::Menu:
      static_cast<QMenu*>(object)->setTitle(value);
      break;
    case Role::MenuItem: {
      auto* action = static_cast<QAction*>(object);
      if (!action->isSeparator() && action->text() != u"-"_s) action->setText(value);
      break;
    }
    case Role::Control:
    case Role::None:
      break;
  }
}

void SetHint(QObject* object, Role role, const QString& hint) {
  if (role == Role::TabPage) {
    auto* page = static_cast<QWidget*>(object);
    // Over the page itself the hint would cover every control without one of its own.
    QTabWidget* tabs = OwningTabWidget(page);
    tabs->setTabToolTip(tabs->indexOf(page), hint);
  } else {
    static_cast<QWidget*>(object)->setToolTip(hint);
  }
}

bool TakesHint(const QObject* object, Role role) {
  return role != Role::None && role != Role::Menu && role != Role::MenuItem &&
         ShowsHint(static_cast<const QWidget*>(object));
}

void ClearRadioGroup(QGroupBox* group) {
  for (QRadioButton* button : RadioGroupItems(group)) {
    // An exclusive button cannot be unchecked while it is the checked one.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
  }
}

}  // namespace

QString FormSection(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const QVariant section = w->property("languageSection");
    if (section.isValid()) return section.toString();
    if (w->isWindow()) break;
  }
  return widget ? widget->window()->objectName() : QString();
}

void TranslateForm(QWidget* form, const TLanguage_Base& language) {
  if (!form) return;
  const QString section = FormSection(form);
  const QString notFound = language.NotFoundText();

  if (form->isWindow()) {
    const QString caption = language.GetString(section, u"Caption"_s);
    if (caption != notFound) form->setWindowTitle(caption);
  }

  const FormComponents components = CollectComponents(form);
  for (QObject* object : components.components) {
    const Role role = RoleOf(object, components);
    if (role == Role::None) continue;
    const QString name = object->objectName();
    if (HasCaption(role)) {
      const QString value = language.GetString(section, name + u"->Caption"_s);
      if (value != notFound) SetCaption(object, role, value, name, section, components, language);
    }
    if (TakesHint(object, role))
      SetHint(object, role, language.GetString(section, name + u"->Hint"_s));
  }
}

bool LoadComboBoxItems(QComboBox* comboBox, const QString& section, bool keepSelection,
                       const TLanguage_Base& language) {
  if (!comboBox) return false;
  const QString usedSection = section.isEmpty() ? FormSection(comboBox) : section;
  QStringList items;
  try {
    language.ReadFromLangfile(usedSection, comboBox->objectName() + u"->Items"_s, items);
  } catch (const std::exception&) {
    return false;
  }
  const QSignalBlocker blocker(comboBox);
  const int previous = comboBox->currentIndex();
  comboBox->clear();
  comboBox->addItems(items);
  comboBox->setCurrentIndex(keepSelection && previous >= 0 && previous < items.size() ? previous
                                                                                      : -1);
  return true;
}

QStringList MissingLanguageKeys(QWidget* form, const TLanguage_Base& language) {
  QStringList missing;
  if (!form) return missing;
  const QString section = FormSection(form);
  const QString notFound = language.NotFoundText();
  const auto check = [&](const QString& key) {
    if (language.GetString(section, key) == notFound) missing.append(section + u'/' + key);
  };

  if (form->isWindow()) check(u"Caption"_s);
  const FormComponents components = CollectComponents(form);
  for (QObject* object : components.components) {
    const Role role = RoleOf(object, components);
    if (role == Role::None) continue;
    const QString name = object->objectName();
    if (role == Role::MenuItem && static_cast<QAction*>(object)->isSeparator()) continue;
    if (HasCaption(role)) check(name + u"->Caption"_s);
    if (role == Role::RadioGroup) {
      QStringList items;
      if (!language.ReadFromLangfile(section, name + u"->Items"_s, items)) {
        missing.append(section + u'/' + name + u"->Items"_s);
      }
    }
    if (role == Role::LabeledEdit) {
      const QLabel* label = LabelOf(object, components);
      if (label && ShowsHint(label)) check(name + u"->LabelHint"_s);
    }
    if (TakesHint(object, role)) check(name + u"->Hint"_s);
  }
  return missing;
}

bool IsRadioGroup(const QWidget* widget) {
  return qobject_cast<const QGroupBox*>(widget) && widget->property("radioGroup").toBool();
}

QList<QRadioButton*> RadioGroupItems(const QGroupBox* group) {
  if (!group) return {};
  return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

int RadioGroupIndex(const QGroupBox* group) {
  const QList<QRadioButton*> items = RadioGroupItems(group);
  for (qsizetype i = 0; i < items.size(); ++i) {
    if (items[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

void SetRadioGroupIndex(QGroupBox* group, int index) {
  const QList<QRadioButton*> items = RadioGroupItems(group);
  index = std::clamp(index, -1, static_cast<int>(items.size()) - 1);
  if (index < 0) {
    ClearRadioGroup(group);
  } else {
    items[index]->setChecked(true);
  }
}

void SetRadioGroupItems(QGroupBox* group, const QStringList& items) {
  if (!group) return;
  const int previous = RadioGroupIndex(group);
  QList<QRadioButton*> buttons = RadioGroupItems(group);
  while (buttons.size() > items.size()) delete buttons.takeLast();
  QLayout* layout = group->layout();
  if (!layout) layout = new QVBoxLayout(group);
  for (qsizetype i = 0; i < items.size(); ++i) {
    if (i < buttons.size()) {
      buttons[i]->setText(items[i]);
    } else {
      auto* button = new QRadioButton(items[i], group);
      layout->addWidget(button);
      // A group that is shown already does not show children added later by itself.
      if (group->isVisible()) button->show();
    }
  }
  SetRadioGroupIndex(group, previous);
}
