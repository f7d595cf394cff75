#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "TLanguage/LanguageFile.h"

// Raised when a language file cannot be loaded or when texts are read before
// any file was loaded.
class LanguageError : public std::runtime_error {
 public:
  explicit LanguageError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

// Reads the texts of the loaded language file. A load replaces the whole file
// at once; readers on other threads (report, statistics, update, query server)
// keep the file they started with and never see a half-loaded one.
class TLanguage_Base {
 public:
  // `programDir` is where language files are looked up; `notFoundText` is the
  // text of every missing key.
  TLanguage_Base(QString programDir, QString notFoundText);
  TLanguage_Base(const TLanguage_Base&) = delete;
  TLanguage_Base& operator=(const TLanguage_Base&) = delete;

  // Loads the named file of the program directory. Throws LanguageError when
  // it does not exist or cannot be read; the previous file then stays loaded,
  // file name included.
  void SetFN(const QString& name);

  // The value, or the default when the key is missing. Throws LanguageError
  // while no file is loaded.
  QString ReadFromLangfile(const QString& section, const QString& key,
                           const QString& defaultValue) const;
  // A string list value: true when the key is present. A missing key makes the
  // list the single item "Error!". Throws LanguageError while no file is loaded.
  bool ReadFromLangfile(const QString& section, const QString& key, QStringList& target) const;

  QString GetString(const QString& section, const QString& key) const;
  // GetString with every occurrence of the placeholder, in any letter case,
  // replaced.
  QString GetStringReplaced(const QString& section, const QString& key, const QString& placeholder,
                            const QString& replacement) const;

  // Full path of the loaded file; empty before the first load.
  QString GetFileName() const;
  const QString& NotFoundText() const { return notFoundText_; }
  const QString& ProgramDir() const { return programDir_; }

  // Message box captions of the loaded file; the key names before the first load.
  QString ErrorTitle() const;
  QString WarningTitle() const;
  QString QuestionTitle() const;
  QString InformationTitle() const;

 protected:
  struct Loaded {
    QString fileName;
    LanguageFile file;
    QString errorTitle = QStringLiteral("Error");
    QString warningTitle = QStringLiteral("Warning");
    QString questionTitle = QStringLiteral("Question");
    QString informationTitle = QStringLiteral("Information");
  };

  // The file in use; null before the first load.
  std::shared_ptr<const Loaded> Current() const;

 private:
  const Loaded& CurrentOrThrow(std::shared_ptr<const Loaded>& keep, int line) const;

  const QString programDir_;
  const QString notFoundText_;
  mutable std::mutex mutex_;
  std::shared_ptr<const Loaded> current_;
};
