#include "imaging/formats/GifFormat.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/formats/GifLzw.h"
#include "imaging/image/ByteOrder.h"
#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/palette/Palette.h"

namespace pixolan::imaging {

namespace {

// Block introducers.
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
// Extension label of the graphic control extension (disposal, delay, transparency).
constexpr uint8_t kGraphicControlLabel = 0xF9;

// Header: signature and version, then the 7-byte logical screen descriptor.
constexpr size_t kHeaderSize = 6;
constexpr size_t kScreenDescriptorSize = 7;
// Image descriptor after its separator: left, top, width, height (16-bit each), packed.
constexpr size_t kImageDescriptorSize = 9;

// Packed field of the logical screen descriptor and of the image descriptor.
constexpr uint8_t kColorTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint8_t kColorTableSizeMask = 0x07;
// Packed field of the graphic control extension.
constexpr uint8_t kTransparencyFlag = 0x01;
constexpr int kDisposalShift = 2;
constexpr uint8_t kDisposalMask = 0x07;

// Disposal methods that change what the next frame starts from.
constexpr int kDisposeBackground = 2;
constexpr int kDisposePrevious = 3;

// Decoded images one load may hold: the frames and their composed screens together. An
// animation beyond this is refused rather than exhausting memory; a single frame on the
// largest screen the engine accepts (2^28 pixels) still fits.
constexpr int64_t kMaxLoadBytes = int64_t(1) << 31;

// What the writer puts into every file.
constexpr int kMaxDimension = 65535;
constexpr uint8_t kWriteScreenPacked = 0x70;  // no global table, 8 bits of color resolution
constexpr uint16_t kWriteDelay = 65;          // hundredths of a second
constexpr uint8_t kWriteImagePacked = 0x87;   // local table of 256 entries, not interlaced
constexpr int kWriteMinCodeSize = 8;
constexpr size_t kMaxSubBlockSize = 255;

void PutLe16(std::vector<uint8_t>& out, int value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

void StorePixel(uint8_t* p, TPixel32 c) {
  std::memcpy(p, &c, 4);
}

// Keeps the decoded bytes of one load within kMaxLoadBytes.
class TLoadBudget {
 public:
  void Take(int64_t bytes) {
    if (bytes > kMaxLoadBytes - used_)
      throw EImagingError(FormatText(
          "The GIF images need more than %" PRId64 " bytes of memory together.", kMaxLoadBytes));
    used_ += bytes;
  }

 private:
  int64_t used_ = 0;
};

struct TLogicalScreen {
  int32_t Width = 0;
  int32_t Height = 0;
  uint8_t BackgroundIndex = 0;
};

// One image of the file as stored: Index8 pixels of the frame's (clamped) size with its
// palette, and where and how it is shown.
struct TGifFrame {
  TImageData Image;
  int32_t Left = 0;
  int32_t Top = 0;
  int Disposal = 0;
  int TransparentIndex = -1;  // -1: none

  TPixel32 Entry(int index) const { return Image.palette()[index]; }
  bool CoversScreen(const TLogicalScreen& screen) const {
    return Left == 0 && Top == 0 && Image.Width >= screen.Width && Image.Height >= screen.Height;
  }
};

// Calls visit(screen offset, color) for every pixel of the frame that lies on the screen
// and whose palette entry is not fully transparent.
template <class Visit>
void ForEachDrawnPixel(const TGifFrame& frame, const TLogicalScreen& screen, Visit&& visit) {
  const int32_t right = std::min<int32_t>(frame.Left + frame.Image.Width, screen.Width);
  const int32_t bottom = std::min<int32_t>(frame.Top + frame.Image.Height, screen.Height);
  const TPixel32* palette = frame.Image.palette();
  for (int32_t y = frame.Top; y < bottom; ++y) {
    const uint8_t* row = frame.Image.bits() + int64_t(y - frame.Top) * frame.Image.Width;
    for (int32_t x = frame.Left; x < right; ++x) {
      const TPixel32 c = palette[row[x - frame.Left]];
      if (c.A != 0) visit(int64_t(y) * screen.Width + x, c);
    }
  }
}

// Calls visit(screen offset) for every screen pixel inside the frame's rectangle.
template <class Visit>
void ForEachRectPixel(const TGifFrame& frame, const TLogicalScreen& screen, Visit&& visit) {
  const int32_t right = std::min<int32_t>(frame.Left + frame.Image.Width, screen.Width);
  const int32_t bottom = std::min<int32_t>(frame.Top + frame.Image.Height, screen.Height);
  for (int32_t y = frame.Top; y < bottom; ++y)
    for (int32_t x = frame.Left; x < right; ++x) visit(int64_t(y) * screen.Width + x);
}

// Row of an interlaced image that holds the row-th row of the data: the rows come in four
// passes, every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
int64_t InterlacedRow(int64_t row, int64_t height) {
  const int64_t pass1 = (height + 7) / 8;
  if (row < pass1) return row * 8;
  row -= pass1;
  const int64_t pass2 = (height + 3) / 8;
  if (row < pass2) return 4 + row * 8;
  row -= pass2;
  const int64_t pass3 = (height + 1) / 4;
  if (row < pass3) return 2 + row * 4;
  row -= pass3;
  return 1 + row * 2;
}

// ---- Reading the blocks ------------------------------------------------------------

class TGifReader {
 public:
  TGifReader(TIOHandle& handle, TLoadBudget& budget) : stream_(handle.Stream()), budget_(budget) {}

  TLogicalScreen ReadScreen() {
    uint8_t header[kHeaderSize + kScreenDescriptorSize];
    stream_.ReadExact(header, sizeof(header), "the GIF header");
    const uint8_t* lsd = header + kHeaderSize;
    TLogicalScreen screen;
    screen.Width = Get16(lsd);
    screen.Height = Get16(lsd + 2);
    screen.BackgroundIndex = lsd[5];
    // Frames of size 0 take the screen's size, so a screen without pixels leaves nothing
    // that could be shown.
    if (screen.Width == 0 || screen.Height == 0)
      throw EImagingError(
          FormatText("The GIF logical screen has no pixels (%dx%d).", screen.Width, screen.Height));
    if (lsd[4] & kColorTableFlag) {
      globalTableSize_ = 2 << (lsd[4] & kColorTableSizeMask);
      ReadColorTable(globalTable_, globalTableSize_, "the GIF global color table");
    }
    return screen;
  }

  // Reads blocks up to the next image and returns it; false at the trailer, at the end of
  // the data between blocks, or at a byte that starts no block.
  bool ReadFrame(const TLogicalScreen& screen, TGifFrame& frame) {
    int disposal = 0;
    int transparentIndex = -1;
    for (;;) {
      uint8_t introducer = 0;
      // A missing trailer is common and harmless: the data simply ends after a block.
      if (stream_.Read(&introducer, 1) != 1) return false;
      if (introducer == kImageSeparator) break;
      if (introducer != kExtensionIntroducer) return false;
      const uint8_t label = ReadByte("a GIF extension label");
      if (label == kGraphicControlLabel) {
        std::vector<uint8_t> data;
        ReadSubBlocks(&data, "a GIF graphic control extension");
        // The last extension before an image applies to it; a short one carries nothing.
        if (data.size() >= 4) {
          disposal = (data[0] >> kDisposalShift) & kDisposalMask;
          transparentIndex = (data[0] & kTransparencyFlag) ? data[3] : -1;
        }
      } else {
        ReadSubBlocks(nullptr, "a GIF extension");
      }
    }
    ReadImage(screen, frame);
    frame.Disposal = disposal;
    frame.TransparentIndex = transparentIndex;
    if (transparentIndex >= 0) frame.Image.palette()[transparentIndex].A = 0;
    return true;
  }

 private:
  uint8_t ReadByte(const char* what) {
    uint8_t b = 0;
    stream_.ReadExact(&b, 1, what);
    return b;
  }

  void ReadColorTable(std::array<TPixel32, 256>& table, int entries, const char* what) {
    uint8_t rgb[256 * 3];
    stream_.ReadExact(rgb, entries * 3, what);
    for (int i = 0; i < entries; ++i)
      table[size_t(i)] = {rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 255};
  }

  // Reads a chain of sub-blocks up to its terminator, keeping the payload when asked to.
  // The data grows only with what the file holds.
  void ReadSubBlocks(std::vector<uint8_t>* payload, const char* what) {
    uint8_t block[kMaxSubBlockSize];
    for (;;) {
      const uint8_t size = ReadByte(what);
      if (size == 0) return;
      stream_.ReadExact(block, size, what);
      if (payload) payload->insert(payload->end(), block, block + size);
    }
  }

  void ReadImage(const TLogicalScreen& screen, TGifFrame& frame) {
    uint8_t descriptor[kImageDescriptorSize];
    stream_.ReadExact(descriptor, sizeof(descriptor), "a GIF image descriptor");
    frame.Left = Get16(descriptor);
    frame.Top = Get16(descriptor + 2);
    const int32_t storedWidth = Get16(descriptor + 4);
    const int32_t storedHeight = Get16(descriptor + 6);
    const uint8_t packed = descriptor[8];

    std::array<TPixel32, 256> localTable{};
    int localTableSize = 0;
    if (packed & kColorTableFlag) {
      localTableSize = 2 << (packed & kColorTableSizeMask);
      ReadColorTable(localTable, localTableSize, "a GIF local color table");
    }

    const int minCodeSize = ReadByte("the GIF LZW code size");
    if (minCodeSize < kGifLzwMinCodeSizeLow || minCodeSize > kGifLzwMinCodeSizeHigh)
      throw EImagingError(kGifLzwErrorMessage);
    std::vector<uint8_t> data;
    ReadSubBlocks(&data, "GIF image data");

    // A size of 0 or one beyond the screen becomes the screen's. The pixel data keeps the
    // layout of the stored size, so an oversized frame is cut to its top-left part rather
    // than having its rows wrapped at the new width.
    const int32_t width =
        storedWidth == 0 || storedWidth > screen.Width ? screen.Width : storedWidth;
    const int32_t height =
        storedHeight == 0 || storedHeight > screen.Height ? screen.Height : storedHeight;
    const int32_t dataWidth = storedWidth == 0 ? width : storedWidth;
    const int32_t dataHeight = storedHeight == 0 ? height : storedHeight;

    // No code stands for more than kGifLzwMaxStringLength pixels, so the data bounds the
    // pixels it can fill; a frame beyond that is refused before anything is allocated.
    const int64_t codes = int64_t(data.size()) * 8 / (minCodeSize + 1) + 1;
    if (int64_t(width) * height > codes * kGifLzwMaxStringLength)
      throw EImagingError(FormatText("%zu bytes of GIF image data cannot fill a %dx%d frame.",
                                     data.size(), width, height));
    budget_.Take(int64_t(width) * height + 256 * int64_t(sizeof(TPixel32)));
    if (!ImageCreate(width, height, TImageFormatId::Index8, frame.Image))
      throw EImagingError(FormatText("Cannot create a %dx%d GIF frame.", width, height));

    int colorCount = 256;
    TPixel32* palette = frame.Image.palette();
    if (localTableSize > 0) {
      std::copy_n(localTable.begin(), localTableSize, palette);
      colorCount = localTableSize;
    } else if (globalTableSize_ > 0) {
      std::copy_n(globalTable_.begin(), globalTableSize_, palette);
      colorCount = globalTableSize_;
    } else {
      PaletteFillCustom(palette, 256, 3, 3, 2, 255);
    }

    DecodePixels(data, minCodeSize, dataWidth, dataHeight, (packed & kInterlaceFlag) != 0,
                 colorCount, frame.Image);
  }

  // Decodes the data row by row in its stored layout and keeps what falls inside the frame
  // image. Pixels the data does not reach stay 0; data beyond the last row is ignored.
  static void DecodePixels(const std::vector<uint8_t>& data, int minCodeSize, int32_t dataWidth,
                           int32_t dataHeight, bool interlaced, int colorCount, TImageData& image) {
    auto decoder = std::make_unique<TGifLzwDecoder>(data, minCodeSize);
    std::vector<uint8_t> row(static_cast<size_t>(dataWidth));
    const size_t keep = size_t(image.Width);
    for (int64_t r = 0; r < dataHeight; ++r) {
      const size_t n = decoder->Read(row.data(), row.size());
      for (size_t i = 0; i < n; ++i)
        if (row[i] >= colorCount)
          throw EImagingError(FormatText("GIF pixel index %d lies beyond the %d-entry color table.",
                                         int(row[i]), colorCount));
      const int64_t y = interlaced ? InterlacedRow(r, dataHeight) : r;
      if (y < image.Height)
        std::memcpy(image.bits() + y * image.Width, row.data(), std::min(n, keep));
      if (n < row.size()) break;
    }
  }

  TStream& stream_;
  TLoadBudget& budget_;
  std::array<TPixel32, 256> globalTable_{};
  int globalTableSize_ = 0;
};

// ---- Composing the frames ------------------------------------------------------------

// Builds the screen image of each frame in turn. Restarting after a "restore to previous"
// frame replays the earlier frames; that replay is kept incrementally, with a mark for the
// pixels that show the fill color (which depends on the frame being composed), so every
// frame is replayed once however long the animation is.
class TFrameComposer {
 public:
  TFrameComposer(const TLogicalScreen& screen, TLoadBudget& budget)
      : screen_(screen), budget_(budget) {}

  TImageData Compose(const std::vector<TGifFrame>& frames, size_t index,
                     const TImageData* previousComposed) {
    const TGifFrame& frame = frames[index];
    TImageData composed;
    budget_.Take(int64_t(screen_.Width) * screen_.Height * 4);
    if (index > 0 && frames[index - 1].Disposal != kDisposePrevious) {
      ImageClone(*previousComposed, composed);
      const TGifFrame& previous = frames[index - 1];
      if (previous.Disposal == kDisposeBackground) {
        const TPixel32 fill = previous.TransparentIndex >= 0
                                  ? previous.Entry(previous.TransparentIndex)
                                  : frame.Entry(screen_.BackgroundIndex);
        uint8_t* bits = composed.bits();
        ForEachRectPixel(previous, screen_, [&](int64_t p) { StorePixel(bits + p * 4, fill); });
      }
    } else {
      if (!ImageCreate(screen_.Width, screen_.Height, TImageFormatId::A8R8G8B8, composed))
        throw EImagingError("Cannot create the GIF screen image.");
      const TPixel32 fill = frame.TransparentIndex >= 0 ? frame.Entry(frame.TransparentIndex)
                                                        : frame.Entry(screen_.BackgroundIndex);
      uint8_t* bits = composed.bits();
      const int64_t pixels = int64_t(screen_.Width) * screen_.Height;
      if (index == 0) {
        for (int64_t p = 0; p < pixels; ++p) StorePixel(bits + p * 4, fill);
      } else {
        AdvanceReplay(frames, index);
        for (int64_t p = 0; p < pixels; ++p)
          StorePixel(bits + p * 4, replayIsFill_[size_t(p)] ? fill : replay_[size_t(p)]);
      }
    }
    uint8_t* bits = composed.bits();
    ForEachDrawnPixel(frame, screen_, [&](int64_t p, TPixel32 c) { StorePixel(bits + p * 4, c); });
    return composed;
  }

 private:
  // Brings the replay up to the frames before end: it starts at the last frame that covers
  // the screen and restores it to the background (or at the first frame); frames that keep
  // their pixels are drawn, "restore to background" frames after the start clear their
  // rectangle to the fill color, "restore to previous" frames leave no trace.
  void AdvanceReplay(const std::vector<TGifFrame>& frames, size_t end) {
    const size_t pixels = size_t(screen_.Width) * size_t(screen_.Height);
    if (replay_.empty()) {
      budget_.Take(int64_t(pixels) * int64_t(sizeof(TPixel32) + 1));
      replay_.assign(pixels, TPixel32{});
      replayIsFill_.assign(pixels, 1);
    }
    for (; replayEnd_ < end; ++replayEnd_) {
      const TGifFrame& frame = frames[replayEnd_];
      if (frame.Disposal == kDisposeBackground && frame.CoversScreen(screen_)) {
        std::fill(replayIsFill_.begin(), replayIsFill_.end(), uint8_t(1));
      } else if (frame.Disposal == kDisposeBackground) {
        // The starting frame itself needs no clearing: everything shows the fill there.
        ForEachRectPixel(frame, screen_, [&](int64_t p) { replayIsFill_[size_t(p)] = 1; });
      } else if (frame.Disposal != kDisposePrevious) {
        ForEachDrawnPixel(frame, screen_, [&](int64_t p, TPixel32 c) {
          replay_[size_t(p)] = c;
          replayIsFill_[size_t(p)] = 0;
        });
      }
    }
  }

  TLogicalScreen screen_;
  TLoadBudget& budget_;
  std::vector<TPixel32> replay_;
  std::vector<uint8_t> replayIsFill_;
  size_t replayEnd_ = 0;
};

// ---- Writing -----------------------------------------------------------------------

void WriteBytes(TIOHandle& handle, const std::vector<uint8_t>& bytes) {
  handle.Stream().WriteExact(bytes.data(), int64_t(bytes.size()));
}

// Writes the LZW data of one Index8 image as sub-blocks of at most 255 bytes, encoding row
// by row so that only a block's worth of codes is held at a time.
void WriteImageData(TIOHandle& handle, const TImageData& image) {
  std::vector<uint8_t> codes;
  std::vector<uint8_t> blocks;
  blocks.push_back(uint8_t(kWriteMinCodeSize));
  TGifLzwEncoder encoder(kWriteMinCodeSize, codes);
  const auto flush = [&](bool all) {
    size_t done = 0;
    while (codes.size() - done >= kMaxSubBlockSize || (all && done < codes.size())) {
      const size_t n = std::min(kMaxSubBlockSize, codes.size() - done);
      blocks.push_back(uint8_t(n));
      blocks.insert(blocks.end(), codes.begin() + ptrdiff_t(done),
                    codes.begin() + ptrdiff_t(done + n));
      done += n;
    }
    codes.erase(codes.begin(), codes.begin() + ptrdiff_t(done));
    WriteBytes(handle, blocks);
    blocks.clear();
  };
  for (int32_t y = 0; y < image.Height; ++y) {
    encoder.Add(
        std::span<const uint8_t>(image.bits() + int64_t(y) * image.Width, size_t(image.Width)));
    if (codes.size() >= kMaxSubBlockSize) flush(false);
  }
  encoder.Finish();
  flush(true);
  const std::vector<uint8_t> terminator{0};
  WriteBytes(handle, terminator);
}

}  // namespace

// ---- TGIFFileFormat ----------------------------------------------------------------

TGIFFileFormat::TGIFFileFormat() {
  Name = "Graphics Interchange Format";
  CanRead = true;
  CanWrite = true;
  MultiImage = true;
  WritableFormatSet.set(size_t(TImageFormatId::Index8));
  AddMasks("*.gif");
}

bool TGIFFileFormat::TestContent(TIOHandle& handle) {
  uint8_t header[13];
  const int64_t start = handle.Tell();
  const int64_t n = handle.Read(header, sizeof(header));
  handle.Seek(start, TSeekOrigin::Begin);
  return n == int64_t(sizeof(header)) && std::memcmp(header, "GIF", 3) == 0 &&
         (std::memcmp(header + 3, "87a", 3) == 0 || std::memcmp(header + 3, "89a", 3) == 0);
}

bool TGIFFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst) {
  const bool animated = LoadAnimated.load() != 0;
  TLoadBudget budget;
  TGifReader reader(handle, budget);
  const TLogicalScreen screen = reader.ReadScreen();
  if (animated && int64_t(screen.Width) * screen.Height > kMaxImagePixels)
    throw EImagingError(FormatText(
        "The GIF logical screen of %dx%d pixels exceeds the limit of %" PRId64 " pixels.",
        screen.Width, screen.Height, kMaxImagePixels));

  std::vector<TGifFrame> frames;
  for (;;) {
    TGifFrame frame;
    if (!reader.ReadFrame(screen, frame)) break;
    frames.push_back(std::move(frame));
    if (onlyFirst) break;
  }
  if (frames.empty()) throw EImagingError("The GIF file holds no image.");

  TDynImageDataArray result;
  if (animated) {
    TFrameComposer composer(screen, budget);
    for (size_t i = 0; i < frames.size(); ++i)
      result.push_back(composer.Compose(frames, i, i > 0 ? &result[i - 1] : nullptr));
  } else {
    for (TGifFrame& frame : frames) result.push_back(std::move(frame.Image));
  }
  images = std::move(result);
  return true;
}

void TGIFFileFormat::ConvertForWriting(TImageData& image, const TFormatDescriptor&) const {
  ImageConvert(image, TImageFormatId::Index8);
}

bool TGIFFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                 const TSaveSelection& selection) {
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  for (int32_t i = selection.SaveFirst; i <= selection.SaveLast; ++i) {
    const TImageData& image = images[size_t(i)];
    if (image.Width > kMaxDimension || image.Height > kMaxDimension)
      throw EImagingError(FormatText("A GIF image cannot be larger than %dx%d pixels. %s",
                                     kMaxDimension, kMaxDimension, ImageDescribe(image).c_str()));
    screenWidth = std::max(screenWidth, image.Width);
    screenHeight = std::max(screenHeight, image.Height);
  }

  // The first image is converted before anything is written, so that a conversion that
  // fails leaves the target untouched.
  std::optional<TWritableImage> writable = MakeWritableCopy(images[size_t(selection.SaveFirst)]);
  if (!*writable) return false;

  std::vector<uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a'};
  PutLe16(bytes, screenWidth);
  PutLe16(bytes, screenHeight);
  bytes.insert(bytes.end(), {kWriteScreenPacked, 0, 0});
  WriteBytes(handle, bytes);

  for (int32_t i = selection.SaveFirst; i <= selection.SaveLast; ++i) {
    if (i > selection.SaveFirst) {
      writable.reset();
      writable.emplace(MakeWritableCopy(images[size_t(i)]));
      if (!*writable) return false;
    }
    const TImageData& image = writable->Image();

    bytes = {kExtensionIntroducer, kGraphicControlLabel, 4, 0};
    PutLe16(bytes, kWriteDelay);
    bytes.insert(bytes.end(), {0, 0});  // transparent index (unused), terminator
    bytes.push_back(kImageSeparator);
    PutLe16(bytes, 0);
    PutLe16(bytes, 0);
    PutLe16(bytes, image.Width);
    PutLe16(bytes, image.Height);
    bytes.push_back(kWriteImagePacked);
    const TPixel32* palette = image.palette();
    for (int e = 0; e < 256; ++e)
      bytes.insert(bytes.end(), {palette[e].R, palette[e].G, palette[e].B});
    WriteBytes(handle, bytes);
    WriteImageData(handle, image);
  }

  bytes = {kTrailer};
  WriteBytes(handle, bytes);
  return true;
}

}  // namespace pixolan::imaging
