// The BMP reader through ImageFromMemory: the pixel formats it knows, and damaged or hostile
// headers it must refuse without reading outside the data.
#include <gtest/gtest.h>

#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "tests/services/images/picture_makers.h"

namespace {

constexpr int kN = 2;

const QImage& Picture() { return *GuiImageOf(ImageHandle(kN)); }

class BmpReading : public testing::Test {
 protected:
  void TearDown() override { ImageFreeAll(); }
  static bool Read(const Bytes& data) { return ImageFromMemory(kN, data.data(), data.size()) != nullptr; }
};

std::vector<RgbPixel> SomeColours(int n) {
  std::vector<RgbPixel> p;
  for (int i = 0; i < n; ++i)
    p.push_back({static_cast<unsigned char>(i * 7 + 3), static_cast<unsigned char>(255 - i),
                 static_cast<unsigned char>(i * 13)});
  return p;
}

TEST_F(BmpReading, EveryUncompressedDepthReadsToThirtyTwoBits) {
  struct Case {
    int bpp;
    int paletteSize;
    bool topDown;
  } cases[] = {{1, 2, false}, {4, 16, false}, {4, 5, false}, {8, 256, false}, {8, 20, true},
               {16, 0, false}, {24, 0, false}, {24, 0, true}, {32, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("bpp " + std::to_string(c.bpp) + (c.topDown ? " top-down" : ""));
    BmpLayout layout;
    layout.width = 13;  // odd, so rows carry padding
    layout.height = 5;
    layout.bpp = c.bpp;
    layout.topDown = c.topDown;
    layout.palette = SomeColours(c.paletteSize);
    const int n = c.paletteSize;
    layout.pixel = [n, bpp = c.bpp](int x, int y) {
      if (bpp <= 8) return RgbPixel{static_cast<unsigned char>((x + 3 * y) % n), 0, 0};
      return RgbPixel{static_cast<unsigned char>(x * 19), static_cast<unsigned char>(y * 60),
                      static_cast<unsigned char>(255 - x * 8)};
    };
    ASSERT_TRUE(Read(MakeBmp(layout)));
    EXPECT_EQ(ImagePixelWidth(kN), 13);
    EXPECT_EQ(ImagePixelHeight(kN), 5);
    EXPECT_EQ(Picture().depth(), 32);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 13; ++x) {
        RgbPixel want = layout.pixel(x, y);
        if (c.bpp <= 8) want = layout.palette[want[0]];
        // Five bits a channel keep the top five bits, widened back to eight.
        const int tolerance = c.bpp == 16 ? 8 : 0;
        ASSERT_TRUE(Near(PixelAt(Picture(), x, y), want, tolerance))
            << x << "," << y << ": " << Show(PixelAt(Picture(), x, y)) << " for " << Show(want);
      }
    }
  }
}

TEST_F(BmpReading, PaletteIndexesPastTheEndAreBlack) {
  BmpLayout layout;
  layout.width = 4;
  layout.height = 1;
  layout.bpp = 8;
  layout.palette = {{10, 20, 30}, {40, 50, 60}};
  layout.pixel = [](int x, int) { return RgbPixel{static_cast<unsigned char>(x == 3 ? 200 : x % 2), 0, 0}; };
  ASSERT_TRUE(Read(MakeBmp(layout)));
  EXPECT_EQ(PixelAt(Picture(), 1, 0), (RgbPixel{40, 50, 60}));
  EXPECT_EQ(PixelAt(Picture(), 3, 0), (RgbPixel{0, 0, 0}));
}

TEST_F(BmpReading, BitFieldsAndOtherHeaders) {
  // 16 bits as 5-6-5 with masks after a 40-byte header.
  {
    BmpLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.bpp = 16;
    Bytes b = MakeBmp(layout);
    // Insert the three masks before the pixels.
    const std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    Bytes m(12);
    for (int i = 0; i < 3; ++i) PutU32(m, static_cast<std::size_t>(4 * i), masks[i]);
    b.insert(b.begin() + 54, m.begin(), m.end());
    PutU32(b, 10, 54 + 12);
    PutU32(b, 30, 3);                  // BI_BITFIELDS
    PutU16(b, 54 + 12, 0xF800);        // pure red
    PutU16(b, 54 + 14, 0x07E0);        // pure green
    ASSERT_TRUE(Read(b));
    EXPECT_EQ(PixelAt(Picture(), 0, 0), (RgbPixel{255, 0, 0}));
    EXPECT_EQ(PixelAt(Picture(), 1, 0), (RgbPixel{0, 255, 0}));
  }
  // A 124-byte header with its masks inside, 32 bits with the colours in an unusual order.
  {
    Bytes b(14 + 124 + 4, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutU32(b, 10, 14 + 124);
    PutU32(b, 14, 124);
    PutU32(b, 18, 1);
    PutU32(b, 22, 1);
    PutU16(b, 26, 1);
    PutU16(b, 28, 32);
    PutU32(b, 30, 3);
    PutU32(b, 54, 0x000000FF);  // red in the lowest byte
    PutU32(b, 58, 0x0000FF00);
    PutU32(b, 62, 0x00FF0000);
    PutU32(b, 138, 0x00336699);
    ASSERT_TRUE(Read(b));
    EXPECT_EQ(PixelAt(Picture(), 0, 0), (RgbPixel{0x99, 0x66, 0x33}));
  }
  // The old 12-byte core header with 3-byte palette entries.
  {
    Bytes b(14 + 12 + 2 * 3 + 4, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutU32(b, 10, 14 + 12 + 6);
    PutU32(b, 14, 12);
    PutU16(b, 18, 3);
    PutU16(b, 20, 1);
    PutU16(b, 22, 1);
    PutU16(b, 24, 1);
    b[26] = 0x30;  // entry 0: blue, green, red
    b[27] = 0x20;
    b[28] = 0x10;
    b[29] = 0xFF;
    b[30] = 0xFF;
    b[31] = 0xFF;
    b[32] = 0x40;  // pixels 0, 1, 0
    ASSERT_TRUE(Read(b));
    EXPECT_EQ(ImagePixelWidth(kN), 3);
    EXPECT_EQ(PixelAt(Picture(), 0, 0), (RgbPixel{0x10, 0x20, 0x30}));
    EXPECT_EQ(PixelAt(Picture(), 1, 0), (RgbPixel{255, 255, 255}));
  }
}

TEST_F(BmpReading, ImpossibleOrUnsupportedFilesAreRefused) {
  BmpLayout layout;
  layout.width = 8;
  layout.height = 4;
  layout.bpp = 8;
  layout.palette = SomeColours(16);
  const Bytes good = MakeBmp(layout);
  ASSERT_TRUE(Read(good));
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
  } cases[] = {
      {"pixels start past the end", [](Bytes& b) { PutU32(b, 10, static_cast<std::uint32_t>(b.size()) + 1); }},
      {"pixels start at 4 GB", [](Bytes& b) { PutU32(b, 10, 0xFFFFFFFF); }},
      {"pixels start inside the header", [](Bytes& b) { PutU32(b, 10, 20); }},
      {"pixels start inside the palette", [](Bytes& b) { PutU32(b, 10, 54 + 8); }},
      {"pixels run past the end", [](Bytes& b) { b.resize(b.size() - 9); }},
      {"palette of 257 entries", [](Bytes& b) { PutU32(b, 46, 257); }},
      {"palette of 4 billion entries", [](Bytes& b) { PutU32(b, 46, 0xFFFFFFFF); }},
      {"palette running into the pixels", [](Bytes& b) { PutU32(b, 46, 200); }},
      {"zero width", [](Bytes& b) { PutU32(b, 18, 0); }},
      {"negative width", [](Bytes& b) { PutU32(b, 18, static_cast<std::uint32_t>(-8)); }},
      {"zero height", [](Bytes& b) { PutU32(b, 22, 0); }},
      {"most negative height", [](Bytes& b) { PutU32(b, 22, 0x80000000u); }},
      {"width past 32767", [](Bytes& b) { PutU32(b, 18, 32768); }},
      {"height past 32767", [](Bytes& b) { PutU32(b, 22, 40000); }},
      {"8000 x 8000: too many pixels", [](Bytes& b) { PutU32(b, 18, 8000); PutU32(b, 22, 8000); }},
      {"two planes", [](Bytes& b) { PutU16(b, 26, 2); }},
      {"7 bits per pixel", [](Bytes& b) { PutU16(b, 28, 7); }},
      {"0 bits per pixel", [](Bytes& b) { PutU16(b, 28, 0); }},
      {"run-length compressed", [](Bytes& b) { PutU32(b, 30, 1); }},
      {"embedded JPEG", [](Bytes& b) { PutU32(b, 30, 4); }},
      {"bit fields on 8 bits", [](Bytes& b) { PutU32(b, 30, 3); }},
      {"unknown header size 64", [](Bytes& b) { PutU32(b, 14, 64); }},
      {"header size past the end", [](Bytes& b) { PutU32(b, 14, 124); b.resize(100); }},
      {"header size 0", [](Bytes& b) { PutU32(b, 14, 0); }},
      {"only the file header", [](Bytes& b) { b.resize(14); }},
      {"file header and half an info header", [](Bytes& b) { b.resize(34); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = good;
    c.damage(b);
    EXPECT_FALSE(Read(b));
    EXPECT_FALSE(ImageExists(kN));
    EXPECT_EQ(ImagePixelWidth(kN), 0);
  }
}

TEST_F(BmpReading, TheLastRowMayLackItsPadding) {
  BmpLayout layout;
  layout.width = 3;
  layout.height = 2;
  layout.bpp = 24;
  layout.pixel = [](int x, int y) { return RgbPixel{static_cast<unsigned char>(x * 80), static_cast<unsigned char>(y * 90), 1}; };
  Bytes b = MakeBmp(layout);
  b.resize(b.size() - 3);  // 9 bytes of pixels in the top row, its 3 padding bytes gone
  ASSERT_TRUE(Read(b));
  EXPECT_EQ(PixelAt(Picture(), 2, 0), layout.pixel(2, 0));
  b.resize(b.size() - 1);  // now a pixel byte is missing too
  EXPECT_FALSE(Read(b));
}

}  // namespace
