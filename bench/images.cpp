// The cover's road from file to cover box: loading a 1200 x 1700 JPEG through the image services
// and scaling it to the box (194 x 275), against libjpeg's plain decode of the same file into a
// memory buffer, in the same run. The services should stay within 1.3 times the plain decode.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "services/images/images.h"

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 1700;
constexpr int kBoxWidth = 194;  // 1200 x 1700 scaled by 275 / 1700
constexpr int kBoxHeight = 275;

// A cover-like picture: soft gradients, a few hard-edged shapes and some grain.
std::vector<unsigned char> MakeCover() {
  jpeg_compress_struct ci{};
  jpeg_error_mgr error{};
  ci.err = jpeg_std_error(&error);
  jpeg_create_compress(&ci);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&ci, &out, &outSize);
  ci.image_width = kWidth;
  ci.image_height = kHeight;
  ci.input_components = 3;
  ci.in_color_space = JCS_RGB;
  jpeg_set_defaults(&ci);
  jpeg_set_quality(&ci, 85, TRUE);
  jpeg_start_compress(&ci, TRUE);
  std::vector<unsigned char> row(kWidth * 3);
  unsigned seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int grain = static_cast<int>((seed >> 16) % 21) - 10;
      const double d = std::hypot(x - 600.0, y - 700.0);
      int r = static_cast<int>(120 + 100 * std::sin(d / 90.0)) + grain;
      int g = static_cast<int>(60 + y * 150 / kHeight) + grain;
      int b = static_cast<int>(200 - x * 120 / kWidth) + grain;
      if (y > 1300 && y < 1500 && (x / 40) % 3 == 0) r = g = b = 245;  // a title band
      auto clamp = [](int v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v); };
      row[static_cast<std::size_t>(x) * 3] = clamp(r);
      row[static_cast<std::size_t>(x) * 3 + 1] = clamp(g);
      row[static_cast<std::size_t>(x) * 3 + 2] = clamp(b);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&ci, &r, 1);
  }
  jpeg_finish_compress(&ci);
  std::vector<unsigned char> jpeg(out, out + outSize);
  jpeg_destroy_compress(&ci);
  std::free(out);
  return jpeg;
}

struct CoverFile {
  QTemporaryDir dir;
  std::string path;
  std::size_t bytes = 0;
  CoverFile() {
    path = dir.path().toStdString() + "/portada.jpg";
    const std::vector<unsigned char> jpeg = MakeCover();
    bytes = jpeg.size();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  }
};

const CoverFile& Cover() {
  static CoverFile cover;
  return cover;
}

// The baseline: read the file, decode it with libjpeg's own memory source into one buffer.
void BM_LibjpegPlainDecode(benchmark::State& state) {
  const std::string& path = Cover().path;
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<unsigned char> file(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
    jpeg_decompress_struct ci{};
    jpeg_error_mgr error{};
    ci.err = jpeg_std_error(&error);
    jpeg_create_decompress(&ci);
    jpeg_mem_src(&ci, file.data(), file.size());
    jpeg_read_header(&ci, TRUE);
    jpeg_start_decompress(&ci);
    const std::size_t pitch = static_cast<std::size_t>(ci.output_width) * ci.output_components;
    // Left uninitialised, as a decoded bitmap is: the rows are written over anyway.
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[pitch * ci.output_height]);
    while (ci.output_scanline < ci.output_height) {
      JSAMPROW row = pixels.get() + pitch * ci.output_scanline;
      jpeg_read_scanlines(&ci, &row, 1);
    }
    jpeg_finish_decompress(&ci);
    jpeg_destroy_decompress(&ci);
    benchmark::DoNotOptimize(pixels.get());
  }
  state.counters["file_kB"] = static_cast<double>(Cover().bytes) / 1024.0;
}
BENCHMARK(BM_LibjpegPlainDecode)->Unit(benchmark::kMillisecond);

void BM_ImageLoad(benchmark::State& state) {
  RegisterJpegDecoder();
  const Text path = Cover().path;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ImageLoad(4, path));
    if (ImagePixelWidth(4) != kWidth) state.SkipWithError("cover not decoded");
  }
  ImageFree(4);
}
BENCHMARK(BM_ImageLoad)->Unit(benchmark::kMillisecond);

// What the card display does for a cover: load, then scale into the cover box.
void BM_ImageLoadAndScaleToCoverBox(benchmark::State& state) {
  RegisterJpegDecoder();
  const Text path = Cover().path;
  for (auto _ : state) {
    ImageLoad(4, path);
    ImageResize(4, kBoxWidth, kBoxHeight);
    if (ImagePixelWidth(4) != kBoxWidth) state.SkipWithError("cover not scaled");
  }
  ImageFree(4);
}
BENCHMARK(BM_ImageLoadAndScaleToCoverBox)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
