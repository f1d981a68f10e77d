#include "image/jpeg_codec.h"

#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace tessaro {
namespace {

static_assert(std::endian::native == std::endian::little,
              "TColor32 rows are handed to libjpeg as B, G, R, A bytes");
static_assert(JCS_EXTENSIONS == 1 && JCS_ALPHA_EXTENSIONS == 1,
              "needs libjpeg-turbo's extended colour spaces");

constexpr std::size_t kIoBufferSize = 64 * 1024;

// libjpeg reaches this through cinfo->err; longjmp back to the setjmp in the Run*
// function. Every libjpeg object lives in a struct owned by the caller of that
// function, so no C++ destructor is skipped and no local is read after the jump.
struct ErrorManager {
  jpeg_error_mgr pub;  // first: libjpeg casts cinfo->err back to this
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

[[noreturn]] void Fail(j_common_ptr cinfo, int code) {
  cinfo->err->msg_code = code;
  (*cinfo->err->error_exit)(cinfo);
  std::abort();  // error_exit does not return
}

void EmitMessage(j_common_ptr cinfo, int msgLevel) {
  if (msgLevel >= 0) return;  // trace messages
  // A scan that runs out of data would leave the rest of the picture grey.
  if (cinfo->err->msg_code == JWRN_HIT_MARKER) Fail(cinfo, JWRN_HIT_MARKER);
  ++cinfo->err->num_warnings;
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
}

// --- decoding ---------------------------------------------------------------------

struct FileSource {
  jpeg_source_mgr pub;  // first
  std::filebuf* file;
  JOCTET* buffer;
  bool startOfFile;
  bool hitEnd;  // the file ended where libjpeg wanted more
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// At the end of the file, hand libjpeg an EOI marker, as its own file source does:
// the entropy decoder's read-ahead past the last scan then stops quietly, while a
// scan that really lacks data raises JWRN_HIT_MARKER (fatal, see EmitMessage).
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  std::streamsize n = -1;
  try {
    n = src->file->sgetn(reinterpret_cast<char*>(src->buffer), std::streamsize(kIoBufferSize));
  } catch (...) {  // libstdc++ throws on read errors
  }
  if (n < 0) Fail(j_common_ptr(cinfo), JERR_FILE_READ);
  if (n == 0) {
    if (src->startOfFile) Fail(j_common_ptr(cinfo), JERR_INPUT_EMPTY);
    src->hitEnd = true;
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = std::size_t(n);
  src->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long numBytes) {
  if (numBytes <= 0) return;
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  const auto skip = static_cast<std::size_t>(numBytes);
  if (skip <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += skip;
    src->pub.bytes_in_buffer -= skip;
    return;
  }
  // Seeking past the end is allowed; the next fill then reports the premature end.
  try {
    src->file->pubseekoff(std::streamoff(skip - src->pub.bytes_in_buffer), std::ios::cur,
                          std::ios::in);
  } catch (...) {  // the next read reports it
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = 0;
}

void LimitScans(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
    Fail(cinfo, JERR_BAD_PROGRESSION);
}

struct Decoder {
  ErrorManager err{};
  FileSource src{};
  jpeg_progress_mgr progress{};
  jpeg_decompress_struct cinfo{};  // zeroed, so destroying it before creation is a no-op
  std::filebuf file;
  std::vector<JOCTET> buffer;
  TBitmap32 picture;
  std::vector<JSAMPROW> rows;
  bool cmyk = false;

  ~Decoder() { jpeg_destroy_decompress(&cinfo); }
};

// (a * b) / 255 rounded, exact for 0..255 x 0..255.
inline std::uint8_t MulDiv255(unsigned a, unsigned b) {
  const unsigned t = a * b + 128;
  return std::uint8_t((t + (t >> 8)) >> 8);
}

// libjpeg delivers C, M, Y, K in the four bytes of each pixel; turn them into B, G, R,
// 255 in place. Files with an Adobe marker store the inks inverted (Photoshop's
// convention, which every reader follows).
void CmykRowsToBgra(TBitmap32& bmp, int y0, int y1, bool adobeInverted) {
  const int w = bmp.Width();
  const unsigned flip = adobeInverted ? 0 : 255;
  for (int y = y0; y < y1; ++y) {
    auto* p = reinterpret_cast<std::uint8_t*>(bmp.ScanLine(y));
    for (int x = 0; x < w; ++x, p += 4) {
      const unsigned c = p[0] ^ flip, m = p[1] ^ flip, ye = p[2] ^ flip, k = p[3] ^ flip;
      p[0] = MulDiv255(ye, k);
      p[1] = MulDiv255(m, k);
      p[2] = MulDiv255(c, k);
      p[3] = 255;
    }
  }
}

// One of the two functions with a setjmp; see ErrorManager.
bool RunDecode(Decoder& d) {
  if (setjmp(d.err.jump)) return false;
  jpeg_decompress_struct& cinfo = d.cinfo;
  jpeg_create_decompress(&cinfo);

  d.src.pub.init_source = InitSource;
  d.src.pub.fill_input_buffer = FillInputBuffer;
  d.src.pub.skip_input_data = SkipInputData;
  d.src.pub.resync_to_restart = jpeg_resync_to_restart;
  d.src.pub.term_source = TermSource;
  d.src.file = &d.file;
  d.src.buffer = d.buffer.data();
  d.src.startOfFile = true;
  d.src.hitEnd = false;
  cinfo.src = &d.src.pub;
  d.progress.progress_monitor = LimitScans;
  cinfo.progress = &d.progress;

  jpeg_read_header(&cinfo, TRUE);  // a tables-only stream raises JERR_NO_IMAGE
  if (std::uint64_t(cinfo.image_width) * cinfo.image_height > kMaxJpegPixels)
    Fail(j_common_ptr(&cinfo), JERR_IMAGE_TOO_BIG);

  // libjpeg-turbo converts YCbCr, RGB and grey straight to B, G, R, 255; CMYK and
  // YCCK it can only hand over as CMYK, which is also four bytes a pixel.
  d.cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = d.cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = TRUE;
  cinfo.scale_num = 1;
  cinfo.scale_denom = 1;

  // Allocating after start_decompress means a truncated progressive file (read whole
  // here) fails before the bitmap exists.
  jpeg_start_decompress(&cinfo);
  // A multi-scan file has been read whole by now; if that took the made-up EOI, later
  // scans are missing even when the ones present were complete.
  if (d.src.hitEnd && jpeg_has_multiple_scans(&cinfo)) Fail(j_common_ptr(&cinfo), JWRN_JPEG_EOF);
  if (cinfo.output_components != 4) Fail(j_common_ptr(&cinfo), JERR_CONVERSION_NOTIMPL);

  const int w = int(cinfo.output_width), h = int(cinfo.output_height);
  d.picture.SetSize(w, h);
  d.rows.resize(std::size_t(h));
  for (int y = 0; y < h; ++y)
    d.rows[std::size_t(y)] = reinterpret_cast<JSAMPROW>(d.picture.ScanLine(y));

  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION first = cinfo.output_scanline;
    const JDIMENSION got =
        jpeg_read_scanlines(&cinfo, d.rows.data() + first, cinfo.output_height - first);
    if (got == 0) Fail(j_common_ptr(&cinfo), JWRN_JPEG_EOF);  // cannot happen: we never suspend
    if (d.cmyk) CmykRowsToBgra(d.picture, int(first), int(first + got), cinfo.saw_Adobe_marker);
  }
  // Every row is decoded: a single-scan file that lacks only its EOI still loads.
  return true;
}

// --- encoding ---------------------------------------------------------------------

struct FileDestination {
  jpeg_destination_mgr pub;  // first
  std::filebuf* file;
  JOCTET* buffer;
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dst = reinterpret_cast<FileDestination*>(cinfo->dest);
  dst->pub.next_output_byte = dst->buffer;
  dst->pub.free_in_buffer = kIoBufferSize;
}

void WriteOut(j_compress_ptr cinfo, std::size_t n) {
  auto* dst = reinterpret_cast<FileDestination*>(cinfo->dest);
  bool ok = n == 0;
  try {
    ok = ok || dst->file->sputn(reinterpret_cast<const char*>(dst->buffer), std::streamsize(n)) ==
                   std::streamsize(n);
  } catch (...) {
  }
  if (!ok) Fail(j_common_ptr(cinfo), JERR_FILE_WRITE);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  WriteOut(cinfo, kIoBufferSize);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dst = reinterpret_cast<FileDestination*>(cinfo->dest);
  WriteOut(cinfo, kIoBufferSize - dst->pub.free_in_buffer);
  int synced = -1;
  try {
    synced = dst->file->pubsync();
  } catch (...) {
  }
  if (synced != 0) Fail(j_common_ptr(cinfo), JERR_FILE_WRITE);
}

struct Encoder {
  ErrorManager err{};
  FileDestination dest{};
  jpeg_compress_struct cinfo{};
  std::filebuf file;
  std::vector<JOCTET> buffer;
  std::vector<JSAMPROW> rows;

  ~Encoder() { jpeg_destroy_compress(&cinfo); }
};

bool RunEncode(Encoder& e, const TBitmap32& bitmap, int quality, bool progressive) {
  if (setjmp(e.err.jump)) return false;
  jpeg_compress_struct& cinfo = e.cinfo;
  jpeg_create_compress(&cinfo);

  e.dest.pub.init_destination = InitDestination;
  e.dest.pub.empty_output_buffer = EmptyOutputBuffer;
  e.dest.pub.term_destination = TermDestination;
  e.dest.file = &e.file;
  e.dest.buffer = e.buffer.data();
  cinfo.dest = &e.dest.pub;

  cinfo.image_width = JDIMENSION(bitmap.Width());
  cinfo.image_height = JDIMENSION(bitmap.Height());
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  if (progressive) jpeg_simple_progression(&cinfo);

  jpeg_start_compress(&cinfo, TRUE);  // JERR_EMPTY_IMAGE for 0 x 0
  const int h = bitmap.Height();
  e.rows.resize(std::size_t(h));
  // libjpeg takes non-const rows but only reads them.
  for (int y = 0; y < h; ++y)
    e.rows[std::size_t(y)] = reinterpret_cast<JSAMPROW>(const_cast<TColor32*>(bitmap.ScanLine(y)));
  while (cinfo.next_scanline < cinfo.image_height) {
    const JDIMENSION first = cinfo.next_scanline;
    jpeg_write_scanlines(&cinfo, e.rows.data() + first, cinfo.image_height - first);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

TDecodeResult LoadJpeg(TBitmap32& target, const std::filesystem::path& fileName) {
  try {
    Decoder d;
    InstallErrorManager(d.err);
    d.cinfo.err = &d.err.pub;
    std::error_code ec;
    if (std::filesystem::is_directory(fileName, ec) ||
        !d.file.open(fileName, std::ios::in | std::ios::binary))
      return {TDecodeStatus::CannotOpen, 0};
    d.buffer.resize(kIoBufferSize);
    TakeSpareBitmap(d.picture);
    const bool ok = RunDecode(d);
    if (ok) target.SwapPixels(d.picture);
    KeepSpareBitmap(d.picture);
    if (ok) return {TDecodeStatus::Ok, 0};
    // Whatever went wrong once the file had ended is reported as the premature end.
    return {TDecodeStatus::Invalid, d.src.hitEnd ? int(JWRN_JPEG_EOF) : d.err.pub.msg_code};
  } catch (const std::exception&) {  // out of memory for the bitmap
    return {TDecodeStatus::Invalid, JERR_OUT_OF_MEMORY};
  }
}

void SaveJpeg(const TBitmap32& bitmap, const std::filesystem::path& fileName, int quality,
              bool progressive) {
  Encoder e;
  InstallErrorManager(e.err);
  e.cinfo.err = &e.err.pub;
  if (!e.file.open(fileName, std::ios::out | std::ios::binary | std::ios::trunc))
    throw TPictureError("Cannot create file \"" + fileName.string() + "\"");
  e.buffer.resize(kIoBufferSize);
  const bool ok = RunEncode(e, bitmap, quality, progressive);
  const bool closed = e.file.close() != nullptr;
  if (!ok) throw TPictureError("JPEG error #" + std::to_string(e.err.pub.msg_code));
  if (!closed) throw TPictureError("JPEG error #" + std::to_string(int(JERR_FILE_WRITE)));
}

}  // namespace tessaro
