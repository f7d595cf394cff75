#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>

#include "acquisition/CacheFile.h"
#include "acquisition/FormatQuantity.h"
#include "acquisition/TrafficMonitor.h"

class QTableWidget;
class TLanguage_Base;

// Column sizing of the live and statistics grids, as the options store it.
enum class GridSizingMode { AsNeeded = 0, DoNothing = 1, Consistent = 2 };

inline constexpr int kLiveGridColumns = 6;

// The live grid's fixed settings: six read-only columns, whole-row selection,
// both grid lines, columns sizable by the user, default width 100.
void SetupLiveGrid(QTableWidget& grid);

// Header texts from the language file ("Livedata_StringGrid->Cells[n][0]").
void SetLiveGridHeaders(QTableWidget& grid, const TLanguage_Base& language);

// The six cell texts of one record: name, send and receive rate, sent and
// received bytes not yet stored, table name.
QStringList LiveRowTexts(const TNic& nic, int base, const QuantityUnits& units,
                         const QLocale& locale = QLocale());

// Number of records shown in the grid.
int LivedataRowCount(const NicVector& v);

// One data row per record with ShowLivedata (the header is not a row here).
void RecountRows(QTableWidget& grid, const NicVector& v);

// Sizes the columns by mode (an int as stored in the options; values outside
// the three modes change nothing):
// AsNeeded: widest text of the column, header included, at least 10, plus 5;
// DoNothing: unchanged; Consistent: (grid width - 40) / column count each.
void SizeColumns(QTableWidget& grid, int mode);

struct LiveRefreshContext {
  bool gridShowing = false;  // the main window is visible: only then is the grid written
  int base = 1024;
  QuantityUnits units;
  QLocale locale;
  // Feeds the graph window of record `index`; may throw, which only ends that
  // record's refresh. Empty while there are no graph windows.
  std::function<void(std::size_t index, TNic& nic)> feedGraph;
  // In LastRecord mode: whether the dial-up record's graph is fed too. The
  // interface poll's refresh already feeds it whenever that poll runs, and a
  // second feed per tick would draw every value twice.
  bool feedGraphOnLastRecord = true;
};

// The live refresh after a poll. AllRecords: every record with ShowLivedata
// or ShowGraphform, rows written in record order. LastRecord: only the last
// record, when it is the dial-up record; its row is the grid's last row. An
// exception while refreshing one record ends only that record's refresh.
void LiveRefresh(QTableWidget& grid, const NicVector& v, TrafficMonitor::RefreshMode mode,
                 const LiveRefreshContext& context);
