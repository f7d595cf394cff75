#include "shell/Screenshot.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/DateTime.h"
#include "shell/ImageWriters.h"

namespace {

void SetError(QString* error, const QString& text) {
  if (error != nullptr) *error = text;
}

// Reads the window's frame rectangle from its screen. Null when the platform
// cannot read the screen (Wayland, some offscreen setups) or gives back
// something other than the requested area.
QImage GrabFrameFromScreen(QWidget* window) {
  if (!window->isWindow() || !window->isVisible() || window->isMinimized()) return {};
  QScreen* screen = window->screen();
  if (screen == nullptr) return {};
  const QRect frame = window->frameGeometry();
  if (frame.isEmpty()) return {};
  const QPoint origin = frame.topLeft() - screen->geometry().topLeft();
  const QPixmap pixmap =
      screen->grabWindow(0, origin.x(), origin.y(), frame.width(), frame.height());
  if (pixmap.isNull() || pixmap.deviceIndependentSize().toSize() != frame.size()) return {};
  return pixmap.toImage();
}

}  // namespace

QImage GrabScreenshot(QWidget* window) {
  if (window == nullptr) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {};
    return screen->grabWindow(0).toImage();
  }
  QImage image = GrabFrameFromScreen(window);
  if (image.isNull()) image = window->grab().toImage();
  return image;
}

bool SaveScreenshot(QWidget* window, const QString& fileName, bool asBitmap, int quality,
                    QString* error) {
  const QImage grabbed = GrabScreenshot(window);
  if (grabbed.isNull() || grabbed.width() <= 0 || grabbed.height() <= 0) {
    SetError(error, QStringLiteral("Nothing could be captured for the screenshot"));
    return false;
  }
  // The writers take tightly packed rows; QImage pads each row to four bytes.
  const QImage image = grabbed.convertToFormat(QImage::Format_RGB888);
  const int width = image.width();
  const int height = image.height();
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> rgb(stride * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    std::memcpy(rgb.data() + static_cast<std::size_t>(y) * stride, image.constScanLine(y), stride);

  if (asBitmap) return WriteBmp(fileName + u".bmp", width, height, rgb.data(), error);
  return WriteProgressiveJpeg(fileName + u".jpg", width, height, rgb.data(), quality, error);
}

QString ErrorScreenshotName(const QDateTime& when) {
  return u"error_" + FormatDateTime(QStringLiteral("dd.mm.yyyy 'at' hh.mm"),
                                    DateTimeFromQDateTime(when), QLocale::c());
}
