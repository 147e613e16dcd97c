// JpegDecoder through the image table: every kind of JPEG a cover download may hold, sound or
// damaged, and the limits that keep a hostile file from taking the program down.
#include <gtest/gtest.h>

#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "tests/services/images/picture_makers.h"

namespace {

constexpr int kN = 4;

const QImage& Picture() { return *GuiImageOf(ImageHandle(kN)); }

class JpegDecoding : public testing::Test {
 protected:
  void SetUp() override { RegisterJpegDecoder(); }
  void TearDown() override { ImageFreeAll(); }

  // Decodes from a block of exactly the data's size, so reading past it is caught.
  static bool Decode(const Bytes& data) {
    return ImageFromMemory(kN, data.data(), data.size()) != nullptr;
  }

  // The centre of each quadrant holds its colour.
  static void ExpectQuadrants(int w, int h, int tolerance) {
    ASSERT_TRUE(ImageExists(kN));
    ASSERT_EQ(ImagePixelWidth(kN), w);
    ASSERT_EQ(ImagePixelHeight(kN), h);
    for (int qy = 0; qy < 2; ++qy) {
      for (int qx = 0; qx < 2; ++qx) {
        const int x = w / 4 + qx * w / 2;
        const int y = h / 4 + qy * h / 2;
        const RgbPixel want = Quadrants(x, y, w, h);
        const RgbPixel got = PixelAt(Picture(), x, y);
        EXPECT_TRUE(Near(got, want, tolerance)) << "at " << x << "," << y << ": " << Show(got)
                                                << " instead of " << Show(want);
      }
    }
  }
};

auto QuadrantsOf(int w, int h) {
  return [w, h](int x, int y) { return Quadrants(x, y, w, h); };
}

TEST_F(JpegDecoding, SoundPicturesOfEveryKindDecodeToTheirColours) {
  struct Case {
    const char* name;
    int w, h;
    JpegOptions options;
  } cases[] = {
      {"baseline 4:2:0", 64, 48, {}},
      {"baseline 4:4:4", 64, 48, {.fullChroma = true}},
      {"odd size", 37, 23, {}},
      {"one pixel", 1, 1, {}},
      {"one row", 300, 1, {}},
      {"one column", 1, 300, {}},
      {"progressive", 64, 48, {.progressive = true}},
      {"restart every MCU", 64, 48, {.restartInterval = 1}},
      {"restart every 3 MCUs", 64, 48, {.restartInterval = 3}},
      {"progressive with restarts", 64, 48, {.progressive = true, .restartInterval = 2}},
      {"low quality", 64, 48, {.quality = 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes jpeg = EncodeJpeg(c.w, c.h, QuadrantsOf(c.w, c.h), c.options);
    ASSERT_TRUE(Decode(jpeg));
    EXPECT_EQ(Picture().depth(), 24);
    EXPECT_EQ(Picture().bytesPerLine(), 3 * c.w + c.w % 4);
    ExpectQuadrants(c.w, c.h, c.options.quality < 50 ? 60 : 24);
  }
}

TEST_F(JpegDecoding, GrayscaleGivesEqualRedGreenAndBlue) {
  for (bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    const Bytes jpeg = EncodeJpeg(50, 30, [](int x, int y) {
      const auto v = static_cast<unsigned char>((x * 5 + y * 3) % 256);
      return RgbPixel{0, v, 0};
    }, {.progressive = progressive, .grayscale = true});
    ASSERT_TRUE(Decode(jpeg));
    EXPECT_EQ(Picture().depth(), 24);
    int spread = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 50; ++x) {
        const RgbPixel p = PixelAt(Picture(), x, y);
        ASSERT_EQ(p[0], p[1]) << x << "," << y;
        ASSERT_EQ(p[1], p[2]) << x << "," << y;
        spread = std::max(spread, static_cast<int>(p[0]));
      }
    }
    EXPECT_GT(spread, 150) << "the gradient survived";
    EXPECT_NEAR(PixelAt(Picture(), 20, 10)[0], (20 * 5 + 10 * 3) % 256, 8);
  }
}

TEST_F(JpegDecoding, FourComponentPicturesComeOutInTheirTrueColours) {
  // Inks as stored: with the Adobe marker they are inverted (255 means no ink).
  struct Swatch {
    RgbPixel rgb;
    InkPixel plainInks;
  } swatches[] = {
      {{255, 0, 0}, {0, 255, 255, 0}},
      {{0, 0, 255}, {255, 255, 0, 0}},
      {{255, 255, 255}, {0, 0, 0, 0}},
      {{0, 0, 0}, {0, 0, 0, 255}},
  };
  auto inks = [&](bool inverted) {
    return [&, inverted](int x, int) {
      InkPixel p = swatches[x / 16].plainInks;
      if (inverted)
        for (auto& v : p) v = static_cast<unsigned char>(255 - v);
      return p;
    };
  };
  struct Case {
    const char* name;
    bool ycck, adobe;
  } cases[] = {{"Adobe CMYK", false, true}, {"Adobe YCCK", true, true}, {"plain CMYK", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Decode(EncodeInkJpeg(64, 16, inks(c.adobe), c.ycck, c.adobe)));
    EXPECT_EQ(ImagePixelWidth(kN), 64);
    EXPECT_EQ(Picture().depth(), 24);
    for (int i = 0; i < 4; ++i) {
      const RgbPixel got = PixelAt(Picture(), i * 16 + 8, 8);
      EXPECT_TRUE(Near(got, swatches[i].rgb, 24)) << i << ": " << Show(got);
    }
  }
}

TEST_F(JpegDecoding, ATruncatedPictureKeepsTheRowsThatArrived) {
  const int w = 64, h = 64;
  for (bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    const Bytes jpeg = EncodeJpeg(w, h, QuadrantsOf(w, h), {.progressive = progressive});
    const long scan = ScanDataStart(jpeg);
    ASSERT_GT(scan, 0);
    for (double part : {0.0, 0.25, 0.6, 0.95}) {
      SCOPED_TRACE(part);
      const auto cut = static_cast<std::size_t>(scan + static_cast<long>(part * (jpeg.size() - scan)));
      const Bytes truncated(jpeg.begin(), jpeg.begin() + static_cast<long>(cut));
      ASSERT_TRUE(Decode(truncated));
      EXPECT_EQ(ImagePixelWidth(kN), w);
      EXPECT_EQ(ImagePixelHeight(kN), h);
      if (!progressive && part >= 0.6) {
        // More than half the data: the whole top half came through.
        EXPECT_TRUE(Near(PixelAt(Picture(), 8, 8), {255, 0, 0}, 24));
        EXPECT_TRUE(Near(PixelAt(Picture(), 56, 8), {0, 255, 0}, 24));
      }
    }
  }
  // Cut inside the header: nothing to show.
  const Bytes jpeg = EncodeJpeg(w, h, QuadrantsOf(w, h));
  const Bytes header(jpeg.begin(), jpeg.begin() + FindMarker(jpeg, 0xC0) + 5);
  EXPECT_FALSE(Decode(header));
  EXPECT_FALSE(ImageExists(kN));
}

TEST_F(JpegDecoding, CorruptDataInTheMiddleStillGivesAnImage) {
  const int w = 96, h = 96;
  for (int interval : {0, 1}) {
    SCOPED_TRACE(interval ? "with restart markers" : "without restart markers");
    Bytes jpeg = EncodeJpeg(w, h, QuadrantsOf(w, h), {.restartInterval = interval});
    const long scan = ScanDataStart(jpeg);
    const std::size_t middle = static_cast<std::size_t>(scan) + (jpeg.size() - scan) / 2;
    for (std::size_t i = middle; i < middle + 24; ++i) jpeg[i] = static_cast<unsigned char>(i * 37);
    ASSERT_TRUE(Decode(jpeg));
    EXPECT_EQ(ImagePixelWidth(kN), w);
    EXPECT_EQ(ImagePixelHeight(kN), h);
    // The rows before the damage are intact.
    EXPECT_TRUE(Near(PixelAt(Picture(), 10, 4), {255, 0, 0}, 24));
    EXPECT_TRUE(Near(PixelAt(Picture(), 86, 4), {0, 255, 0}, 24));
    if (interval == 1) {
      // Restart markers let the decoder find its feet again: the last rows are right too.
      EXPECT_TRUE(Near(PixelAt(Picture(), 10, 90), {0, 0, 255}, 24)) << Show(PixelAt(Picture(), 10, 90));
      EXPECT_TRUE(Near(PixelAt(Picture(), 86, 90), {255, 255, 255}, 24));
    }
  }
}

TEST_F(JpegDecoding, AFatalErrorAfterTheRowsKeepsThem) {
  // After the scan, a table segment too short to hold a table: the library gives up while
  // finishing, once every row is out.
  const int w = 32, h = 32;
  Bytes jpeg = EncodeJpeg(w, h, QuadrantsOf(w, h));
  ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  ASSERT_EQ(jpeg[jpeg.size() - 1], 0xD9);
  jpeg.resize(jpeg.size() - 2);
  for (unsigned char b : {0xFF, 0xC4, 0x00, 0x03, 0x00, 0xFF, 0xD9}) jpeg.push_back(b);
  ASSERT_TRUE(Decode(jpeg));
  ExpectQuadrants(w, h, 24);
}

TEST_F(JpegDecoding, DeclaredSizesBeyondTheLimitsAreRefused) {
  const Bytes small = EncodeJpeg(16, 16, QuadrantsOf(16, 16));
  const long sof = FindMarker(small, 0xC0);
  ASSERT_GT(sof, 0);
  auto withSize = [&](unsigned w, unsigned h) {
    Bytes b = small;
    b[static_cast<std::size_t>(sof) + 5] = static_cast<unsigned char>(h >> 8);
    b[static_cast<std::size_t>(sof) + 6] = static_cast<unsigned char>(h & 0xFF);
    b[static_cast<std::size_t>(sof) + 7] = static_cast<unsigned char>(w >> 8);
    b[static_cast<std::size_t>(sof) + 8] = static_cast<unsigned char>(w & 0xFF);
    return b;
  };
  struct Case {
    unsigned w, h;
    bool accepted;
  } cases[] = {
      {65535, 65535, false},  // beyond 16-bit signed fields
      {40000, 16, false},     {16, 40000, false},
      {32767, 32767, false},  // fits the fields, but 3 GB of pixels
      {8000, 8000, false},    // 192 MB
      {4729, 4729, true},     // just under 64 MB
      {32767, 16, true},      {16, 32767, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    EXPECT_EQ(Decode(withSize(c.w, c.h)), c.accepted);
    EXPECT_EQ(ImageExists(kN), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(ImagePixelWidth(kN), static_cast<int>(c.w));
      EXPECT_EQ(ImagePixelHeight(kN), static_cast<int>(c.h));
      // The 16 x 16 pixels that exist are there; the rest is invented, not garbage memory.
      EXPECT_TRUE(Near(PixelAt(Picture(), 3, 3), {255, 0, 0}, 24));
    }
    ImageFree(kN);
  }
}

TEST_F(JpegDecoding, ProgressivePicturesOfHundredsOfScansAreRefused) {
  const Bytes normal = EncodeJpeg(16, 16, QuadrantsOf(16, 16), {.progressive = true});
  EXPECT_TRUE(Decode(normal));
  const Bytes many = EncodeJpeg(16, 16, QuadrantsOf(16, 16), {.grayscale = true, .manyScans = 694});
  EXPECT_FALSE(Decode(many));
  EXPECT_FALSE(ImageExists(kN));
  const Bytes fewer = EncodeJpeg(16, 16, QuadrantsOf(16, 16), {.grayscale = true, .manyScans = 100});
  EXPECT_TRUE(Decode(fewer));
}

TEST_F(JpegDecoding, UnsupportedOrBrokenHeadersAreRefused) {
  const Bytes good = EncodeJpeg(16, 16, QuadrantsOf(16, 16));
  const long sof = FindMarker(good, 0xC0);
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
  } cases[] = {
      {"two components", [&](Bytes& b) { b[static_cast<std::size_t>(sof) + 9] = 2; }},
      {"zero width", [&](Bytes& b) { b[static_cast<std::size_t>(sof) + 7] = b[static_cast<std::size_t>(sof) + 8] = 0; }},
      {"12-bit samples", [&](Bytes& b) { b[static_cast<std::size_t>(sof) + 4] = 12; }},
      {"no frame header", [&](Bytes& b) { b[static_cast<std::size_t>(sof) + 1] = 0xE5; }},
      {"segment length past the end", [&](Bytes& b) { b[4] = 0xFF; b[5] = 0xFF; }},
      {"not FF D8", [&](Bytes& b) { b[1] = 0xD9; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = good;
    c.damage(b);
    EXPECT_FALSE(Decode(b));
    EXPECT_FALSE(ImageExists(kN));
  }
}

TEST_F(JpegDecoding, OnlyTheFirstTenMillionBytesOfAMemoryBlockAreOffered) {
  // A picture followed by megabytes of padding decodes; the decoder never needs the tail.
  const Bytes jpeg = EncodeJpeg(32, 32, QuadrantsOf(32, 32));
  Bytes padded = jpeg;
  padded.resize(12'000'000, 0);
  ASSERT_TRUE(Decode(padded));
  ExpectQuadrants(32, 32, 24);
}

TEST_F(JpegDecoding, DamagedPicturesLookDamagedNotRandom) {
  // A picture a person would look at: the cover cut short, saved for the eye.
  const int w = 120, h = 170;
  const Bytes jpeg = EncodeJpeg(w, h, [](int x, int y) {
    return RgbPixel{static_cast<unsigned char>(x * 2), static_cast<unsigned char>(y), 160};
  });
  const long scan = ScanDataStart(jpeg);
  const Bytes cut(jpeg.begin(), jpeg.begin() + scan + (static_cast<long>(jpeg.size()) - scan) / 2);
  ASSERT_TRUE(Decode(cut));
  SavePng(Picture(), "truncated_cover", 2);
  // The last row is flat: the library filled the missing data with nothing, not noise.
  const RgbPixel first = PixelAt(Picture(), 0, h - 1);
  for (int x = 0; x < w; ++x) EXPECT_TRUE(Near(PixelAt(Picture(), x, h - 1), first, 12)) << x;
}

}  // namespace
