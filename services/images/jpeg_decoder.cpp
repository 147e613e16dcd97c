// JpegDecoder: JPEG pictures through libjpeg (the 6b interface of libjpeg-turbo). The whole
// picture file is in memory (a file is read into a copy; a memory block is used in place); a
// source manager of our own hands it to the library 4096 bytes at a time; a fatal library error
// jumps back to the probe or the decode instead of ending the process; warnings are dropped.
//
// Colours: grayscale, YCbCr and RGB pictures come out as RGB; CMYK and YCCK ones as CMYK, which
// is turned into RGB here (pictures with an Adobe marker store their inks inverted, as
// Photoshop writes them). Pictures with any other colour model are refused.
//
// A picture that breaks off or turns corrupt still gives an image: the library invents the
// missing data (a truncated picture ends in flat grey), and when a fatal error stops the
// decode part-way, the rows not yet decoded are painted mid grey.
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include <QFile>
#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "services/images/image_decoders.h"

namespace {

constexpr std::size_t kSourceBuffer = 4096;
// Progressive pictures made of thousands of tiny scans would take minutes to decode; real ones
// have about ten.
constexpr int kMostScans = 500;
constexpr unsigned char kUndecodedGrey = 128;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

struct MemorySource {
  jpeg_source_mgr pub;
  const JOCTET* data;
  std::size_t size;
  std::size_t position;
  JOCTET buffer[kSourceBuffer];
};

// The one prepared decompression between a probe and its decode.
struct JpegState {
  jpeg_decompress_struct cinfo;
  ErrorManager error;
  MemorySource source;
  jpeg_progress_mgr progress;
  std::vector<unsigned char> fileCopy;
  bool open = false;
  bool cmyk = false;
  bool invertedInks = false;
  int width = 0;
  int height = 0;
};

JpegState& State() {
  static JpegState state;
  return state;
}

void ExitByJump(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(error->jump, 1);
}

void DropMessage(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
  std::size_t n = std::min(kSourceBuffer, src->size - src->position);
  if (n == 0) {
    // Past the end: give the library an end-of-image marker, as a file source does.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  } else {
    std::memcpy(src->buffer, src->data + src->position, n);
    src->position += n;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
  const auto skip = static_cast<std::size_t>(count);
  if (skip <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += skip;
    src->pub.bytes_in_buffer -= skip;
    return;
  }
  const std::size_t beyond = skip - src->pub.bytes_in_buffer;
  src->position += std::min(beyond, src->size - src->position);
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = 0;
}

void TermSource(j_decompress_ptr) {}

void LimitScans(j_common_ptr cinfo) {
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMostScans) ExitByJump(cinfo);
}

// The length of the data up to the last marker segment that is whole. A download that breaks
// off inside a segment (say the header of a progressive picture's fifth scan) would otherwise
// hand the library a half segment, which it cannot read; cut there, the library sees the
// picture end after the scans that did arrive. Data ending inside a scan's coded data is kept
// whole, since the library copes with that itself.
std::size_t WholeSegmentsLength(const unsigned char* d, std::size_t n) {
  std::size_t pos = 2;  // after the start-of-image marker
  for (;;) {
    if (pos >= n || d[pos] != 0xFF) return n;  // the end, or damage left to the library
    const std::size_t segmentStart = pos;
    while (pos < n && d[pos] == 0xFF) ++pos;  // fill bytes
    if (pos >= n) return segmentStart;
    const unsigned char marker = d[pos++];
    if (marker == JPEG_EOI) return n;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
    if (n - pos < 2) return segmentStart;
    const std::size_t length = static_cast<std::size_t>(d[pos]) << 8 | d[pos + 1];
    if (length < 2) return n;
    if (n - pos < length) return segmentStart;
    pos += length;
    if (marker != 0xDA) continue;
    // Coded data after a scan header runs to the next marker other than a stuffed zero or a
    // restart marker.
    for (;;) {
      const void* found = std::memchr(d + pos, 0xFF, n - pos);
      if (found == nullptr) return n;
      pos = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - d);
      if (n - pos < 2) return n;
      const unsigned char next = d[pos + 1];
      if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
        pos += 2;
        continue;
      }
      break;
    }
  }
}

void Close(JpegState& s) {
  if (s.open) jpeg_destroy_decompress(&s.cinfo);
  s.open = false;
  std::vector<unsigned char>().swap(s.fileCopy);
}

// Reads the whole file into the state's copy; false when it cannot be read or is too big.
bool ReadWholeFile(QFile& file, std::vector<unsigned char>& copy) {
  if (!file.seek(0)) return false;
  const qint64 size = file.size();
  if (size < 2 || size > kMaxPictureFileBytes) return false;
  unsigned char head[2];
  if (file.read(reinterpret_cast<char*>(head), 2) != 2 || head[0] != 0xFF || head[1] != 0xD8)
    return false;
  copy.resize(static_cast<std::size_t>(size));
  copy[0] = head[0];
  copy[1] = head[1];
  const qint64 rest = file.read(reinterpret_cast<char*>(copy.data() + 2), size - 2);
  if (rest < 0) return false;
  copy.resize(static_cast<std::size_t>(rest) + 2);  // a file that shrank meanwhile stays short
  return true;
}

bool Probe(const PictureSource& source) {
  JpegState& s = State();
  Close(s);
  const unsigned char* data = source.data;
  std::size_t size = source.size;
  if (source.file != nullptr) {
    if (!ReadWholeFile(*source.file, s.fileCopy)) {
      Close(s);
      return false;
    }
    data = s.fileCopy.data();
    size = s.fileCopy.size();
  }
  if (data == nullptr || size < 2 || data[0] != 0xFF || data[1] != 0xD8) {
    Close(s);
    return false;
  }
  size = WholeSegmentsLength(data, size);

  s.cinfo.err = jpeg_std_error(&s.error.pub);
  s.error.pub.error_exit = ExitByJump;
  s.error.pub.output_message = DropMessage;
  if (setjmp(s.error.jump) != 0) {
    Close(s);
    return false;
  }
  jpeg_create_decompress(&s.cinfo);
  s.open = true;

  s.source.data = data;
  s.source.size = size;
  s.source.position = 0;
  s.source.pub.init_source = InitSource;
  s.source.pub.fill_input_buffer = FillInputBuffer;
  s.source.pub.skip_input_data = SkipInputData;
  s.source.pub.resync_to_restart = jpeg_resync_to_restart;
  s.source.pub.term_source = TermSource;
  s.source.pub.next_input_byte = s.source.buffer;
  s.source.pub.bytes_in_buffer = 0;
  s.cinfo.src = &s.source.pub;
  s.progress.progress_monitor = LimitScans;
  s.cinfo.progress = &s.progress;

  jpeg_read_header(&s.cinfo, TRUE);
  switch (s.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      s.cinfo.out_color_space = JCS_RGB;
      s.cmyk = false;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      s.cinfo.out_color_space = JCS_CMYK;
      s.cmyk = true;
      s.invertedInks = s.cinfo.saw_Adobe_marker != 0;
      break;
    default:
      Close(s);
      return false;
  }
  // Refused before the library allocates anything for the picture itself.
  if (!PictureSizeAllowed(s.cinfo.image_width, s.cinfo.image_height, 3)) {
    Close(s);
    return false;
  }
  jpeg_start_decompress(&s.cinfo);
  const int components = s.cmyk ? 4 : 3;
  if (s.cinfo.output_components != components ||
      !PictureSizeAllowed(s.cinfo.output_width, s.cinfo.output_height, 3)) {
    Close(s);
    return false;
  }
  s.width = static_cast<int>(s.cinfo.output_width);
  s.height = static_cast<int>(s.cinfo.output_height);
  return true;
}

int Width() { return State().width; }
int Height() { return State().height; }

unsigned char Ink(unsigned a, unsigned b) { return static_cast<unsigned char>((a * b + 127) / 255); }

void Decode(unsigned char* firstRow, std::ptrdiff_t pitch) {
  JpegState& s = State();
  if (!s.open) return;
  const auto width = static_cast<std::size_t>(s.width);
  if (setjmp(s.error.jump) != 0) {
    // Keep the rows decoded so far; the rest shows the picture was cut short.
    for (JDIMENSION y = s.cinfo.output_scanline; y < s.cinfo.output_height; ++y)
      std::memset(firstRow + static_cast<std::ptrdiff_t>(y) * pitch, kUndecodedGrey, width * 3);
    Close(s);
    return;
  }
  JSAMPARRAY inkRow = nullptr;
  if (s.cmyk) {
    inkRow = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE,
                                          static_cast<JDIMENSION>(width * 4), 1);
  }
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    unsigned char* target = firstRow + static_cast<std::ptrdiff_t>(s.cinfo.output_scanline) * pitch;
    if (!s.cmyk) {
      // RGB output is already in the bitmap's byte order: the row goes straight in.
      JSAMPROW row = target;
      if (jpeg_read_scanlines(&s.cinfo, &row, 1) != 1) break;
      continue;
    }
    if (jpeg_read_scanlines(&s.cinfo, inkRow, 1) != 1) break;
    const unsigned char* ink = inkRow[0];
    for (std::size_t x = 0; x < width; ++x, ink += 4, target += 3) {
      const unsigned c = ink[0], m = ink[1], y = ink[2], k = ink[3];
      if (s.invertedInks) {
        target[0] = Ink(c, k);
        target[1] = Ink(m, k);
        target[2] = Ink(y, k);
      } else {
        target[0] = Ink(255 - c, 255 - k);
        target[1] = Ink(255 - m, 255 - k);
        target[2] = Ink(255 - y, 255 - k);
      }
    }
  }
  for (JDIMENSION y = s.cinfo.output_scanline; y < s.cinfo.output_height; ++y)
    std::memset(firstRow + static_cast<std::ptrdiff_t>(y) * pitch, kUndecodedGrey, width * 3);
  if (s.cinfo.output_scanline == s.cinfo.output_height) jpeg_finish_decompress(&s.cinfo);
  Close(s);
}

void Abandon() { Close(State()); }

const ImageDecoder kJpegDecoder{"JpegDecoder", Probe, Width, Height, Decode, Abandon};

}  // namespace

const ImageDecoder* JpegImageDecoder() { return &kJpegDecoder; }
