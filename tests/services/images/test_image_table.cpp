// The numbered image slots: making, replacing, freeing, measuring, rescaling and loading files.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "tests/services/images/picture_makers.h"

namespace {

const QImage& Picture(int number) { return *GuiImageOf(ImageHandle(number)); }

Bytes SmallJpeg(int w = 16, int h = 8) {
  return EncodeJpeg(w, h, [&](int x, int y) { return Quadrants(x, y, w, h); });
}

class ImageTable : public testing::Test {
 protected:
  void SetUp() override { RegisterJpegDecoder(); }
  void TearDown() override { ImageFreeAll(); }
};

// Tests that read and write files work in a fresh folder of their own.
class ImageFiles : public ImageTable {
 protected:
  void SetUp() override {
    ImageTable::SetUp();
    ASSERT_TRUE(dir_.isValid());
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path().toStdString());
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    ImageTable::TearDown();
  }
  static void Write(const std::string& name, const Bytes& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  QTemporaryDir dir_;
  std::filesystem::path previous_;
};

TEST_F(ImageTable, EmptyNumbersAnswerNothingAndFreeingThemDoesNothing) {
  for (int n : {0, 1, 15, 16, 17, 999, 5000, -1}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(ImageExists(n));
    EXPECT_EQ(ImageHandle(n), nullptr);
    EXPECT_EQ(ImagePixelWidth(n), 0);
    EXPECT_EQ(ImagePixelHeight(n), 0);
    ImageFree(n);
    ImageResize(n, 10, 10);
    EXPECT_FALSE(ImageExists(n));
  }
  // Freeing an empty number leaves the others alone.
  const Bytes jpeg = SmallJpeg();
  ASSERT_NE(ImageFromMemory(4, jpeg.data(), jpeg.size()), nullptr);
  ImageFree(5);
  EXPECT_TRUE(ImageExists(4));
}

TEST_F(ImageTable, NumbersBeyondTheFirstSixteenGrowTheTable) {
  const Bytes jpeg = SmallJpeg();
  for (int n : {0, 15, 16, 40, 999, 5000}) {
    SCOPED_TRACE(n);
    EXPECT_NE(ImageFromMemory(n, jpeg.data(), jpeg.size()), nullptr);
  }
  for (int n : {0, 15, 16, 40, 999, 5000}) {
    EXPECT_TRUE(ImageExists(n)) << n;
    EXPECT_EQ(ImagePixelWidth(n), 16);
    EXPECT_EQ(ImagePixelHeight(n), 8);
  }
  EXPECT_FALSE(ImageExists(41));
  // Negative numbers and absurd ones are refused rather than grown to.
  EXPECT_EQ(ImageFromMemory(-3, jpeg.data(), jpeg.size()), nullptr);
  EXPECT_EQ(ImageFromMemory(2'000'000'000, jpeg.data(), jpeg.size()), nullptr);
  EXPECT_FALSE(ImageExists(2'000'000'000));
}

TEST_F(ImageTable, MakingUnderAUsedNumberReplacesTheImage) {
  const Bytes first = SmallJpeg(16, 8);
  const Bytes second = SmallJpeg(24, 40);
  ASSERT_NE(ImageFromMemory(999, first.data(), first.size()), nullptr);
  ASSERT_NE(ImageFromMemory(999, second.data(), second.size()), nullptr);
  EXPECT_EQ(ImagePixelWidth(999), 24);
  EXPECT_EQ(ImagePixelHeight(999), 40);
  // A failed make still empties the number: the old image is gone.
  const std::string junk = "no picture here";
  EXPECT_EQ(ImageFromMemory(999, junk.data(), junk.size()), nullptr);
  EXPECT_FALSE(ImageExists(999));
  EXPECT_EQ(ImagePixelWidth(999), 0);
}

TEST_F(ImageTable, FreeAndFreeAllEmptyTheSlots) {
  const Bytes jpeg = SmallJpeg();
  for (int n = 1; n <= 4; ++n) ImageFromMemory(n, jpeg.data(), jpeg.size());
  ImageFromMemory(999, jpeg.data(), jpeg.size());
  ImageFree(2);
  EXPECT_FALSE(ImageExists(2));
  EXPECT_TRUE(ImageExists(1));
  EXPECT_TRUE(ImageExists(3));
  ImageFreeAll();
  for (int n : {1, 3, 4, 999}) EXPECT_FALSE(ImageExists(n)) << n;
  // The table still works afterwards.
  EXPECT_NE(ImageFromMemory(3, jpeg.data(), jpeg.size()), nullptr);
}

TEST_F(ImageTable, RegisteringTheDecoderAgainChangesNothing) {
  RegisterJpegDecoder();
  RegisterJpegDecoder();
  const Bytes jpeg = SmallJpeg();
  EXPECT_NE(ImageFromMemory(1, jpeg.data(), jpeg.size()), nullptr);
  EXPECT_EQ(ImagePixelWidth(1), 16);
}

TEST_F(ImageTable, EmptyOrUnknownDataGivesNoImage) {
  const std::string html = "<html><body>404 Not Found</body></html>";
  const unsigned char one[] = {0xFF};
  const unsigned char soiOnly[] = {0xFF, 0xD8};
  const unsigned char bmOnly[] = {'B', 'M'};
  struct Case {
    const char* name;
    const void* data;
    std::size_t size;
  } cases[] = {
      {"null", nullptr, 10},         {"zero bytes", html.data(), 0},
      {"html", html.data(), html.size()}, {"one byte", one, 1},
      {"start of image only", soiOnly, 2}, {"BM only", bmOnly, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ImageFromMemory(7, c.data, c.size), nullptr);
    EXPECT_FALSE(ImageExists(7));
    EXPECT_EQ(ImagePixelWidth(7), 0);
    EXPECT_EQ(ImagePixelHeight(7), 0);
  }
}

TEST_F(ImageTable, ResizeScalesSmoothlyAndKeepsTheDepth) {
  // Black left half, white right half: a smooth enlargement has greys along the edge.
  const Bytes jpeg = EncodeJpeg(16, 16, [](int x, int) {
    const unsigned char v = x < 8 ? 0 : 255;
    return RgbPixel{v, v, v};
  }, {.quality = 100, .fullChroma = true});
  ASSERT_NE(ImageFromMemory(4, jpeg.data(), jpeg.size()), nullptr);
  const int depth = Picture(4).depth();
  ImageResize(4, 64, 8);
  ASSERT_TRUE(ImageExists(4));
  EXPECT_EQ(ImagePixelWidth(4), 64);
  EXPECT_EQ(ImagePixelHeight(4), 8);
  EXPECT_EQ(Picture(4).width(), 64);
  EXPECT_EQ(Picture(4).height(), 8);
  EXPECT_EQ(Picture(4).depth(), depth);
  EXPECT_LT(PixelAt(Picture(4), 2, 4)[0], 20);
  EXPECT_GT(PixelAt(Picture(4), 61, 4)[0], 235);
  int greys = 0;
  for (int x = 0; x < 64; ++x) {
    const int v = PixelAt(Picture(4), x, 4)[0];
    if (v > 40 && v < 215) ++greys;
  }
  EXPECT_GE(greys, 2) << "a smooth scale blends the edge";

  ImageResize(4, 3, 200);
  EXPECT_EQ(ImagePixelWidth(4), 3);
  EXPECT_EQ(ImagePixelHeight(4), 200);
}

TEST_F(ImageTable, ResizeToTheSameSizeOrAnImpossibleSizeLeavesTheImage) {
  const Bytes jpeg = SmallJpeg(40, 30);
  ASSERT_NE(ImageFromMemory(3, jpeg.data(), jpeg.size()), nullptr);
  ImageHandle_t before = ImageHandle(3);
  const QImage copy = Picture(3).copy();
  struct Case {
    int w, h;
  } cases[] = {{40, 30}, {0, 30}, {40, 0}, {-5, 30}, {40000, 30}, {30, 40000}, {20000, 20000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h));
    ImageResize(3, c.w, c.h);
    EXPECT_EQ(ImageHandle(3), before);
    EXPECT_EQ(ImagePixelWidth(3), 40);
    EXPECT_EQ(ImagePixelHeight(3), 30);
    EXPECT_EQ(Picture(3), copy);
  }
}

TEST_F(ImageFiles, LoadsAJpegFileLikeTheSameBytesInMemory) {
  const Bytes jpeg = SmallJpeg(33, 17);
  Write("portada.jpg", jpeg);
  ASSERT_NE(ImageLoad(4, "portada.jpg"), nullptr);
  ASSERT_NE(ImageFromMemory(5, jpeg.data(), jpeg.size()), nullptr);
  EXPECT_EQ(ImagePixelWidth(4), 33);
  EXPECT_EQ(ImagePixelHeight(4), 17);
  EXPECT_EQ(Picture(4), Picture(5));
  // The rows of a 33-pixel-wide picture are padded to 100 bytes.
  EXPECT_EQ(Picture(4).bytesPerLine(), 100);
  EXPECT_EQ(Picture(4).depth(), 24);
}

TEST_F(ImageFiles, AnHtmlPageSavedAsTheCoverGivesNoImage) {
  const std::string page = "<!DOCTYPE html><html><head><title>Error</title></head>"
                           "<body>No encontrado</body></html>";
  Write("portada.jpg", Bytes(page.begin(), page.end()));
  EXPECT_EQ(ImageLoad(4, "portada.jpg"), nullptr);
  EXPECT_FALSE(ImageExists(4));
  EXPECT_EQ(ImagePixelWidth(4), 0);
  EXPECT_EQ(ImagePixelHeight(4), 0);
}

TEST_F(ImageFiles, MissingEmptyTruncatedAndFolderFilesAreHandled) {
  EXPECT_EQ(ImageLoad(4, "no_such_file.jpg"), nullptr);
  EXPECT_EQ(ImageLoad(4, ""), nullptr);
  Write("empty.jpg", {});
  EXPECT_EQ(ImageLoad(4, "empty.jpg"), nullptr);
  Write("one.jpg", {0xFF});
  EXPECT_EQ(ImageLoad(4, "one.jpg"), nullptr);
  std::filesystem::create_directory("folder.jpg");
  EXPECT_EQ(ImageLoad(4, "folder.jpg"), nullptr);
  EXPECT_FALSE(ImageExists(4));

  // A download cut off half-way still shows what arrived.
  const Bytes jpeg = SmallJpeg(64, 64);
  const long scan = ScanDataStart(jpeg);
  Write("half.jpg", Bytes(jpeg.begin(), jpeg.begin() + scan + (static_cast<long>(jpeg.size()) - scan) / 2));
  ASSERT_NE(ImageLoad(4, "half.jpg"), nullptr);
  EXPECT_EQ(ImagePixelWidth(4), 64);
  EXPECT_TRUE(Near(PixelAt(Picture(4), 4, 4), {255, 0, 0}, 40)) << Show(PixelAt(Picture(4), 4, 4));
}

TEST_F(ImageFiles, LoadsBmpFiles) {
  BmpLayout layout;
  layout.width = 5;
  layout.height = 3;
  layout.bpp = 24;
  layout.pixel = [](int x, int y) {
    return RgbPixel{static_cast<unsigned char>(x * 50), static_cast<unsigned char>(y * 100), 7};
  };
  Write("picture.bmp", MakeBmp(layout));
  ASSERT_NE(ImageLoad(999, "picture.bmp"), nullptr);
  EXPECT_EQ(ImagePixelWidth(999), 5);
  EXPECT_EQ(ImagePixelHeight(999), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(Picture(999), x, y), layout.pixel(x, y)) << x << "," << y;

  Bytes broken = MakeBmp(layout);
  PutU32(broken, 10, 5000);  // pixels beyond the end of the file
  Write("broken.bmp", broken);
  EXPECT_EQ(ImageLoad(999, "broken.bmp"), nullptr);
  EXPECT_FALSE(ImageExists(999));
}

}  // namespace
