#pragma once

#include <QString>
#include <cstdint>

// Image encoders for the error screenshots. They take plain pixel memory so they
// can run (and be tested) without any GUI types: `rgb` holds `height` rows from
// top to bottom, each `width` pixels of three bytes (red, green, blue) with no
// padding between rows.
//
// Both write the whole file beside the target and rename it into place, so a
// failure never leaves a partial image. They return false with a reason in
// `error` (when given) for an empty or oversized image, a null pixel pointer or
// any I/O failure.

// Progressive JPEG. `quality` is clamped to 0..100.
bool WriteProgressiveJpeg(const QString& path, int width, int height, const std::uint8_t* rgb,
                          int quality, QString* error = nullptr);

// Uncompressed 24-bit BMP (bottom-up rows, each padded to a multiple of four bytes).
bool WriteBmp(const QString& path, int width, int height, const std::uint8_t* rgb,
              QString* error = nullptr);
