#include "display/LiveGrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

#include "TLanguage/TLanguage_Base.h"

using namespace Qt::StringLiterals;

void SetupLiveGrid(QTableWidget& grid) {
  grid.setColumnCount(kLiveGridColumns);
  grid.setRowCount(0);
  grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid.setSelectionBehavior(QAbstractItemView::SelectRows);
  grid.setSelectionMode(QAbstractItemView::SingleSelection);
  grid.setShowGrid(true);
  grid.verticalHeader()->setVisible(false);
  grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid.horizontalHeader()->setDefaultSectionSize(100);
  grid.horizontalHeader()->setStretchLastSection(false);
  grid.setWordWrap(false);
}

void SetLiveGridHeaders(QTableWidget& grid, const TLanguage_Base& language) {
  QStringList headers;
  for (int n = 0; n < grid.columnCount(); ++n) {
    headers.append(language.GetString(
        u"TMainform"_s, u"Livedata_StringGrid->Cells["_s + QString::number(n) + u"][0]"_s));
  }
  grid.setHorizontalHeaderLabels(headers);
}

QStringList LiveRowTexts(const TNic& nic, int base, const QuantityUnits& units,
                         const QLocale& locale) {
  const auto q = [&](long double value) -> QString {
    return FormatQuantity(value, base, units, false, locale);
  };
  return {nic.GetName(),          q(nic.GetRate_Send()),      q(nic.GetRate_Received()),
          q(nic.GetTotal_Sent()), q(nic.GetTotal_Received()), nic.GetIndex()};
}

int LivedataRowCount(const NicVector& v) {
  return static_cast<int>(
      std::count_if(v.begin(), v.end(), [](const auto& nic) { return nic && nic->ShowLivedata; }));
}

void RecountRows(QTableWidget& grid, const NicVector& v) {
  const int rows = LivedataRowCount(v);
  if (grid.rowCount() != rows) grid.setRowCount(rows);
}

void SizeColumns(QTableWidget& grid, int mode) {
  const int columns = grid.columnCount();
  QHeaderView& header = *grid.horizontalHeader();
  switch (static_cast<GridSizingMode>(mode)) {
    case GridSizingMode::AsNeeded: {
      const QFontMetrics metrics(grid.font());
      // The style's minimum section size would widen narrow columns.
      header.setMinimumSectionSize(std::min(header.minimumSectionSize(), 15));
      for (int c = 0; c < columns; ++c) {
        int widest = 0;
        if (const QTableWidgetItem* h = grid.horizontalHeaderItem(c))
          widest = metrics.horizontalAdvance(h->text());
        for (int r = 0; r < grid.rowCount(); ++r) {
          if (const QTableWidgetItem* item = grid.item(r, c))
            widest = std::max(widest, metrics.horizontalAdvance(item->text()));
        }
        header.resizeSection(c, std::max(10, widest) + 5);
      }
      break;
    }
    case GridSizingMode::Consistent: {
      if (columns <= 0) return;
      // A grid narrower than the margin would give negative widths.
      const int width = std::max(10, (grid.width() - 40) / columns);
      header.setDefaultSectionSize(width);
      for (int c = 0; c < columns; ++c) header.resizeSection(c, width);
      break;
    }
    case GridSizingMode::DoNothing:
    default:
      return;
  }
  grid.viewport()->update();
}

namespace {

void WriteRow(QTableWidget& grid, int row, const QStringList& texts) {
  for (int c = 0; c < texts.size() && c < grid.columnCount(); ++c) {
    if (QTableWidgetItem* item = grid.item(row, c)) {
      if (item->text() != texts[c]) item->setText(texts[c]);
    } else {
      grid.setItem(row, c, new QTableWidgetItem(texts[c]));
    }
  }
}

}  // namespace

void LiveRefresh(QTableWidget& grid, const NicVector& v, TrafficMonitor::RefreshMode mode,
                 const LiveRefreshContext& context) {
  if (v.empty()) {
    if (context.gridShowing) grid.setRowCount(0);
    return;
  }
  // Rows follow the records' current ShowLivedata, so a changed preference
  // never leaves rows stale or invisible.
  if (context.gridShowing) RecountRows(grid, v);

  if (mode == TrafficMonitor::RefreshMode::LastRecord) {
    TNic* nic = v.back().get();
    if (!nic || !nic->GetIsDialup()) return;
    try {
      if (nic->ShowLivedata && context.gridShowing && grid.rowCount() > 0)
        WriteRow(grid, grid.rowCount() - 1,
                 LiveRowTexts(*nic, context.base, context.units, context.locale));
      if (nic->ShowGraphform && context.feedGraphOnLastRecord && context.feedGraph)
        context.feedGraph(v.size() - 1, *nic);
    } catch (...) {
      // A failing record must not stop the display.
    }
    return;
  }

  int row = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    TNic* nic = v[i].get();
    if (!nic || !(nic->ShowLivedata || nic->ShowGraphform)) continue;
    try {
      if (nic->ShowLivedata && context.gridShowing) {
        WriteRow(grid, row++, LiveRowTexts(*nic, context.base, context.units, context.locale));
      }
      if (nic->ShowGraphform && context.feedGraph) context.feedGraph(i, *nic);
    } catch (...) {
      // As above: the other records are still refreshed.
    }
  }
}
