#include "service/picture/gif_graphic.h"

#include "service/picture/byte_reader.h"
#include "service/picture/picture_error.h"
#include "service/picture/picture_limits.h"

#include <QIODevice>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <new>

namespace orvelle {

using picture_bytes::Le16;

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;
constexpr uint8_t kExtensionIntroducer = '!';
constexpr uint8_t kImageSeparator = ',';
constexpr uint8_t kTrailer = ';';
constexpr uint8_t kGraphicControlLabel = 0xF9;
// All frames of one file together may hold this many decoded pixels.
constexpr uint64_t kMaxFramePixelsTotal = kMaxPicturePixels * 4;

[[noreturn]] void Fail(const char* text) { throw PictureError(QString::fromLatin1(text)); }
[[noreturn]] void FailPremature() { Fail("Premature end of data"); }

bool IsGifSignature(const uint8_t* p) {
  return (p[0] == 'G' || p[0] == 'g') && (p[1] == 'I' || p[1] == 'i') && (p[2] == 'F' || p[2] == 'f');
}

// Thrown inside the block readers when data ends where truncation is tolerated.
struct EndOfData {};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

  bool AtEnd() const { return pos_ >= size_; }
  size_t Left() const { return size_ - pos_; }
  // For headers, descriptors and colour tables, where an early end is an error.
  const uint8_t* Need(size_t n) {
    if (Left() < n) FailPremature();
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  uint8_t Byte() {
    if (AtEnd()) throw EndOfData{};
    return data_[pos_++];
  }
  // Joins a chain of sub-blocks up to its zero terminator.
  void SubBlocks(std::vector<uint8_t>* out) {
    for (;;) {
      const uint8_t n = Byte();
      if (n == 0) return;
      if (Left() < n) {
        if (out) out->insert(out->end(), data_ + pos_, data_ + size_);
        pos_ = size_;
        throw EndOfData{};
      }
      if (out) out->insert(out->end(), data_ + pos_, data_ + pos_ + n);
      pos_ += n;
    }
  }
  void SkipZeros() {
    while (pos_ < size_ && data_[pos_] == 0) ++pos_;
  }
  uint8_t Peek() const { return data_[pos_]; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_;
};

std::vector<uint32_t> ReadColorTable(Reader& r, int sizeBits) {
  const size_t entries = size_t{1} << (sizeBits + 1);
  const uint8_t* p = r.Need(entries * 3);
  std::vector<uint32_t> table(entries);
  for (size_t i = 0; i < entries; ++i)
    table[i] = (uint32_t{p[3 * i]} << 16) | (uint32_t{p[3 * i + 1]} << 8) | p[3 * i + 2];
  return table;
}

// LZW decoding of one frame's image data into colour indices. Output stops at the frame's
// pixel count; the buffer grows with what is actually decoded.
class LzwDecoder {
 public:
  LzwDecoder(int minCodeSize, size_t pixels, std::vector<uint8_t>& out)
      : minCodeSize_(minCodeSize), pixels_(pixels), out_(out) {}

  void Decode(const uint8_t* data, size_t size) {
    const int clear = 1 << minCodeSize_;
    const int endOfInfo = clear + 1;
    for (int i = 0; i < clear; ++i) {
      prefix_[i] = 0;
      suffix_[i] = static_cast<uint8_t>(i);
      first_[i] = static_cast<uint8_t>(i);
      length_[i] = 1;
    }
    int codeSize = minCodeSize_ + 1;
    int available = clear + 2;
    int old = -1;
    uint64_t bits = 0;
    int bitCount = 0;
    size_t in = 0;
    while (produced_ < pixels_) {
      while (bitCount < codeSize) {
        if (in >= size) return;
        bits |= uint64_t{data[in++]} << bitCount;
        bitCount += 8;
      }
      const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
      bits >>= codeSize;
      bitCount -= codeSize;
      if (code == clear) {
        codeSize = minCodeSize_ + 1;
        available = clear + 2;
        old = -1;
        continue;
      }
      if (code == endOfInfo) return;
      if (old < 0) {
        if (code >= clear) Fail("Circular decoder table entry");
        Emit(code);
        old = code;
        continue;
      }
      if (code > available || (code == available && available >= kTableSize)) Fail("Circular decoder table entry");
      if (available < kTableSize) {
        // The new entry is the previous string plus the first symbol of this one; for a
        // code not yet in the table that symbol is the previous string's first.
        prefix_[available] = static_cast<uint16_t>(old);
        suffix_[available] = code == available ? first_[old] : first_[code];
        first_[available] = first_[old];
        length_[available] = static_cast<uint16_t>(length_[old] + 1);
        ++available;
        if (available == (1 << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
      }
      Emit(code);
      old = code;
    }
  }

  size_t Produced() const { return produced_; }

 private:
  void Emit(int code) {
    const size_t length = length_[code];
    const size_t end = std::min(produced_ + length, pixels_);
    if (end > out_.size()) {
      size_t grown = std::max(end, std::min(pixels_, std::max<size_t>(out_.size() * 2, 4096)));
      out_.resize(grown);
    }
    uint8_t* base = out_.data();
    size_t at = produced_ + length;
    int c = code;
    // Walk the chain from the string's last symbol back to its first.
    while (at > produced_) {
      --at;
      if (at < end) base[at] = suffix_[c];
      c = prefix_[c];
    }
    produced_ = end;
  }

  int minCodeSize_;
  size_t pixels_;
  std::vector<uint8_t>& out_;
  size_t produced_ = 0;
  uint16_t prefix_[kTableSize];
  uint8_t suffix_[kTableSize];
  uint8_t first_[kTableSize];
  uint16_t length_[kTableSize];
};

}  // namespace

uint8_t GifFrame::IndexAt(int x, int y) const {
  int row = y;
  if (interlaced) {
    // Rows are stored pass by pass: every 8th from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    const int h = height;
    const int pass1 = (h + 7) / 8;
    const int pass2 = (h + 3) / 8;
    const int pass3 = (h + 1) / 4;
    if (y % 8 == 0) row = y / 8;
    else if (y % 8 == 4) row = pass1 + y / 8;
    else if (y % 4 == 2) row = pass1 + pass2 + y / 4;
    else row = pass1 + pass2 + pass3 + y / 2;
  }
  const size_t at = static_cast<size_t>(row) * width + static_cast<size_t>(x);
  return at < indices.size() ? indices[at] : 0;
}

GifGraphic::GifGraphic() { transparent_ = true; }

bool GifGraphic::CanLoadFromStream(QIODevice& stream) {
  const QByteArray head = stream.peek(6);
  return head.size() == 6 && IsGifSignature(reinterpret_cast<const uint8_t*>(head.constData()));
}

void GifGraphic::LoadFromBytes(const QByteArray& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
  const size_t size = static_cast<size_t>(bytes.size());
  size_t start = 0;
  if (size < 3 || !IsGifSignature(data)) {
    start = 4;
    if (size < 7 || !IsGifSignature(data + 4)) Fail("Invalid GIF signature");
  }
  Reader r(data, size, start);
  r.Need(6);  // signature and version; the version digits are not tested
  const uint8_t* screen = r.Need(7);
  const int width = Le16(screen);
  const int height = Le16(screen + 2);
  const uint8_t flags = screen[4];
  CheckPictureSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
  std::vector<uint32_t> global;
  if (flags & 0x80) global = ReadColorTable(r, flags & 7);

  std::vector<GifFrame> frames;
  uint64_t totalPixels = 0;
  std::vector<uint8_t> lzw;
  try {
    for (;;) {
      r.SkipZeros();
      if (r.AtEnd()) break;
      const uint8_t lead = r.Peek();
      if (lead != kExtensionIntroducer && lead != kImageSeparator) break;  // trailer or anything else
      GifFrame frame;
      bool haveDescriptor = false;
      while (!haveDescriptor) {
        r.SkipZeros();
        const uint8_t introducer = r.Byte();
        if (introducer == kExtensionIntroducer) {
          GifExtension extension;
          extension.label = r.Byte();
          std::vector<uint8_t> body;
          r.SubBlocks(&body);  // cut off: dropped with its frame
          extension.data = QByteArray(reinterpret_cast<const char*>(body.data()), static_cast<qsizetype>(body.size()));
          if (extension.label == kGraphicControlLabel && body.size() >= 4 && (body[0] & 1))
            frame.transparentIndex = body[3];
          frame.extensions.push_back(std::move(extension));
        } else if (introducer == kImageSeparator) {
          haveDescriptor = true;
        } else if (introducer == kTrailer) {
          // Extensions after the last image (a closing comment, say) belong to no frame.
          throw EndOfData{};
        } else {
          Fail("Invalid GIF data");
        }
      }
      const uint8_t* d = r.Need(9);
      frame.left = Le16(d);
      frame.top = Le16(d + 2);
      frame.width = Le16(d + 4);
      frame.height = Le16(d + 6);
      frame.interlaced = (d[8] & 0x40) != 0;
      if (d[8] & 0x80) frame.localColors = ReadColorTable(r, d[8] & 7);
      const size_t pixels = CheckPictureSize(frame.width, frame.height);
      totalPixels += pixels;
      if (totalPixels > kMaxFramePixelsTotal) ThrowPictureTooLarge();

      bool ended = false;
      lzw.clear();
      int minCodeSize = 0;
      try {
        minCodeSize = r.Byte();
        if (minCodeSize < 1 || minCodeSize > 8) Fail("Invalid LZW code size");
        r.SubBlocks(&lzw);
      } catch (const EndOfData&) {
        ended = true;
      }
      if (minCodeSize >= 1 && pixels > 0) {
        try {
          auto decoder = std::make_unique<LzwDecoder>(minCodeSize, pixels, frame.indices);
          decoder->Decode(lzw.data(), lzw.size());
          frame.indices.resize(decoder->Produced());
        } catch (const std::bad_alloc&) {
          ThrowPictureTooLarge();
        }
      }
      frames.push_back(std::move(frame));
      if (ended) break;  // image data cut off: keep what was decoded
    }
  } catch (const EndOfData&) {
    // Data ended inside an extension or before an image: the frames read so far stand.
  }

  screenWidth_ = width;
  screenHeight_ = height;
  globalColors_ = std::move(global);
  backgroundIndex_ = screen[5];
  frames_ = std::move(frames);
  Changed();
}

QImage GifGraphic::Render(uint32_t background) const {
  CheckPictureSize(static_cast<uint64_t>(screenWidth_), static_cast<uint64_t>(screenHeight_));
  QImage image(screenWidth_, screenHeight_, QImage::Format_ARGB32);
  if (image.isNull()) ThrowPictureTooLarge();
  image.fill(background);
  if (frames_.empty()) return image;
  const GifFrame& frame = frames_.front();
  const std::vector<uint32_t>& colors = frame.localColors.empty() ? globalColors_ : frame.localColors;
  const int transparentIndex = transparent_ ? frame.transparentIndex : -1;
  const int right = std::min<int>(screenWidth_, frame.left + frame.width);
  const int bottom = std::min<int>(screenHeight_, frame.top + frame.height);
  for (int y = frame.top; y < bottom; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
    for (int x = frame.left; x < right; ++x) {
      const uint8_t index = frame.IndexAt(x - frame.left, y - frame.top);
      if (index == transparentIndex) continue;
      line[x] = 0xFF000000u | (index < colors.size() ? colors[index] : 0u);
    }
  }
  return image;
}

QImage GifGraphic::ToImage() const {
  if (Empty()) return QImage();
  uint32_t background = kSystemWindowColor;
  if (!globalColors_.empty())
    background = static_cast<size_t>(backgroundIndex_) < globalColors_.size() ? globalColors_[backgroundIndex_] : 0;
  return Render(0xFF000000u | background);
}

void GifGraphic::Draw(QPainter& painter, const QRectF& target) const {
  if (Empty()) return;
  painter.drawImage(target, Render(0));
}

std::unique_ptr<Graphic> GifGraphic::Clone() const {
  auto copy = std::make_unique<GifGraphic>();
  copy->CopyBaseSettingsFrom(*this);
  copy->screenWidth_ = screenWidth_;
  copy->screenHeight_ = screenHeight_;
  copy->globalColors_ = globalColors_;
  copy->backgroundIndex_ = backgroundIndex_;
  copy->frames_ = frames_;
  return copy;
}

}  // namespace orvelle
