#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

class QWidget;

// Image of `window` with its frame as it appears on the screen, or of the whole
// primary screen when `window` is null. Where the screen cannot be read (no
// such support on the platform, the window hidden or minimised) the window's
// own rendering without the frame is used. A null image when nothing could be
// captured.
QImage GrabScreenshot(QWidget* window);

// Saves GrabScreenshot(window) as fileName + ".bmp" when `asBitmap`, else as
// fileName + ".jpg", a progressive JPEG at `quality` (clamped to 0..100).
// False with a reason in `error` (when given) on any failure; no partial file
// is left behind.
bool SaveScreenshot(QWidget* window, const QString& fileName, bool asBitmap, int quality,
                    QString* error = nullptr);

// Base name (without directory and extension) of the screenshot taken when the
// program fails at `when`, e.g. "error_24.12.2008 at 18.05".
QString ErrorScreenshotName(const QDateTime& when);
