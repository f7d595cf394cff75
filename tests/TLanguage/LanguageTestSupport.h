#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A temporary program directory into which tests write language files.
class LanguageDirFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  QString Dir() const { return dir_.path(); }

  void Write(const QString& name, const QByteArray& content) {
    QFile f(QDir(dir_.path()).filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(content), content.size());
  }

 private:
  QTemporaryDir dir_;
};
