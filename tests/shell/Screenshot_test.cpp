#include "shell/Screenshot.h"

#include <gtest/gtest.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtEndian>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "shell/ImageWriters.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct Rgb {
  int r, g, b;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // tightly packed rows, top to bottom

  Rgb At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) *
                          3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// Smooth in both directions, with all three channels different, so that a
// swapped channel, a flipped or shifted row shows up.
Image Gradient(int width, int height) {
  Image image{width, height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.rgb.push_back(static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1)));
      image.rgb.push_back(static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1)));
      image.rgb.push_back(static_cast<std::uint8_t>(200 - (x + y) * 150 / (width + height)));
    }
  }
  return image;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Names in `dir`, so that tests can check that a failure left nothing behind.
QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// --- BMP reading -----------------------------------------------------------

struct Bmp {
  Image image;
  bool paddingZero = true;
};

std::uint32_t U32(const QByteArray& data, qsizetype at) {
  return qFromLittleEndian<std::uint32_t>(data.constData() + at);
}
std::uint16_t U16(const QByteArray& data, qsizetype at) {
  return qFromLittleEndian<std::uint16_t>(data.constData() + at);
}

// Reads the file as any BMP reader would and checks every header field on the way.
std::optional<Bmp> ReadBmp(const QString& path) {
  const QByteArray data = ReadAll(path);
  if (data.size() < 54 || !data.startsWith("BM")) return std::nullopt;
  EXPECT_EQ(U32(data, 2), static_cast<std::uint32_t>(data.size())) << "file size field";
  const std::uint32_t offset = U32(data, 10);
  EXPECT_EQ(offset, 54u);
  EXPECT_EQ(U32(data, 14), 40u) << "info header size";
  const auto width = static_cast<std::int32_t>(U32(data, 18));
  const auto height = static_cast<std::int32_t>(U32(data, 22));
  EXPECT_EQ(U16(data, 26), 1) << "planes";
  EXPECT_EQ(U16(data, 28), 24) << "bits per pixel";
  EXPECT_EQ(U32(data, 30), 0u) << "compression";
  if (width <= 0 || height <= 0) return std::nullopt;  // we only write bottom-up images
  const qsizetype rowSize = (width * 3 + 3) / 4 * 4;
  EXPECT_EQ(U32(data, 34), static_cast<std::uint32_t>(rowSize * height)) << "image size field";
  if (data.size() != offset + rowSize * height) return std::nullopt;

  Bmp bmp;
  bmp.image.width = width;
  bmp.image.height = height;
  for (int y = 0; y < height; ++y) {
    const char* row = data.constData() + offset + (height - 1 - y) * rowSize;
    for (int x = 0; x < width; ++x) {
      const auto* px = reinterpret_cast<const std::uint8_t*>(row + x * 3);
      bmp.image.rgb.insert(bmp.image.rgb.end(), {px[2], px[1], px[0]});
    }
    for (qsizetype i = width * 3; i < rowSize; ++i)
      if (row[i] != 0) bmp.paddingZero = false;
  }
  return bmp;
}

// --- JPEG reading ----------------------------------------------------------

struct Jpeg {
  Image image;
  bool progressive = false;
};

struct ErrorJump {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}
void Quiet(j_common_ptr) {}

// Only trivially destructible locals here, because of the longjmp.
bool DecodeJpeg(jpeg_decompress_struct* cinfo, ErrorJump* errors, const QByteArray* data,
                Jpeg* out) {
  cinfo->err = jpeg_std_error(&errors->base);
  errors->base.error_exit = JumpOnError;
  errors->base.output_message = Quiet;
  if (setjmp(errors->jump) != 0) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(data->constData()),
               static_cast<unsigned long>(data->size()));
  jpeg_read_header(cinfo, TRUE);
  out->progressive = cinfo->progressive_mode != 0;
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  out->image.width = static_cast<int>(cinfo->output_width);
  out->image.height = static_cast<int>(cinfo->output_height);
  out->image.rgb.resize(static_cast<std::size_t>(out->image.width) *
                        static_cast<std::size_t>(out->image.height) * 3);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = out->image.rgb.data() + static_cast<std::size_t>(cinfo->output_scanline) *
                                               static_cast<std::size_t>(out->image.width) * 3;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

std::optional<Jpeg> ReadJpeg(const QString& path) {
  const QByteArray data = ReadAll(path);
  if (data.isEmpty()) return std::nullopt;
  jpeg_decompress_struct cinfo{};
  ErrorJump errors{};
  Jpeg jpeg;
  if (!DecodeJpeg(&cinfo, &errors, &data, &jpeg)) return std::nullopt;
  return jpeg;
}

struct Difference {
  double mean = 0;
  int max = 0;
};

Difference Compare(const Image& a, const Image& b) {
  Difference d;
  long long sum = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) {
    const int diff = std::abs(int{a.rgb[i]} - int{b.rgb[i]});
    sum += diff;
    d.max = std::max(d.max, diff);
  }
  d.mean = static_cast<double>(sum) / static_cast<double>(a.rgb.size());
  return d;
}

// --- Writers ---------------------------------------------------------------

struct JpegCase {
  const char* name;
  int quality;
  double maxMeanError;
  int maxError;
};

class JpegQuality : public testing::TestWithParam<JpegCase> {};

TEST_P(JpegQuality, DecodesAsProgressiveJpegCloseToTheOriginal) {
  const JpegCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const Image original = Gradient(37, 23);  // not a multiple of the 8/16 pixel blocks
  const QString path = dir.filePath(u"shot.jpg"_s);
  QString error;
  ASSERT_TRUE(WriteProgressiveJpeg(path, original.width, original.height, original.rgb.data(),
                                   c.quality, &error))
      << error.toStdString();

  const std::optional<Jpeg> jpeg = ReadJpeg(path);
  ASSERT_TRUE(jpeg.has_value());
  EXPECT_TRUE(jpeg->progressive);
  ASSERT_EQ(jpeg->image.width, original.width);
  ASSERT_EQ(jpeg->image.height, original.height);
  const Difference d = Compare(original, jpeg->image);
  EXPECT_LE(d.mean, c.maxMeanError);
  EXPECT_LE(d.max, c.maxError);
  EXPECT_EQ(Entries(dir.path()), QStringList{u"shot.jpg"_s});
}

INSTANTIATE_TEST_SUITE_P(Writers, JpegQuality,
                         testing::Values(JpegCase{"Best", 100, 2.0, 16},
                                         JpegCase{"Middle", 75, 4.0, 40},
                                         // At the bottom only the shape survives.
                                         JpegCase{"Worst", 0, 60.0, 255}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JpegWriter, ClampsQualityOutsideTheRange) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const Image image = Gradient(20, 20);
  auto encode = [&](int quality) {
    const QString path = dir.filePath(u"q%1.jpg"_s.arg(quality));
    EXPECT_TRUE(WriteProgressiveJpeg(path, image.width, image.height, image.rgb.data(), quality));
    return ReadAll(path);
  };
  EXPECT_EQ(encode(150), encode(100));
  EXPECT_EQ(encode(-5), encode(0));
  EXPECT_NE(encode(100), encode(0));
}

struct BmpCase {
  const char* name;
  int width;
  int height;
};

class BmpSizes : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpSizes, ReadsBackPixelExact) {
  const BmpCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const Image original = Gradient(c.width, c.height);
  const QString path = dir.filePath(u"shot.bmp"_s);
  QString error;
  ASSERT_TRUE(WriteBmp(path, c.width, c.height, original.rgb.data(), &error))
      << error.toStdString();

  const std::optional<Bmp> bmp = ReadBmp(path);
  ASSERT_TRUE(bmp.has_value());
  ASSERT_EQ(bmp->image.width, c.width);
  ASSERT_EQ(bmp->image.height, c.height);
  EXPECT_EQ(bmp->image.rgb, original.rgb);
  EXPECT_TRUE(bmp->paddingZero);
  EXPECT_EQ(Entries(dir.path()), QStringList{u"shot.bmp"_s});
}

INSTANTIATE_TEST_SUITE_P(Writers, BmpSizes,
                         testing::Values(BmpCase{"OnePixel", 1, 1},
                                         BmpCase{"ThreeBytesPadding", 3, 2},
                                         BmpCase{"NoPadding", 4, 3}, BmpCase{"OneRow", 37, 1},
                                         BmpCase{"OneColumn", 1, 9}, BmpCase{"Odd", 37, 23}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadInputCase {
  const char* name;
  int width;
  int height;
  bool nullPixels;
  const char* path;  // relative to the temporary directory
};

class BadInput : public testing::TestWithParam<BadInputCase> {};

// Both writers refuse, explain why, and leave neither the target nor a
// temporary file behind.
TEST_P(BadInput, BothWritersRefuseAndWriteNothing) {
  const BadInputCase& c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile blocker(dir.filePath(u"plainfile"_s));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QDir(dir.path()).mkdir(u"existingdir"_s);
  const QStringList before = Entries(dir.path());

  const Image image = Gradient(8, 8);
  const std::uint8_t* pixels = c.nullPixels ? nullptr : image.rgb.data();
  const QString path = dir.filePath(QString::fromUtf8(c.path));
  QString jpegError;
  QString bmpError;
  EXPECT_FALSE(WriteProgressiveJpeg(path, c.width, c.height, pixels, 90, &jpegError));
  EXPECT_FALSE(WriteBmp(path, c.width, c.height, pixels, &bmpError));
  EXPECT_FALSE(jpegError.isEmpty());
  EXPECT_FALSE(bmpError.isEmpty());
  EXPECT_EQ(Entries(dir.path()), before);
  EXPECT_TRUE(QDir(dir.filePath(u"existingdir"_s)).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Writers, BadInput,
    testing::Values(BadInputCase{"ZeroWidth", 0, 8, false, "out"},
                    BadInputCase{"ZeroHeight", 8, 0, false, "out"},
                    BadInputCase{"NegativeSize", -8, -8, false, "out"},
                    BadInputCase{"NoPixels", 8, 8, true, "out"},
                    BadInputCase{"MissingDirectory", 8, 8, false, "missing/out"},
                    BadInputCase{"ParentIsAFile", 8, 8, false, "plainfile/out"},
                    BadInputCase{"TargetIsADirectory", 8, 8, false, "existingdir"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Grabbing --------------------------------------------------------------

const QColor kFill(30, 160, 90);

// A plain coloured window, so that its image can be recognised.
std::unique_ptr<QWidget> ColouredWindow(int width, int height) {
  auto window = std::make_unique<QWidget>();
  window->setAutoFillBackground(true);
  QPalette palette = window->palette();
  palette.setColor(QPalette::Window, kFill);
  window->setPalette(palette);
  window->resize(width, height);
  return window;
}

bool NearFill(const Rgb& c, int tolerance) {
  return std::abs(c.r - kFill.red()) <= tolerance && std::abs(c.g - kFill.green()) <= tolerance &&
         std::abs(c.b - kFill.blue()) <= tolerance;
}

TEST(SaveScreenshot, HiddenWindowIsSavedAsItsOwnRendering) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto window = ColouredWindow(50, 40);
  const QString base = dir.filePath(u"hidden"_s);
  QString error;
  ASSERT_TRUE(SaveScreenshot(window.get(), base, true, 100, &error)) << error.toStdString();

  const std::optional<Bmp> bmp = ReadBmp(base + u".bmp"_s);
  ASSERT_TRUE(bmp.has_value());
  EXPECT_EQ(bmp->image.width, 50);
  EXPECT_EQ(bmp->image.height, 40);
  EXPECT_TRUE(NearFill(bmp->image.At(0, 0), 0));
  EXPECT_TRUE(NearFill(bmp->image.At(49, 39), 0));
}

TEST(SaveScreenshot, ShownWindowInBothFormats) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto window = ColouredWindow(120, 80);
  window->show();
  QApplication::processEvents();

  const QString base = dir.filePath(u"error_24.12.2008 at 18.05"_s);
  QString error;
  ASSERT_TRUE(SaveScreenshot(window.get(), base, true, 100, &error)) << error.toStdString();
  ASSERT_TRUE(SaveScreenshot(window.get(), base, false, 100, &error)) << error.toStdString();

  // With the frame the image may be larger than the client area; its middle is
  // the window's own colour either way.
  const std::optional<Bmp> bmp = ReadBmp(base + u".bmp"_s);
  ASSERT_TRUE(bmp.has_value());
  EXPECT_GE(bmp->image.width, 120);
  EXPECT_GE(bmp->image.height, 80);
  EXPECT_TRUE(NearFill(bmp->image.At(bmp->image.width / 2, bmp->image.height / 2), 0));

  const std::optional<Jpeg> jpeg = ReadJpeg(base + u".jpg"_s);
  ASSERT_TRUE(jpeg.has_value());
  EXPECT_TRUE(jpeg->progressive);
  EXPECT_EQ(jpeg->image.width, bmp->image.width);
  EXPECT_EQ(jpeg->image.height, bmp->image.height);
  EXPECT_TRUE(NearFill(jpeg->image.At(jpeg->image.width / 2, jpeg->image.height / 2), 4));
}

TEST(SaveScreenshot, UnwritableFolderGivesFalseAndNoFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto window = ColouredWindow(30, 20);
  for (const bool asBitmap : {true, false}) {
    QString error;
    EXPECT_FALSE(
        SaveScreenshot(window.get(), dir.filePath(u"missing/shot"_s), asBitmap, 100, &error));
    EXPECT_FALSE(error.isEmpty());
  }
  EXPECT_TRUE(Entries(dir.path()).isEmpty());
}

// Whether the platform can read the whole screen differs; either way the answer
// matches what is on disk.
TEST(SaveScreenshot, WholeScreenResultMatchesTheFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString base = dir.filePath(u"screen"_s);
  const bool saved = SaveScreenshot(nullptr, base, false, 80);
  EXPECT_EQ(QFile::exists(base + u".jpg"_s), saved);
  if (saved) {
    EXPECT_TRUE(ReadJpeg(base + u".jpg"_s).has_value());
  } else {
    EXPECT_TRUE(Entries(dir.path()).isEmpty());
  }
}

// --- File name -------------------------------------------------------------

TEST(ErrorScreenshotName, DayMonthYearAtHoursMinutes) {
  const struct {
    QDateTime when;
    QString expected;
  } cases[] = {
      {QDateTime(QDate(2008, 12, 24), QTime(18, 5, 59)), u"error_24.12.2008 at 18.05"_s},
      {QDateTime(QDate(2009, 2, 1), QTime(7, 9)), u"error_01.02.2009 at 07.09"_s},
      {QDateTime(QDate(2010, 10, 10), QTime(0, 0)), u"error_10.10.2010 at 00.00"_s},
      {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999)), u"error_31.12.1999 at 23.59"_s},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorScreenshotName(c.when), c.expected) << c.when.toString().toStdString();
}

}  // namespace
