#include "display/TrayInfo.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "VerInfo/Verinfo.h"

using namespace Qt::StringLiterals;

QString ShortInfoText(const NicVector& v, int base, const QuantityUnits& units,
                      const QLocale& locale) {
  QString text;
  for (const auto& nic : v) {
    if (!nic || !nic->Show_BalloonInfo) continue;
    const QString line =
        nic->GetName().left(static_cast<qsizetype>(nic->shortnamelength)) + u"\tDL:"_s +
        FormatQuantity(nic->GetTotal_Received(), base, units, true, locale) + u"\tUL:"_s +
        FormatQuantity(nic->GetTotal_Sent(), base, units, true, locale) + u'\n';
    if (text.size() + line.size() > kShortInfoMaxLength) break;
    text += line;
  }
  return text;
}

QString ShortInfoTitle(const QString& titleText, const TVerInfo& verInfo) {
  return titleText + u" ("_s + verInfo.ProductName + u' ' + verInfo.FileVersion + u')';
}

QString TrayToolTip(const QString& hint, const QString& shortInfo) {
  QString info = shortInfo.trimmed();
  info.replace(u'\t', u' ');
  if (info.isEmpty()) return hint;
  return hint + u'\n' + info;
}

void ShowShortInfoBalloon(QSystemTrayIcon& icon, const QString& title, const QString& text) {
  icon.showMessage(title, text, QSystemTrayIcon::Information, kShortInfoTimeoutMs);
}

QIcon QuorvelIcon() {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // Dark rounded tile with a download (blue) and an upload (red) rate curve.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1e, 0x2a, 0x3a));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    QPainterPath down;
    down.moveTo(8, 48);
    down.cubicTo(18, 46, 20, 20, 30, 22);
    down.cubicTo(40, 24, 42, 40, 56, 14);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x4f, 0xa3, 0xff), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(down);
    QPainterPath up;
    up.moveTo(8, 54);
    up.cubicTo(20, 54, 26, 40, 34, 44);
    up.cubicTo(42, 48, 46, 36, 56, 34);
    p.setPen(QPen(QColor(0xff, 0x6b, 0x5b), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(up);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}
