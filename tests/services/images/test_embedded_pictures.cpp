// The pictures built into the program: their file formats byte by byte, what they decode to, and
// PNGs of them in TEST_OUTPUT_DIR/images for a person to look at.
#include <gtest/gtest.h>

#include <QPainter>

#include "app/embedded_pictures.h"
#include "program/gadgets.h"
#include "services/columnsort/arrow_pictures.h"
#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "tests/services/images/picture_makers.h"

namespace {

Bytes BytesOf(const unsigned char* data, std::size_t size) { return Bytes(data, data + size); }
Bytes BytesOf(EmbeddedPicture p) { return BytesOf(p.data, p.size); }
Bytes BytesOf(SortArrowPicture p) { return BytesOf(p.data, p.size); }

unsigned U16le(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t U32le(const Bytes& b, std::size_t at) { return U16le(b, at) | U16le(b, at + 2) << 16; }
unsigned U16be(const Bytes& b, std::size_t at) { return b[at] << 8 | b[at + 1]; }

const QImage& Picture(int number) { return *GuiImageOf(ImageHandle(number)); }

class EmbeddedPictures : public testing::Test {
 protected:
  void SetUp() override { RegisterJpegDecoder(); }
  void TearDown() override { ImageFreeAll(); }
};

// The header facts of a JFIF baseline JPEG with YCbCr 4:2:0.
void ExpectBaselineJfif(const Bytes& b, int w, int h, int dpi) {
  ASSERT_GE(b.size(), 20u);
  EXPECT_EQ(b[0], 0xFF);
  EXPECT_EQ(b[1], 0xD8);
  const long app0 = FindMarker(b, 0xE0);
  ASSERT_EQ(app0, 2) << "JFIF marker right after the start";
  EXPECT_EQ(std::string(b.begin() + 6, b.begin() + 11), std::string("JFIF\0", 5));
  EXPECT_EQ(b[11], 1);  // version 1.01
  EXPECT_EQ(b[12], 1);
  if (dpi > 0) {
    EXPECT_EQ(b[13], 1);  // dots per inch
    EXPECT_EQ(U16be(b, 14), static_cast<unsigned>(dpi));
    EXPECT_EQ(U16be(b, 16), static_cast<unsigned>(dpi));
  }
  const long sof = FindMarker(b, 0xC0);
  ASSERT_GT(sof, 0) << "a baseline frame";
  for (unsigned char other : {0xC1, 0xC2, 0xC3, 0xC9, 0xCA}) EXPECT_EQ(FindMarker(b, other), -1);
  const auto s = static_cast<std::size_t>(sof);
  EXPECT_EQ(b[s + 4], 8);
  EXPECT_EQ(U16be(b, s + 5), static_cast<unsigned>(h));
  EXPECT_EQ(U16be(b, s + 7), static_cast<unsigned>(w));
  ASSERT_EQ(b[s + 9], 3);
  EXPECT_EQ(b[s + 11], 0x22);  // luminance 2 x 2
  EXPECT_EQ(b[s + 14], 0x11);  // chroma 1 x 1
  EXPECT_EQ(b[s + 17], 0x11);
  EXPECT_EQ(b[b.size() - 2], 0xFF);
  EXPECT_EQ(b[b.size() - 1], 0xD9);
}

// The header facts of an uncompressed 8-bit BMP with a full palette, rows bottom-up.
void ExpectPaletteBmp(const Bytes& b, int w, int h) {
  ASSERT_EQ(b.size(), 14u + 40 + 1024 + static_cast<std::size_t>((w + 3) / 4 * 4 * h));
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32le(b, 2), b.size());
  EXPECT_EQ(U32le(b, 10), 1078u);
  EXPECT_EQ(U32le(b, 14), 40u);
  EXPECT_EQ(static_cast<std::int32_t>(U32le(b, 18)), w);
  EXPECT_EQ(static_cast<std::int32_t>(U32le(b, 22)), h) << "positive: rows bottom-up";
  EXPECT_EQ(U16le(b, 26), 1u);
  EXPECT_EQ(U16le(b, 28), 8u);
  EXPECT_EQ(U32le(b, 30), 0u);  // BI_RGB
  const std::uint32_t used = U32le(b, 46);
  EXPECT_TRUE(used == 0 || used == 256) << used;
}

TEST_F(EmbeddedPictures, FileFormatsAreAsTheProgramNeedsThem) {
  {
    SCOPED_TRACE("printer icon");
    ExpectBaselineJfif(BytesOf(PrinterIconPicture()), 32, 32, 0);
  }
  {
    SCOPED_TRACE("no-cover picture");
    ExpectBaselineJfif(BytesOf(NoCoverPicture()), 200, 275, 72);
  }
  {
    SCOPED_TRACE("power icon");
    const Bytes b = BytesOf(PowerIconPicture());
    EXPECT_EQ(b.size(), 2102u);
    ExpectPaletteBmp(b, 32, 32);
  }
  for (const auto& [name, p] : {std::pair{"up arrow", SortArrowUpPicture()},
                                std::pair{"down arrow", SortArrowDownPicture()}}) {
    SCOPED_TRACE(name);
    ExpectPaletteBmp(BytesOf(p), 12, 12);
  }
}

TEST_F(EmbeddedPictures, DecodeToTheirSizesAndDepths) {
  const EmbeddedPicture printer = PrinterIconPicture();
  const EmbeddedPicture power = PowerIconPicture();
  const EmbeddedPicture noCover = NoCoverPicture();
  ASSERT_NE(ImageFromMemory(kPrinterIconImage, printer.data, printer.size), nullptr);
  ASSERT_NE(ImageFromMemory(kPowerIconImage, power.data, power.size), nullptr);
  ASSERT_NE(ImageFromMemory(kNoCoverImage, noCover.data, noCover.size), nullptr);
  EXPECT_EQ(ImagePixelWidth(kPrinterIconImage), 32);
  EXPECT_EQ(ImagePixelHeight(kPrinterIconImage), 32);
  EXPECT_EQ(Picture(kPrinterIconImage).depth(), 24);
  EXPECT_EQ(ImagePixelWidth(kPowerIconImage), 32);
  EXPECT_EQ(ImagePixelHeight(kPowerIconImage), 32);
  EXPECT_EQ(Picture(kPowerIconImage).depth(), 32);
  EXPECT_EQ(ImagePixelWidth(kNoCoverImage), 200);
  EXPECT_EQ(ImagePixelHeight(kNoCoverImage), 275);
  EXPECT_EQ(Picture(kNoCoverImage).depth(), 24);
}

TEST_F(EmbeddedPictures, TheNoCoverPictureResizedToItsOwnSizeIsUntouched) {
  const EmbeddedPicture noCover = NoCoverPicture();
  ASSERT_NE(ImageFromMemory(kNoCoverImage, noCover.data, noCover.size), nullptr);
  ImageHandle_t before = ImageHandle(kNoCoverImage);
  const QImage copy = Picture(kNoCoverImage).copy();
  ImageResize(kNoCoverImage, 200, 275);
  EXPECT_EQ(ImageHandle(kNoCoverImage), before);
  EXPECT_EQ(Picture(kNoCoverImage), copy);
}

TEST_F(EmbeddedPictures, ThePicturesShowWhatTheyShould) {
  const EmbeddedPicture power = PowerIconPicture();
  const EmbeddedPicture noCover = NoCoverPicture();
  const EmbeddedPicture printer = PrinterIconPicture();
  ASSERT_NE(ImageFromMemory(kPowerIconImage, power.data, power.size), nullptr);
  ASSERT_NE(ImageFromMemory(kNoCoverImage, noCover.data, noCover.size), nullptr);
  ASSERT_NE(ImageFromMemory(kPrinterIconImage, printer.data, printer.size), nullptr);

  // The power symbol is red on a pale ground: red at its bar and ring, pale in the corners.
  const QImage& p = Picture(kPowerIconImage);
  auto red = [](RgbPixel c) { return c[0] > 150 && c[1] < 90 && c[2] < 90; };
  EXPECT_TRUE(red(PixelAt(p, 16, 8))) << "bar " << Show(PixelAt(p, 16, 8));
  EXPECT_TRUE(red(PixelAt(p, 5, 17))) << "ring " << Show(PixelAt(p, 5, 17));
  EXPECT_TRUE(red(PixelAt(p, 16, 27))) << "ring " << Show(PixelAt(p, 16, 27));
  for (auto [x, y] : {std::pair{0, 0}, {31, 0}, {0, 31}, {31, 31}, {10, 17}})
    EXPECT_GT(PixelAt(p, x, y)[1], 200) << x << "," << y;

  // The no-cover picture is grey throughout, with dark writing on it.
  const QImage& n = Picture(kNoCoverImage);
  int dark = 0;
  for (int y = 0; y < n.height(); ++y) {
    for (int x = 0; x < n.width(); ++x) {
      const RgbPixel c = PixelAt(n, x, y);
      ASSERT_LE(std::max({c[0], c[1], c[2]}) - std::min({c[0], c[1], c[2]}), 8) << x << "," << y;
      if (c[0] < 110) ++dark;
    }
  }
  EXPECT_GT(dark, 800) << "the words are there";
  // The writing sits in the lower half, below the picture sign.
  int darkBelow = 0;
  for (int y = 165; y < 230; ++y)
    for (int x = 0; x < n.width(); ++x) darkBelow += PixelAt(n, x, y)[0] < 110;
  EXPECT_GT(darkBelow, 600);

  // The printer's paper is white, its body grey.
  const QImage& pr = Picture(kPrinterIconImage);
  EXPECT_TRUE(Near(PixelAt(pr, 16, 28), {255, 255, 255}, 30)) << Show(PixelAt(pr, 16, 28));
  EXPECT_LT(PixelAt(pr, 4, 21)[0], 150);

  SavePng(p, "power_icon", 8);
  SavePng(pr, "printer_icon", 8);
  SavePng(n, "no_cover");
  SavePng(n, "no_cover_x2", 2);
}

TEST_F(EmbeddedPictures, TheArrowsPointUpAndDown) {
  const SortArrowPicture up = SortArrowUpPicture();
  const SortArrowPicture down = SortArrowDownPicture();
  ASSERT_NE(ImageFromMemory(20, up.data, up.size), nullptr);
  ASSERT_NE(ImageFromMemory(21, down.data, down.size), nullptr);
  for (int n : {20, 21}) {
    EXPECT_EQ(ImagePixelWidth(n), 12);
    EXPECT_EQ(ImagePixelHeight(n), 12);
  }
  auto blackInRow = [](const QImage& img, int y) {
    int count = 0;
    for (int x = 0; x < img.width(); ++x) {
      const RgbPixel c = PixelAt(img, x, y);
      EXPECT_EQ(c[0], c[1]);
      EXPECT_EQ(c[1], c[2]);
      count += c[0] < 128;
    }
    return count;
  };
  const QImage& u = Picture(20);
  const QImage& d = Picture(21);
  // Up: narrow at the top, wide at the bottom; down the other way round; white corners.
  EXPECT_LT(blackInRow(u, 3), blackInRow(u, 7));
  EXPECT_GT(blackInRow(d, 4), blackInRow(d, 8));
  EXPECT_GE(blackInRow(u, 7), 6);
  EXPECT_GE(blackInRow(d, 4), 6);
  for (const QImage* img : {&u, &d})
    for (auto [x, y] : {std::pair{0, 0}, {11, 0}, {0, 11}, {11, 11}})
      EXPECT_EQ(PixelAt(*img, x, y), (RgbPixel{255, 255, 255}));

  QImage sheet(24 * 2 + 8, 24, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  painter.drawImage(QRect(0, 0, 24, 24), u);
  painter.drawImage(QRect(32, 0, 24, 24), d);
  painter.end();
  SavePng(sheet, "sort_arrows", 4);
}

}  // namespace
