#include "shell/TranslateForm.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "TLanguage/TLanguage.h"

using namespace Qt::StringLiterals;

namespace {

const QString kNotFound = u"Languagestring not found!"_s;

// Items of a language list: separated by 0xFE, quoted with 0xFF when they hold blanks.
QByteArray List(std::initializer_list<const char*> items) {
  QByteArray out;
  for (const char* item : items) {
    if (!out.isEmpty()) out += '\xfe';
    const QByteArray text(item);
    out += text.contains(' ') ? '\xff' + text + '\xff' : text;
  }
  return out;
}

class TranslateFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    Write(
        "[TDemo]\n"
        "Caption=Demo window\n"
        "Title_Label->Caption=Translated label\n"
        "Title_Label->Hint=Label hint\n"
        "Empty_Label->Caption=\n"
        "Ok_Button->Caption=Translated button\n"
        "Ok_Button->Hint=Button hint\n"
        "Flag_CheckBox->Caption=Translated check box\n"
        "Flag_CheckBox->Hint=\n"
        "Lone_RadioButton->Caption=Translated radio button\n"
        "Frame_GroupBox->Caption=Translated group\n"
        "First_Page->Caption=Translated page\n"
        "First_Page->Hint=Page hint\n"
        "File_Menu->Caption=Translated menu\n"
        "Open_Action->Caption=Translated action\n"
        "Separator_Action->Caption=Translated separator\n"
        "Dash_Action->Caption=Translated dash\n"
        "Choice_RadioGroup->Caption=Translated radio group\n"
        "Choice_RadioGroup->Items=" +
        List({"Item one", "Item two", "Item three"}) +
        "\n"
        "Item_RadioButton->Caption=Own caption of an item\n"
        "Name_Edit->Caption=Translated edit label\n"
        "Name_Edit->LabelHint=Label of the edit hint\n"
        "Name_Edit->Hint=Edit hint\n"
        "Name_Label->Caption=Own caption of the edit label\n"
        "Units_ComboBox->Items=" +
        List({"B", "kB", "MB"}) +
        "\n"
        "[Other]\n"
        "Caption=Other section caption\n"
        "Title_Label->Caption=Other section label\n"
        "Units_ComboBox->Items=" +
        List({"x", "y"}) + "\n");
    ASSERT_TRUE(language_.Load(u"test.lan"_s));
    BuildForm();
  }

  void Write(const QByteArray& content) {
    QFile f(QDir(dir_.path()).filePath(u"test.lan"_s));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  }

  template <typename T>
  T* Add(T* widget, const QString& name) {
    widget->setObjectName(name);
    layout_->addWidget(widget);
    return widget;
  }

  void BuildForm() {
    form_.setObjectName(u"TDemo"_s);
    form_.setWindowTitle(u"Design window"_s);
    layout_ = new QVBoxLayout(&form_);
    Add(new QLabel(u"design"_s), u"Title_Label"_s);
    Add(new QLabel(u"design"_s), u"Empty_Label"_s);
    Add(new QLabel(u"design"_s), u"Untranslated_Label"_s)->setProperty("showHint", false);
    Add(new QPushButton(u"design"_s), u"Ok_Button"_s);
    Add(new QCheckBox(u"design"_s), u"Flag_CheckBox"_s);
    Add(new QRadioButton(u"design"_s), u"Lone_RadioButton"_s);
    Add(new QGroupBox(u"design"_s), u"Frame_GroupBox"_s);
    Add(new QLineEdit(u"design"_s), u"Plain_Edit"_s)->setProperty("showHint", false);

    tabs_ = Add(new QTabWidget, u"Pages_TabWidget"_s);
    tabs_->setProperty("showHint", false);
    page_ = new QWidget;
    page_->setObjectName(u"First_Page"_s);
    tabs_->addTab(page_, u"design"_s);

    menu_ = new QMenu(u"design"_s, &form_);
    menu_->setObjectName(u"File_Menu"_s);
    open_ = menu_->addAction(u"design"_s);
    open_->setObjectName(u"Open_Action"_s);
    separator_ = menu_->addSeparator();
    separator_->setObjectName(u"Separator_Action"_s);
    dash_ = menu_->addAction(u"-"_s);
    dash_->setObjectName(u"Dash_Action"_s);

    group_ = Add(new QGroupBox(u"design"_s), u"Choice_RadioGroup"_s);
    group_->setProperty("radioGroup", true);
    auto* groupLayout = new QVBoxLayout(group_);
    for (const QString& text : {u"a"_s, u"b"_s}) {
      auto* button = new QRadioButton(text, group_);
      groupLayout->addWidget(button);
    }
    RadioGroupItems(group_)[0]->setObjectName(u"Item_RadioButton"_s);
    SetRadioGroupIndex(group_, 1);

    edit_ = Add(new QLineEdit, u"Name_Edit"_s);
    edit_->setProperty("labeledEdit", true);
    editLabel_ = Add(new QLabel(u"design"_s), u"Name_Label"_s);
    editLabel_->setBuddy(edit_);

    combo_ = Add(new QComboBox, u"Units_ComboBox"_s);
    combo_->setProperty("showHint", false);
  }

  template <typename T>
  T* Find(const QString& name) {
    return form_.findChild<T*>(name);
  }

  QTemporaryDir dir_;
  TLanguage language_{dir_.path()};
  QWidget form_;
  QVBoxLayout* layout_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QWidget* page_ = nullptr;
  QMenu* menu_ = nullptr;
  QAction* open_ = nullptr;
  QAction* separator_ = nullptr;
  QAction* dash_ = nullptr;
  QGroupBox* group_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QLabel* editLabel_ = nullptr;
  QComboBox* combo_ = nullptr;
};

TEST_F(TranslateFormTest, EachRoleGetsItsCaption) {
  TranslateForm(&form_, language_);

  EXPECT_EQ(form_.windowTitle(), u"Demo window"_s);
  EXPECT_EQ(Find<QLabel>(u"Title_Label"_s)->text(), u"Translated label"_s);
  EXPECT_EQ(Find<QPushButton>(u"Ok_Button"_s)->text(), u"Translated button"_s);
  EXPECT_EQ(Find<QCheckBox>(u"Flag_CheckBox"_s)->text(), u"Translated check box"_s);
  EXPECT_EQ(Find<QRadioButton>(u"Lone_RadioButton"_s)->text(), u"Translated radio button"_s);
  EXPECT_EQ(Find<QGroupBox>(u"Frame_GroupBox"_s)->title(), u"Translated group"_s);
  EXPECT_EQ(tabs_->tabText(0), u"Translated page"_s);
  EXPECT_EQ(menu_->title(), u"Translated menu"_s);
  EXPECT_EQ(open_->text(), u"Translated action"_s);
  EXPECT_EQ(group_->title(), u"Translated radio group"_s);
  EXPECT_EQ(editLabel_->text(), u"Translated edit label"_s);
}

TEST_F(TranslateFormTest, MissingCaptionKeepsTheDesignTextAnEmptyOneEmpties) {
  TranslateForm(&form_, language_);
  EXPECT_EQ(Find<QLabel>(u"Untranslated_Label"_s)->text(), u"design"_s);
  EXPECT_EQ(Find<QLabel>(u"Empty_Label"_s)->text(), QString());
}

TEST_F(TranslateFormTest, SeparatorsKeepTheirText) {
  TranslateForm(&form_, language_);
  EXPECT_TRUE(separator_->text().isEmpty());
  EXPECT_EQ(dash_->text(), u"-"_s);
}

TEST_F(TranslateFormTest, HintsGoToWidgetsThatShowThem) {
  TranslateForm(&form_, language_);
  EXPECT_EQ(Find<QLabel>(u"Title_Label"_s)->toolTip(), u"Label hint"_s);
  EXPECT_EQ(Find<QPushButton>(u"Ok_Button"_s)->toolTip(), u"Button hint"_s);
  // Present but empty: no tool tip.
  EXPECT_EQ(Find<QCheckBox>(u"Flag_CheckBox"_s)->toolTip(), QString());
  // Shows hints but has no key: the missing text shows.
  EXPECT_EQ(Find<QLabel>(u"Empty_Label"_s)->toolTip(), kNotFound);
  EXPECT_EQ(edit_->toolTip(), u"Edit hint"_s);
  // Hints switched off: untouched.
  EXPECT_EQ(Find<QLabel>(u"Untranslated_Label"_s)->toolTip(), QString());
  EXPECT_EQ(Find<QLineEdit>(u"Plain_Edit"_s)->toolTip(), QString());
  // A page's hint belongs to its tab, not to the whole page area.
  EXPECT_EQ(tabs_->tabToolTip(0), u"Page hint"_s);
  EXPECT_EQ(page_->toolTip(), QString());
}

TEST_F(TranslateFormTest, QtInternalPartsAreNoComponents) {
  TranslateForm(&form_, language_);
  // The tab widget's own stack and bar have "qt_" names; they get no missing-text hint.
  for (QWidget* part : tabs_->findChildren<QWidget*>()) {
    EXPECT_NE(part->toolTip(), kNotFound) << part->objectName().toStdString();
  }
}

TEST_F(TranslateFormTest, SectionComesFromThePropertyBeforeTheName) {
  form_.setProperty("languageSection", u"Other"_s);
  TranslateForm(&form_, language_);
  EXPECT_EQ(form_.windowTitle(), u"Other section caption"_s);
  EXPECT_EQ(Find<QLabel>(u"Title_Label"_s)->text(), u"Other section label"_s);

  // A page inside a window takes the section of the nearest marked ancestor.
  QWidget window;
  window.setObjectName(u"TDemo"_s);
  auto* page = new QWidget(&window);
  page->setProperty("languageSection", u"Other"_s);
  auto* inner = new QLabel(page);
  EXPECT_EQ(FormSection(inner), u"Other"_s);
  EXPECT_EQ(FormSection(&window), u"TDemo"_s);
}

TEST_F(TranslateFormTest, EmbeddedPageLeavesTheWindowTitleAlone) {
  QWidget window;
  window.setObjectName(u"TDemo"_s);
  window.setWindowTitle(u"window"_s);
  auto* page = new QWidget(&window);
  auto* label = new QLabel(page);
  label->setObjectName(u"Title_Label"_s);
  TranslateForm(page, language_);
  EXPECT_EQ(label->text(), u"Translated label"_s);
  EXPECT_EQ(window.windowTitle(), u"window"_s);
}

TEST_F(TranslateFormTest, RadioGroupItemsAreReplacedAndTheIndexKept) {
  QRadioButton* first = RadioGroupItems(group_)[0];
  TranslateForm(&form_, language_);
  const QList<QRadioButton*> items = RadioGroupItems(group_);
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), u"Item one"_s);
  EXPECT_EQ(items[2]->text(), u"Item three"_s);
  EXPECT_EQ(RadioGroupIndex(group_), 1);
  // Existing buttons are reused, so connections to them survive; an item is
  // translated as an item, not by its own name.
  EXPECT_EQ(items[0], first);
  EXPECT_EQ(first->toolTip(), QString());
}

TEST_F(TranslateFormTest, RadioGroupIndexIsLimitedToTheNewItems) {
  SetRadioGroupItems(group_, {u"1"_s, u"2"_s, u"3"_s, u"4"_s});
  SetRadioGroupIndex(group_, 3);
  SetRadioGroupItems(group_, {u"1"_s, u"2"_s});
  EXPECT_EQ(RadioGroupItems(group_).size(), 2);
  EXPECT_EQ(RadioGroupIndex(group_), 1);

  SetRadioGroupIndex(group_, 7);
  EXPECT_EQ(RadioGroupIndex(group_), 1);
  SetRadioGroupIndex(group_, -1);
  EXPECT_EQ(RadioGroupIndex(group_), -1);
  SetRadioGroupItems(group_, {u"x"_s, u"y"_s, u"z"_s});
  EXPECT_EQ(RadioGroupIndex(group_), -1);

  SetRadioGroupIndex(group_, 0);
  SetRadioGroupItems(group_, {});
  EXPECT_EQ(RadioGroupIndex(group_), -1);
}

TEST_F(TranslateFormTest, RadioGroupWithoutItemsKeyKeepsItsItems) {
  form_.setProperty("languageSection", u"Other"_s);
  TranslateForm(&form_, language_);
  const QList<QRadioButton*> items = RadioGroupItems(group_);
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[1]->text(), u"b"_s);
}

TEST_F(TranslateFormTest, LabeledEditLabelHintFollowsTheLabelsHintSetting) {
  TranslateForm(&form_, language_);
  EXPECT_EQ(editLabel_->toolTip(), u"Label of the edit hint"_s);

  editLabel_->setToolTip(QString());
  editLabel_->setProperty("showHint", false);
  TranslateForm(&form_, language_);
  EXPECT_EQ(editLabel_->toolTip(), QString());
}

TEST_F(TranslateFormTest, NoLanguageFileRaises) {
  TLanguage empty(dir_.path());
  EXPECT_THROW(TranslateForm(&form_, empty), LanguageError);
  EXPECT_THROW(MissingLanguageKeys(&form_, empty), LanguageError);
  EXPECT_FALSE(LoadComboBoxItems(combo_, QString(), true, empty));
}

struct ComboCase {
  const char* name;
  int previous;
  bool keep;
  const char* section;  // empty: the combo box's form
  QStringList items;
  int expectedIndex;
};

class LoadComboBoxItemsTest : public TranslateFormTest,
                              public ::testing::WithParamInterface<ComboCase> {};

TEST_P(LoadComboBoxItemsTest, ReplacesItemsAndSelection) {
  const ComboCase& c = GetParam();
  combo_->addItems({u"a"_s, u"b"_s, u"c"_s, u"d"_s});
  combo_->setCurrentIndex(c.previous);
  int signals = 0;
  QObject::connect(combo_, &QComboBox::currentIndexChanged, [&] { ++signals; });

  EXPECT_TRUE(LoadComboBoxItems(combo_, QString::fromLatin1(c.section), c.keep, language_));
  QStringList shown;
  for (int i = 0; i < combo_->count(); ++i) shown.append(combo_->itemText(i));
  EXPECT_EQ(shown, c.items);
  EXPECT_EQ(combo_->currentIndex(), c.expectedIndex);
  EXPECT_EQ(signals, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadComboBoxItemsTest,
    ::testing::Values(ComboCase{"KeptBelowTheCount", 2, true, "", {u"B"_s, u"kB"_s, u"MB"_s}, 2},
                      ComboCase{"DroppedAtTheCount", 3, true, "", {u"B"_s, u"kB"_s, u"MB"_s}, -1},
                      ComboCase{
                          "DroppedWithoutTheFlag", 1, false, "", {u"B"_s, u"kB"_s, u"MB"_s}, -1},
                      ComboCase{"NamedSection", 1, true, "Other", {u"x"_s, u"y"_s}, 1},
                      ComboCase{"MissingKey", 0, true, "Strings", {u"Error!"_s}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TranslateFormTest, MissingKeysListsWhatWouldShowWrongly) {
  const QStringList missing = MissingLanguageKeys(&form_, language_);
  // Shows hints without a hint key.
  EXPECT_TRUE(missing.contains(u"TDemo/Empty_Label->Hint"_s));
  EXPECT_TRUE(missing.contains(u"TDemo/Frame_GroupBox->Hint"_s));
  EXPECT_TRUE(missing.contains(u"TDemo/Choice_RadioGroup->Hint"_s));
  // A caption-bearing component without its caption key.
  EXPECT_TRUE(missing.contains(u"TDemo/Untranslated_Label->Caption"_s));
  // Not asked: captions of edits and combo boxes, hints switched off, menus'
  // hints, separators, items of radio groups, the label of a labeled edit.
  for (const QString& key : missing) {
    EXPECT_FALSE(key.contains(u"Plain_Edit"_s) || key.contains(u"Units_ComboBox"_s) ||
                 key.contains(u"Untranslated_Label->Hint"_s) || key.contains(u"_Menu->Hint"_s) ||
                 key.contains(u"Separator_Action"_s) || key.contains(u"Item_RadioButton"_s) ||
                 key.contains(u"Name_Label"_s) || key.contains(u"Pages_TabWidget"_s))
        << key.toStdString();
  }
  EXPECT_FALSE(missing.contains(u"TDemo/Caption"_s));

  // The other section lacks nearly everything, the radio group's items included.
  form_.setProperty("languageSection", u"Other"_s);
  const QStringList other = MissingLanguageKeys(&form_, language_);
  EXPECT_TRUE(other.contains(u"Other/Choice_RadioGroup->Items"_s));
  EXPECT_TRUE(other.contains(u"Other/Name_Edit->LabelHint"_s));
  EXPECT_TRUE(other.contains(u"Other/Open_Action->Caption"_s));
  EXPECT_TRUE(other.contains(u"Other/First_Page->Caption"_s));
}

}  // namespace
