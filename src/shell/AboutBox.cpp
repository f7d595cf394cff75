#include "shell/AboutBox.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "TLanguage/TLanguage.h"
#include "VerInfo/Verinfo.h"
#include "display/TrayInfo.h"
#include "shell/FormTranslation.h"
#include "shell/HelpViewer.h"

using namespace Qt::StringLiterals;

QString FillAboutPlaceholders(QString text, const QString& productName, const QString& version,
                              const QString& dbVersion, const QString& languageFileVersion) {
  text.replace(u"%ProductName%"_s, productName, Qt::CaseInsensitive);
  text.replace(u"%Version%"_s, version, Qt::CaseInsensitive);
  text.replace(u"%dbversion%"_s, dbVersion, Qt::CaseInsensitive);
  text.replace(u"%languagefileversion%"_s, languageFileVersion, Qt::CaseInsensitive);
  return text;
}

TAboutBox::TAboutBox(const TVerInfo& verInfo, const TLanguage& language, const QString& dbVersion,
                     const QString& website, HelpOpener& opener, QWidget* parent)
    : QDialog(parent), opener_(opener), website_(website.trimmed()) {
  setObjectName(u"TAboutBox"_s);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  logo_ = new QLabel(this);
  logo_->setObjectName(u"ProgramIcon"_s);
  logo_->setPixmap(QuorvelIcon().pixmap(64, 64));
  logo_->setCursor(Qt::PointingHandCursor);
  logo_->installEventFilter(this);

  auto* product = new QLabel(u"%ProductName%"_s, this);
  product->setObjectName(u"ProductName_Label"_s);
  QFont big = product->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  product->setFont(big);
  auto* version = new QLabel(u"Version %Version%"_s, this);
  version->setObjectName(u"Version_Label"_s);
  auto* db = new QLabel(u"Database version %dbversion%"_s, this);
  db->setObjectName(u"DBVersion_Label"_s);
  auto* lang = new QLabel(u"Language file version %languagefileversion%"_s, this);
  lang->setObjectName(u"Languagefileversion_Label"_s);
  auto* copyright = new QLabel(this);
  copyright->setObjectName(u"Copyright_Label"_s);
  copyright->setWordWrap(true);
  websiteLabel_ = new QLabel(this);
  websiteLabel_->setObjectName(u"Website_Label"_s);
  websiteLabel_->setCursor(Qt::PointingHandCursor);
  websiteLabel_->installEventFilter(this);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(u"OKButton"_s);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  for (QLabel* label : {product, version, db, lang, copyright, websiteLabel_})
    texts->addWidget(label);
  auto* top = new QHBoxLayout;
  top->addWidget(logo_, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addStretch(1);
  layout->addWidget(buttons);

  // Language texts first, then the placeholders in whatever texts they gave.
  ShowNoHints(*this);
  TranslateFormIfLoaded(*this, language);
  const QString languageVersion = language.Verinfo().Str_Version;
  for (QLabel* label : {product, version, db, lang}) {
    label->setText(FillAboutPlaceholders(label->text(), verInfo.ProductName, verInfo.FileVersion,
                                         dbVersion, languageVersion));
  }
  copyright->setText(verInfo.LegalCopyright);
  copyright->setVisible(!verInfo.LegalCopyright.isEmpty());
  websiteLabel_->setText(u"<a href=\"#\">"_s + website_.toString().toHtmlEscaped() + u"</a>"_s);
  websiteLabel_->setTextFormat(Qt::RichText);
  websiteLabel_->setVisible(website_.isValid() && !website_.isEmpty());
  setMinimumWidth(360);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == logo_ || watched == websiteLabel_) &&
      event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    OpenWebsite();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutBox::OpenWebsite() {
  if (website_.isValid() && !website_.isEmpty()) opener_.OpenUrl(website_);
}
