#include "display/LiveGrid.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <stdexcept>
#include <vector>

#include "DisplayTestSupport.h"

using namespace Qt::StringLiterals;
using namespace display_test;
using Mode = TrafficMonitor::RefreshMode;

namespace {

QStringList RowTexts(const QTableWidget& grid, int row) {
  QStringList texts;
  for (int c = 0; c < grid.columnCount(); ++c) {
    const QTableWidgetItem* item = grid.item(row, c);
    texts.append(item ? item->text() : QString());
  }
  return texts;
}

class LiveGridTest : public testing::Test {
 protected:
  void SetUp() override {
    SetupLiveGrid(grid_);
    v_.push_back(MakeRecord(u"eth0"_s, u"0002"_s, 2048, 1536000));
    v_.push_back(MakeRecord(u"wlan0"_s, u"0003"_s, 10, 20));
    v_.push_back(MakeRecord(u"ppp0"_s, u"dfu"_s, 3000000, 4000000000ULL));
    v_[2]->SetIsDialup(true);
    for (auto& nic : v_) nic->ShowLivedata = true;
    context_.gridShowing = true;
    context_.base = 1024;
    context_.units = Units();
    context_.feedGraph = [this](std::size_t index, TNic&) { fed_.push_back(index); };
  }

  QStringList Expected(std::size_t i) const {
    return LiveRowTexts(*v_[i], 1024, Units(), context_.locale);
  }

  QTableWidget grid_;
  NicVector v_;
  LiveRefreshContext context_;
  std::vector<std::size_t> fed_;
};

TEST_F(LiveGridTest, RowTextsAreNameFormattedFiguresAndTableName) {
  const TNic& eth = *v_[0];
  const QuantityUnits units = Units();
  EXPECT_EQ(LiveRowTexts(eth, 1024, units),
            (QStringList{u"eth0"_s, FormatQuantity(eth.GetRate_Send(), 1024, units, false),
                         FormatQuantity(eth.GetRate_Received(), 1024, units, false),
                         FormatQuantity(eth.GetTotal_Sent(), 1024, units, false),
                         FormatQuantity(eth.GetTotal_Received(), 1024, units, false), u"0002"_s}));
  // Base 1000 takes the other unit list.
  EXPECT_EQ(LiveRowTexts(eth, 1000, units)[4],
            FormatQuantity(eth.GetTotal_Received(), 1000, units, false));
  EXPECT_EQ(LiveRowTexts(*v_[2], 1024, units)[5], u"dfu"_s);
}

TEST_F(LiveGridTest, HiddenRecordsLeaveNoGapAndGraphsAreFedRegardless) {
  v_[1]->ShowLivedata = false;
  v_[1]->ShowGraphform = true;

  LiveRefresh(grid_, v_, Mode::AllRecords, context_);

  ASSERT_EQ(grid_.rowCount(), 2);
  EXPECT_EQ(RowTexts(grid_, 0), Expected(0));
  EXPECT_EQ(RowTexts(grid_, 1), Expected(2));  // the third record moved up
  EXPECT_EQ(fed_, std::vector<std::size_t>{1});
}

TEST_F(LiveGridTest, NoShownRecordLeavesOnlyTheHeader) {
  for (auto& nic : v_) nic->ShowLivedata = false;
  grid_.setRowCount(3);
  LiveRefresh(grid_, v_, Mode::AllRecords, context_);
  EXPECT_EQ(grid_.rowCount(), 0);
  EXPECT_EQ(grid_.horizontalHeader()->count(), kLiveGridColumns);
}

TEST_F(LiveGridTest, HiddenWindowLeavesTheGridAloneButFeedsGraphs) {
  v_[0]->ShowGraphform = true;
  context_.gridShowing = false;
  LiveRefresh(grid_, v_, Mode::AllRecords, context_);
  EXPECT_EQ(grid_.rowCount(), 0);
  EXPECT_EQ(fed_, std::vector<std::size_t>{0});
}

TEST_F(LiveGridTest, FailingRecordDoesNotStopTheOthers) {
  for (auto& nic : v_) nic->ShowGraphform = true;
  context_.feedGraph = [this](std::size_t index, TNic&) {
    fed_.push_back(index);
    if (index == 0) throw std::runtime_error("graph column full");
  };
  LiveRefresh(grid_, v_, Mode::AllRecords, context_);
  EXPECT_EQ(fed_, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(RowTexts(grid_, 1), Expected(1));
  EXPECT_EQ(RowTexts(grid_, 2), Expected(2));
}

TEST_F(LiveGridTest, RowsFollowChangedPreferences) {
  LiveRefresh(grid_, v_, Mode::AllRecords, context_);
  ASSERT_EQ(grid_.rowCount(), 3);
  v_[0]->ShowLivedata = false;
  LiveRefresh(grid_, v_, Mode::AllRecords, context_);
  ASSERT_EQ(grid_.rowCount(), 2);
  EXPECT_EQ(RowTexts(grid_, 0), Expected(1));
}

TEST_F(LiveGridTest, LastRecordModeWritesTheDialupRowOnly) {
  v_[2]->ShowGraphform = true;
  LiveRefresh(grid_, v_, Mode::LastRecord, context_);
  ASSERT_EQ(grid_.rowCount(), 3);
  EXPECT_EQ(RowTexts(grid_, 2), Expected(2));
  EXPECT_EQ(RowTexts(grid_, 0), QStringList(kLiveGridColumns, QString()));
  EXPECT_EQ(fed_, std::vector<std::size_t>{2});

  // While the interface poll runs, its refresh feeds the dial-up graph.
  fed_.clear();
  context_.feedGraphOnLastRecord = false;
  LiveRefresh(grid_, v_, Mode::LastRecord, context_);
  EXPECT_TRUE(fed_.empty());
}

TEST_F(LiveGridTest, LastRecordModeIgnoresAnInterfaceRecord) {
  v_[2]->SetIsDialup(false);
  v_[2]->ShowGraphform = true;
  LiveRefresh(grid_, v_, Mode::LastRecord, context_);
  EXPECT_EQ(RowTexts(grid_, 2), QStringList(kLiveGridColumns, QString()));
  EXPECT_TRUE(fed_.empty());
}

TEST_F(LiveGridTest, RecountRowsCountsShownRecords) {
  v_[1]->ShowLivedata = false;
  RecountRows(grid_, v_);
  EXPECT_EQ(grid_.rowCount(), 2);
  EXPECT_EQ(LivedataRowCount(v_), 2);
  EXPECT_EQ(LivedataRowCount(NicVector{}), 0);
}

TEST(SizeColumnsTest, AsNeededFitsTheWidestTextWithAMinimum) {
  QTableWidget grid(2, 3);
  grid.setHorizontalHeaderLabels({QString(), u"x"_s, u"Header"_s});
  grid.setItem(1, 2, new QTableWidgetItem(u"a much longer cell text"_s));
  SizeColumns(grid, static_cast<int>(GridSizingMode::AsNeeded));
  const QFontMetrics metrics(grid.font());
  EXPECT_EQ(grid.columnWidth(0), 15);  // empty column: minimum 10 + 5
  EXPECT_EQ(grid.columnWidth(1), std::max(10, metrics.horizontalAdvance(u"x"_s)) + 5);
  EXPECT_EQ(grid.columnWidth(2), metrics.horizontalAdvance(u"a much longer cell text"_s) + 5);
}

TEST(SizeColumnsTest, ConsistentSharesTheWidthMinusTheMargin) {
  QTableWidget grid(1, 6);
  grid.resize(640, 200);
  SizeColumns(grid, static_cast<int>(GridSizingMode::Consistent));
  for (int c = 0; c < 6; ++c) EXPECT_EQ(grid.columnWidth(c), 100) << "column " << c;
}

TEST(SizeColumnsTest, DoNothingAndUnknownModesKeepTheWidths) {
  for (const int mode : {static_cast<int>(GridSizingMode::DoNothing), -1, 7}) {
    QTableWidget grid(1, 2);
    grid.resize(640, 200);
    grid.setColumnWidth(0, 33);
    grid.setColumnWidth(1, 77);
    SizeColumns(grid, mode);
    EXPECT_EQ(grid.columnWidth(0), 33) << "mode " << mode;
    EXPECT_EQ(grid.columnWidth(1), 77) << "mode " << mode;
  }
}

}  // namespace
