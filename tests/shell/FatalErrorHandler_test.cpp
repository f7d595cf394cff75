#include "shell/FatalErrorHandler.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimerEvent>
#include <stdexcept>

#include "TOptions/TOptions_Class.h"
#include "VerInfo/Verinfo.h"
#include "acquisition/ScriptedInterfaceTable.h"
#include "acquisition/TrafficMonitor.h"
#include "database/StoreTestSupport.h"
#include "support/ProgramFiles.h"

using namespace Qt::Literals::StringLiterals;
using store_test::At;
using store_test::FixedClock;

namespace {

// A timer handler that fails, as any event handler of the program might.
class FailingTimerTarget final : public QObject {
 protected:
  void timerEvent(QTimerEvent*) override { throw std::runtime_error("tick went wrong"); }
};

IfRow Row(std::uint32_t index, std::uint64_t in, std::uint64_t out) {
  IfRow r;
  r.index = index;
  r.type = 6;
  r.description = "eth" + std::to_string(index);
  r.operStatus = kOperOperational;
  r.inOctets = in;
  r.outOctets = out;
  r.speed = 100000000;
  return r;
}

class FatalErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(qvtest::WriteVariablesAndOptions(QDir(dir.path()),
                                                 "[General]\nCacheInterval=5\ndfu_engine=0\n"));
    options = std::make_unique<TOptions>(
        ProgramLocation{dir.path(), u"quorvel"_s, [] { return QString(); }});
    options->Load();
    verInfo.ReadVersionInfo();
    errors.SetVersion(
        {verInfo.FileVersion, verInfo.ProductVersion, verInfo.Comments, verInfo.MainWindowTitle()});
    MonitorContext c;
    c.options = options.get();
    c.messages = &messages;
    c.errorFile = &errors;
    c.clock = &clock;
    c.nicTable = &table;
    c.db = &db;
    c.programDir = dir.path();
    c.bootId = u"b"_s;
    table.Set({Row(1, 1000, 100), Row(2, 50, 5)});
    monitor = std::make_unique<TrafficMonitor>(c);
    monitor->Start();
    table.Set({Row(1, 4000, 400), Row(2, 80, 8)});
    monitor->PollInterfaces();
    ASSERT_TRUE(QFile::exists(Cache()));

    window.setObjectName(u"TMainform"_s);
    auto* pages = new QTabWidget(&window);
    pages->setObjectName(u"PageControl"_s);
    auto* live = new QWidget;
    live->setObjectName(u"TabSheet1"_s);
    pages->addTab(live, u"Live"_s);
    window.resize(320, 200);
    window.show();
  }

  FatalErrorHandler::Parts Parts() {
    FatalErrorHandler::Parts p;
    p.errorFile = &errors;
    p.messages = &messages;
    p.clock = &clock;
    p.options = options.get();
    p.verInfo = &verInfo;
    p.monitor = monitor.get();
    p.mainform = &window;
    p.programDir = dir.path();
    p.endProgram = [this] { ++ended; };
    return p;
  }
  // A fatal error delivered as the application delivers timer events.
  void FailInTimerEvent(FatalErrorHandler& handler) {
    FailingTimerTarget target;
    QTimerEvent event(1);
    DeliverGuarded(
        &target, [&] { return QCoreApplication::instance()->notify(&target, &event); },
        [&](QObject* sender, const QString& message, const QString& className) {
          handler.AppException(sender, message, className);
        });
  }
  QString Log() {
    QFile f(errors.Path());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  QString Cache() const { return dir.filePath(u"traffic.cache"_s); }

  QTemporaryDir dir;
  FixedClock clock{At(2026, 12, 11, 14)};
  std::unique_ptr<TOptions> options;
  TVerInfo verInfo;
  ErrorFile errors{dir.path(), u"error.txt"_s, clock};
  RecordingMessageService messages;
  ScriptedInterfaceTable table;
  Connection db{store_test::ConnectionString(dir.filePath(u"traffic.db"_s))};
  std::unique_ptr<TrafficMonitor> monitor;
  QWidget window;
  int ended = 0;
};

TEST_F(FatalErrorTest, ErrorInTimerEventWritesBlockSavesAndEnds) {
  FatalErrorHandler handler(Parts());
  FailInTimerEvent(handler);

  const QString log = Log();
  EXPECT_EQ(log.count(u"################################################################"_s), 1);
  EXPECT_TRUE(log.contains(u"\n11.12.2026 14:00:00\nfile_version:"_s)) << log.toStdString();
  EXPECT_TRUE(
      log.contains(u"Fehlermeldung:tick went wrong\nE->ClassName():std::exception\n"
                   u"Sender->ClassName():QObject\nE->MethodName(E):\n"_s))
      << log.toStdString();
  EXPECT_TRUE(log.contains(u"Mainform->PageControl->ActivePage->Name:TabSheet1\n"_s));
  EXPECT_TRUE(log.contains(u"(int)v.size:2\n"_s));
  EXPECT_TRUE(log.contains(u"v[0]->GetTotal_Received():4000\n"_s));
  EXPECT_TRUE(log.contains(u"v[1]->GetOldValues(sent):8\n"_s));
  EXPECT_FALSE(log.contains(u"v[2]->"_s));

  // The totals are stored and the cache file is gone.
  EXPECT_EQ(store_test::RawRows(db, u"SELECT * FROM \"0001\""_s),
            QStringList{u"2026-12-11|4000|400"_s});
  EXPECT_FALSE(QFile::exists(Cache()));
  EXPECT_FALSE(monitor->NicEngine().isActive());

  // A progressive JPEG of the window that a decoder opens.
  ASSERT_FALSE(handler.ScreenshotPath().isEmpty());
  EXPECT_TRUE(handler.ScreenshotPath().endsWith(u"error_11.12.2026 at 14.00.jpg"_s));
  QImageReader reader(handler.ScreenshotPath());
  const QImage image = reader.read();
  EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();

  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_TRUE(messages.messages[0].text.contains(u"error.txt"_s));
  EXPECT_TRUE(messages.messages[0].text.contains(u"\n message: tick went wrong"_s));
  EXPECT_EQ(ended, 1);

  // A second error while ending is ignored.
  FailInTimerEvent(handler);
  EXPECT_EQ(Log().count(u"Fehlermeldung:"_s), 1);
  EXPECT_EQ(ended, 1);
}

TEST_F(FatalErrorTest, FailedSaveKeepsTheSnapshot) {
  db.Execute(u"DROP TABLE \"0002\""_s);
  FatalErrorHandler handler(Parts());
  FailInTimerEvent(handler);
  EXPECT_TRUE(QFile::exists(Cache()));
  EXPECT_EQ(store_test::RawRows(db, u"SELECT * FROM \"0001\""_s),
            QStringList{u"2026-12-11|4000|400"_s});
}

TEST_F(FatalErrorTest, BeforeTheMainWindowOnlyTheHeadIsWritten) {
  FatalErrorHandler::Parts parts = Parts();
  parts.mainform = nullptr;
  parts.verInfo = nullptr;
  FatalErrorHandler handler(std::move(parts));
  handler.AppException(nullptr, u"early"_s, u"Exception"_s);
  const QString log = Log();
  EXPECT_TRUE(
      log.contains(u"Mainform->VerInfo = NULL\nMainform->Lang->Verinfo = NULL\n"
                   u"Fehlermeldung:early\n"_s))
      << log.toStdString();
  EXPECT_FALSE(log.contains(u"v[0]"_s));
  EXPECT_TRUE(QFile::exists(Cache()));  // nothing saved, nothing removed
  EXPECT_TRUE(handler.ScreenshotPath().isEmpty());
}

}  // namespace
