#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;
class HelpOpener;
class TLanguage;
class TVerInfo;

// The about box: product, version, database and language file versions, the
// legal notice and the web site.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // `website`: the "URL" value of the variables file, shown and opened on a
  // click, as is a click on the logo.
  TAboutBox(const TVerInfo& verInfo, const TLanguage& language, const QString& dbVersion,
            const QString& website, HelpOpener& opener, QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenWebsite();

  HelpOpener& opener_;
  QUrl website_;
  QLabel* logo_ = nullptr;
  QLabel* websiteLabel_ = nullptr;
};

// Replaces the placeholders "%ProductName%", "%Version%", "%dbversion%" and
// "%languagefileversion%" (any letter case) in a label text.
QString FillAboutPlaceholders(QString text, const QString& productName, const QString& version,
                              const QString& dbVersion, const QString& languageFileVersion);
