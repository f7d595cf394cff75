#include "shell/ImageWriters.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <csetjmp>
#include <cstdlib>

#include "platform/AtomicFile.h"

namespace {

void SetError(QString* error, const QString& text) {
  if (error != nullptr) *error = text;
}

// Checks the arguments both writers share.
bool CheckImage(int width, int height, const std::uint8_t* rgb, int maxDimension, QString* error) {
  if (width <= 0 || height <= 0) {
    SetError(error, QStringLiteral("The image is empty (%1 x %2 pixels)").arg(width).arg(height));
    return false;
  }
  if (width > maxDimension || height > maxDimension) {
    SetError(error,
             QStringLiteral("The image is too large (%1 x %2 pixels)").arg(width).arg(height));
    return false;
  }
  if (rgb == nullptr) {
    SetError(error, QStringLiteral("No pixel data"));
    return false;
  }
  return true;
}

// libjpeg reports fatal errors through error_exit, whose default ends the
// process. Ours keeps the message and jumps back into EncodeJpeg instead.
struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JumpOnJpegError(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

// Warnings (e.g. about odd sampling factors) are not worth stderr noise.
void IgnoreJpegMessage(j_common_ptr) {}

// Everything that libjpeg changes lives in the caller's objects and this frame
// holds only trivially destructible values, so the longjmp out of the error
// handler neither skips a destructor nor reads a clobbered local.
bool EncodeJpeg(jpeg_compress_struct* cinfo, JpegErrorManager* errors, int width, int height,
                const std::uint8_t* rgb, int quality, unsigned char** buffer, unsigned long* size) {
  cinfo->err = jpeg_std_error(&errors->base);
  errors->base.error_exit = JumpOnJpegError;
  errors->base.output_message = IgnoreJpegMessage;
  if (setjmp(errors->jump) != 0) {
    jpeg_destroy_compress(cinfo);
    return false;
  }
  jpeg_create_compress(cinfo);
  jpeg_mem_dest(cinfo, buffer, size);
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  while (cinfo->next_scanline < cinfo->image_height) {
    // libjpeg's row type is not const, but the compressor only reads the rows.
    JSAMPROW row = const_cast<JSAMPROW>(rgb + cinfo->next_scanline * stride);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

void PutU16(QByteArray& out, std::uint16_t value) {
  char bytes[2];
  qToLittleEndian(value, bytes);
  out.append(bytes, 2);
}

void PutU32(QByteArray& out, std::uint32_t value) {
  char bytes[4];
  qToLittleEndian(value, bytes);
  out.append(bytes, 4);
}

}  // namespace

bool WriteProgressiveJpeg(const QString& path, int width, int height, const std::uint8_t* rgb,
                          int quality, QString* error) {
  if (!CheckImage(width, height, rgb, JPEG_MAX_DIMENSION, error)) return false;
  quality = std::clamp(quality, 0, 100);

  jpeg_compress_struct cinfo{};
  JpegErrorManager errors{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool encoded = EncodeJpeg(&cinfo, &errors, width, height, rgb, quality, &buffer, &size);
  // jpeg_mem_dest allocates with malloc, also when encoding failed halfway.
  QByteArray data;
  if (encoded)
    data = QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  std::free(buffer);
  if (!encoded) {
    SetError(error, QStringLiteral("Cannot encode the JPEG image: ") +
                        QString::fromLocal8Bit(static_cast<const char*>(errors.message)));
    return false;
  }
  return WriteFileAtomically(path, data, error);
}

bool WriteBmp(const QString& path, int width, int height, const std::uint8_t* rgb, QString* error) {
  // The header stores sizes as 32-bit values; this bound keeps the whole file below that.
  constexpr int kMaxDimension = 32767;
  if (!CheckImage(width, height, rgb, kMaxDimension, error)) return false;

  constexpr std::uint32_t kHeaderSize = 14 + 40;
  const std::uint32_t rowSize = (static_cast<std::uint32_t>(width) * 3 + 3) & ~std::uint32_t{3};
  const std::uint32_t imageSize = rowSize * static_cast<std::uint32_t>(height);
  constexpr std::uint32_t kPixelsPerMetre = 2835;  // 72 dpi

  QByteArray out;
  out.reserve(static_cast<qsizetype>(kHeaderSize + imageSize));
  // File header.
  out.append("BM", 2);
  PutU32(out, kHeaderSize + imageSize);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU32(out, kHeaderSize);
  // Info header; a positive height means the rows are stored bottom-up.
  PutU32(out, 40);
  PutU32(out, static_cast<std::uint32_t>(width));
  PutU32(out, static_cast<std::uint32_t>(height));
  PutU16(out, 1);   // planes
  PutU16(out, 24);  // bits per pixel
  PutU32(out, 0);   // no compression
  PutU32(out, imageSize);
  PutU32(out, kPixelsPerMetre);
  PutU32(out, kPixelsPerMetre);
  PutU32(out, 0);  // colours used
  PutU32(out, 0);  // important colours

  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  const qsizetype padding = static_cast<qsizetype>(rowSize - stride);
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* pixel = rgb + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < width; ++x, pixel += 3) {
      const char bgr[3] = {static_cast<char>(pixel[2]), static_cast<char>(pixel[1]),
                           static_cast<char>(pixel[0])};
      out.append(bgr, 3);
    }
    out.append(padding, '\0');
  }
  return WriteFileAtomically(path, out, error);
}
