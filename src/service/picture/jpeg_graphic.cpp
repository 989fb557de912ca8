#include "service/picture/jpeg_graphic.h"

#include "service/picture/picture_error.h"
#include "service/picture/picture_limits.h"

#include <QIODevice>
#include <QPainter>

#include <csetjmp>
#include <limits>
#include <cstdio>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

namespace orvelle {

namespace {

JpegGraphic::PixelFormat g_defaultPixelFormat = JpegGraphic::PixelFormat::Bits24;

// libjpeg reports errors through error_exit, which must not return: it jumps back to the
// decoding function, which then throws. Warnings (corrupt or short data) are ignored.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->code = cinfo->err->msg_code;
  std::longjmp(err->jump, 1);
}
void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

// The code reported when a progressive file has too many scans; outside libjpeg's own.
constexpr int kTooManyScansCode = JMSG_LASTMSGCODE;

void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > JpegGraphic::kMaxScans) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->code = kTooManyScansCode;
    std::longjmp(err->jump, 1);
  }
}

// Memory source that supplies an end-of-image marker whenever the data runs out, so that
// truncated files still decode.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}
boolean FillInputBuffer(j_decompress_ptr cinfo) {
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}
void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (count > static_cast<long>(src->bytes_in_buffer)) {
    // Skipping past the end: what follows is the supplied end-of-image marker.
    FillInputBuffer(cinfo);
    return;
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}
void TermSource(j_decompress_ptr) {}

// Everything that must outlive a jump back into the decoding function lives here, on the
// heap, created before setjmp and never reassigned after it.
struct Session {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_source_mgr src{};
  jpeg_progress_mgr progress{};
  bool created = false;

  Session(const QByteArray& data) {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = IgnoreMessage;
    err.pub.output_message = IgnoreOutput;
    src.init_source = InitSource;
    src.fill_input_buffer = FillInputBuffer;
    src.skip_input_data = SkipInputData;
    src.resync_to_restart = jpeg_resync_to_restart;
    src.term_source = TermSource;
    src.next_input_byte = reinterpret_cast<const JOCTET*>(data.constData());
    src.bytes_in_buffer = static_cast<size_t>(data.size());
    progress.progress_monitor = LimitScans;
  }
  ~Session() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Adobe files store CMYK inverted: the samples are then 255 - ink.
QRgb CmykToRgb(const JSAMPLE* sample, bool inverted) {
  const int c = inverted ? sample[0] : 255 - sample[0];
  const int m = inverted ? sample[1] : 255 - sample[1];
  const int y = inverted ? sample[2] : 255 - sample[2];
  const int k = inverted ? sample[3] : 255 - sample[3];
  return qRgb(c * k / 255, m * k / 255, y * k / 255);
}

[[noreturn]] void ThrowJpegError(int code) {
  throw PictureError(QStringLiteral("JPEG error #%1").arg(code));
}

JpegGraphic::ColorSpace ToColorSpace(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE: return JpegGraphic::ColorSpace::Grayscale;
    case JCS_RGB: return JpegGraphic::ColorSpace::Rgb;
    case JCS_YCbCr: return JpegGraphic::ColorSpace::YCbCr;
    case JCS_CMYK: return JpegGraphic::ColorSpace::Cmyk;
    case JCS_YCCK: return JpegGraphic::ColorSpace::Ycck;
    default: return JpegGraphic::ColorSpace::Unknown;
  }
}

struct Header {
  int width = 0;
  int height = 0;
  JpegGraphic::ColorSpace colorSpace = JpegGraphic::ColorSpace::Unknown;
  bool progressive = false;
};

Header ReadHeader(const QByteArray& data) {
  auto session = std::make_unique<Session>(data);
  jpeg_decompress_struct* cinfo = &session->cinfo;
  if (setjmp(session->err.jump)) ThrowJpegError(session->err.code);
  jpeg_create_decompress(cinfo);
  session->created = true;
  cinfo->src = &session->src;
  jpeg_read_header(cinfo, TRUE);
  Header header;
  header.width = static_cast<int>(cinfo->image_width);
  header.height = static_cast<int>(cinfo->image_height);
  header.colorSpace = ToColorSpace(cinfo->jpeg_color_space);
  header.progressive = cinfo->progressive_mode != 0;
  return header;
}

void DecodeInto(const QByteArray& data, JpegGraphic::PixelFormat format, JpegBitmap& out) {
  auto session = std::make_unique<Session>(data);
  auto result = std::make_unique<JpegBitmap>();
  jpeg_decompress_struct* cinfo = &session->cinfo;
  if (setjmp(session->err.jump)) ThrowJpegError(session->err.code);
  jpeg_create_decompress(cinfo);
  session->created = true;
  cinfo->src = &session->src;
  cinfo->progress = &session->progress;
  jpeg_read_header(cinfo, TRUE);
  CheckPictureSize(cinfo->image_width, cinfo->image_height);

  cinfo->scale_num = 1;
  cinfo->scale_denom = 1;
  cinfo->dct_method = JDCT_ISLOW;
  cinfo->do_block_smoothing = TRUE;
  cinfo->buffered_image = FALSE;
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  const bool gray = cinfo->jpeg_color_space == JCS_GRAYSCALE;
  cinfo->out_color_space = cmyk ? JCS_CMYK : (gray ? JCS_GRAYSCALE : JCS_RGB);
  // Grayscale pictures, and every picture under the 8-bit setting (CMYK ones too, whose
  // palette entries are then turned into RGB), come out as palette indices.
  if (gray || format == JpegGraphic::PixelFormat::Bits8) {
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = JpegGraphic::kQuantizedColors;
  }
  jpeg_start_decompress(cinfo);

  JpegBitmap& bitmap = *result;
  bitmap.width = static_cast<int>(cinfo->output_width);
  bitmap.height = static_cast<int>(cinfo->output_height);
  CheckPictureSize(cinfo->output_width, cinfo->output_height);
  bitmap.bitsPerPixel = cinfo->quantize_colors ? 8 : (cmyk ? 32 : 24);
  bitmap.stride = CheckedBufferSize(cinfo->output_width, static_cast<uint64_t>(bitmap.bitsPerPixel / 8));
  bitmap.invertedCmyk = cmyk && cinfo->saw_Adobe_marker;
  try {
    const size_t bytes = CheckedBufferSize(bitmap.stride, cinfo->output_height);
    if (bytes > static_cast<size_t>(std::numeric_limits<qsizetype>::max())) ThrowPictureTooLarge();
    bitmap.pixels = QByteArray(static_cast<qsizetype>(bytes), Qt::Uninitialized);
  } catch (const std::bad_alloc&) {
    ThrowPictureTooLarge();
  }
  auto* pixels = reinterpret_cast<JSAMPLE*>(bitmap.pixels.data());
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = pixels + bitmap.stride * cinfo->output_scanline;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  if (cinfo->quantize_colors) {
    const int colors = cinfo->actual_number_of_colors;
    bitmap.palette.resize(static_cast<size_t>(colors));
    for (int i = 0; i < colors; ++i) {
      if (cmyk) {
        const JSAMPLE ink[4] = {cinfo->colormap[0][i], cinfo->colormap[1][i], cinfo->colormap[2][i],
                                cinfo->colormap[3][i]};
        bitmap.palette[static_cast<size_t>(i)] = CmykToRgb(ink, bitmap.invertedCmyk);
        continue;
      }
      const int r = cinfo->colormap[0][i];
      const int g = cinfo->out_color_components > 1 ? cinfo->colormap[1][i] : r;
      const int b = cinfo->out_color_components > 2 ? cinfo->colormap[2][i] : r;
      bitmap.palette[static_cast<size_t>(i)] = qRgb(r, g, b);
    }
  }
  // The rest of the file (trailing markers, or nothing after a cut) does not matter.
  jpeg_abort_decompress(cinfo);
  out = std::move(bitmap);
}

}  // namespace

JpegGraphic::JpegGraphic() : pixelFormat_(g_defaultPixelFormat) {}

void JpegGraphic::SetDefaultPixelFormat(PixelFormat format) { g_defaultPixelFormat = format; }
JpegGraphic::PixelFormat JpegGraphic::DefaultPixelFormat() { return g_defaultPixelFormat; }

bool JpegGraphic::CanLoadFromStream(QIODevice& stream) {
  const QByteArray head = stream.peek(4);
  if (head.size() < 4) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(head.constData());
  return p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF && p[3] >= 0xE0;
}

void JpegGraphic::LoadFromBytes(const QByteArray& bytes) {
  const Header header = ReadHeader(bytes);
  CheckPictureSize(static_cast<uint64_t>(header.width), static_cast<uint64_t>(header.height));
  data_ = bytes;
  width_ = header.width;
  height_ = header.height;
  colorSpace_ = header.colorSpace;
  progressive_ = header.progressive;
  decoded_ = false;
  bitmap_ = JpegBitmap();
  Changed();
}

void JpegGraphic::SaveToStream(QIODevice& stream) const { stream.write(data_); }

void JpegGraphic::SetOutputPixelFormat(PixelFormat format) {
  if (pixelFormat_ == format) return;
  pixelFormat_ = format;
  decoded_ = false;
  bitmap_ = JpegBitmap();
  Changed();
}

void JpegGraphic::Decode() const {
  if (decoded_ || data_.isEmpty()) return;
  JpegBitmap bitmap;
  DecodeInto(data_, pixelFormat_, bitmap);
  bitmap_ = std::move(bitmap);
  decoded_ = true;
}

const JpegBitmap& JpegGraphic::Bitmap() const {
  Decode();
  return bitmap_;
}

QImage JpegGraphic::ToImage() const {
  if (Empty()) return QImage();
  const JpegBitmap& b = Bitmap();
  QImage image(b.width, b.height, QImage::Format_ARGB32);
  if (image.isNull()) ThrowPictureTooLarge();
  for (int y = 0; y < b.height; ++y) {
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    const auto* in = reinterpret_cast<const uint8_t*>(b.pixels.constData()) + b.stride * static_cast<size_t>(y);
    switch (b.bitsPerPixel) {
      case 24:
        for (int x = 0; x < b.width; ++x, in += 3) out[x] = qRgb(in[0], in[1], in[2]);
        break;
      case 8:
        for (int x = 0; x < b.width; ++x) out[x] = in[x] < b.palette.size() ? b.palette[in[x]] : qRgb(0, 0, 0);
        break;
      default:
        for (int x = 0; x < b.width; ++x, in += 4) out[x] = CmykToRgb(in, b.invertedCmyk);
        break;
    }
  }
  return image;
}

void JpegGraphic::Draw(QPainter& painter, const QRectF& target) const {
  if (Empty()) return;
  painter.drawImage(target, ToImage());
}

std::unique_ptr<Graphic> JpegGraphic::Clone() const {
  Decode();
  auto copy = std::make_unique<JpegGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  copy->data_ = data_;
  copy->width_ = width_;
  copy->height_ = height_;
  copy->colorSpace_ = colorSpace_;
  copy->progressive_ = progressive_;
  copy->pixelFormat_ = pixelFormat_;
  copy->decoded_ = decoded_;
  copy->bitmap_ = bitmap_;
  return copy;
}

}  // namespace orvelle
