#pragma once

#include <QIcon>
#include <QLocale>
#include <QString>

#include "acquisition/CacheFile.h"
#include "acquisition/FormatQuantity.h"

class QSystemTrayIcon;
class TVerInfo;

// The tray balloon carries at most this many characters of text.
inline constexpr int kShortInfoMaxLength = 255;
// How long the balloon stays (the hint hide pause of 30 s).
inline constexpr int kShortInfoTimeoutMs = 30000;

// The short information text: one line per record with Show_BalloonInfo, in
// record order, "<first shortnamelength characters of the name>\tDL:<received
// today>\tUL:<sent today>\n" with quantities in the short form. A line that
// would take the text past 255 characters ends the text without being added.
QString ShortInfoText(const NicVector& v, int base, const QuantityUnits& units,
                      const QLocale& locale = QLocale());

// The balloon's title: the language text "StrShortInfoBalloonTitle" followed
// by " (ProductName FileVersion)".
QString ShortInfoTitle(const QString& titleText, const TVerInfo& verInfo);

// Tray icon tool tip: the hint, then the short information with its tabs
// turned into blanks (tool tips do not lay out tabs).
QString TrayToolTip(const QString& hint, const QString& shortInfo);

// Shows the balloon with the information icon for the balloon's time.
void ShowShortInfoBalloon(QSystemTrayIcon& icon, const QString& title, const QString& text);

// The program's icon, drawn so that the tray has one even without the image file.
QIcon QuorvelIcon();
