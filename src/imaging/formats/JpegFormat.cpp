#include "imaging/formats/JpegFormat.h"

// clang-format off
#include <cstdio>   // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"

namespace pixolan::imaging {

namespace {

using F = TImageFormatId;

// Size of the read and write buffers between libjpeg and the stream. Reads of this size
// go past the file stream's own buffer straight to the system.
constexpr size_t kIOBufferSize = 65536;
// Rows handed to libjpeg per call.
constexpr JDIMENSION kRowBatch = 16;

// ---- Per-call state reached from libjpeg's callbacks --------------------------------
//
// libjpeg reports fatal errors by calling error_exit, which must not return. Ours jumps
// back to RunGuarded. The frames in between are libjpeg's C frames, the callbacks below
// and the step functions, none of which owns anything with a destructor, so the jump
// skips no C++ cleanup. Everything that needs cleanup lives in the objects that call
// RunGuarded, above the jump target. Callbacks never let an exception into libjpeg: a
// stream failure is kept here and turned into a library error.

struct TJpegSession {
  jpeg_error_mgr Errors{};
  std::jmp_buf Jump{};
  int ErrorCode = 0;
  char ErrorText[JMSG_LENGTH_MAX] = {};

  TStream* Stream = nullptr;
  std::exception_ptr StreamError;
  std::unique_ptr<JOCTET[]> Buffer = std::make_unique_for_overwrite<JOCTET[]>(kIOBufferSize);

  jpeg_source_mgr Source{};
  // Until the header is read, running out of data is fatal at once.
  bool InHeader = true;
  // The stream ran out during the image data; libjpeg got a fake end-of-image marker.
  bool InputEnded = false;

  jpeg_destination_mgr Destination{};
};

TJpegSession& SessionOf(j_common_ptr info) {
  return *static_cast<TJpegSession*>(info->client_data);
}

[[noreturn]] void ErrorExit(j_common_ptr info) {
  TJpegSession& session = SessionOf(info);
  session.ErrorCode = info->err->msg_code;
  (*info->err->format_message)(info, session.ErrorText);
  std::longjmp(session.Jump, 1);
}

// Warnings are ignored (libjpeg decodes around corrupt data), except the one that shows
// the image data itself was cut off: a Huffman decoder that needs bits beyond the end of
// the stream. Trace messages are never shown.
void EmitMessage(j_common_ptr info, int level) {
  if (level >= 0 || !info->is_decompressor) return;
  const TJpegSession& session = SessionOf(info);
  if (session.InputEnded && info->err->msg_code == JWRN_HIT_MARKER) {
    info->err->msg_code = JERR_INPUT_EOF;
    ErrorExit(info);
  }
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(TJpegSession& session, j_common_ptr info) {
  info->err = jpeg_std_error(&session.Errors);
  session.Errors.error_exit = ErrorExit;
  session.Errors.emit_message = EmitMessage;
  session.Errors.output_message = OutputMessage;
  info->client_data = &session;
}

using TStep = void (*)(void* data);

// The jump target of error_exit. Kept out of line so that no caller's locals share the
// frame that setjmp records. False after a library error, whose code and text are then
// in the session.
[[gnu::noinline]] bool RunGuarded(TJpegSession& session, TStep step, void* data) {
  if (setjmp(session.Jump) != 0) return false;
  step(data);
  return true;
}

[[noreturn]] void RaiseLibraryError(const TJpegSession& session) {
  const std::string message =
      FormatText("JPEG Error: %d (%s)", session.ErrorCode, session.ErrorText);
  if (session.StreamError) {
    // The stream's own message tells more than "Input file read error".
    try {
      std::rethrow_exception(session.StreamError);
    } catch (...) {
      RaiseImaging(message);
    }
  }
  throw EImagingError(message);
}

// ---- Source manager over a TStream --------------------------------------------------

// Number of bytes read into the buffer, 0 at the end of the stream, -1 when the stream
// failed (the exception is kept for the error message).
int64_t ReadIntoBuffer(TJpegSession& session) noexcept {
  try {
    return session.Stream->Read(session.Buffer.get(), int64_t(kIOBufferSize));
  } catch (...) {
    session.StreamError = std::current_exception();
    return -1;
  }
}

bool SkipInStream(TJpegSession& session, int64_t count) noexcept {
  try {
    session.Stream->Seek(count, TSeekOrigin::Current);
    return true;
  } catch (...) {
    session.StreamError = std::current_exception();
    return false;
  }
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
  TJpegSession& session = SessionOf(reinterpret_cast<j_common_ptr>(info));
  int64_t count = ReadIntoBuffer(session);
  if (count < 0) ERREXIT(info, JERR_FILE_READ);
  if (count == 0) {
    if (session.InHeader) ERREXIT(info, JERR_INPUT_EOF);
    // The arithmetic decoder fills missing data with zeros without a warning, so for it
    // any end before the end-of-image marker counts as cut off.
    if (info->arith_code) ERREXIT(info, JERR_INPUT_EOF);
    session.InputEnded = true;
    session.Buffer[0] = 0xFF;
    session.Buffer[1] = JPEG_EOI;
    count = 2;
  }
  session.Source.next_input_byte = session.Buffer.get();
  session.Source.bytes_in_buffer = size_t(count);
  return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  TJpegSession& session = SessionOf(reinterpret_cast<j_common_ptr>(info));
  jpeg_source_mgr& source = session.Source;
  if (size_t(count) <= source.bytes_in_buffer) {
    source.next_input_byte += count;
    source.bytes_in_buffer -= size_t(count);
    return;
  }
  // Large marker segments (thumbnails, profiles) are seeked over, not read.
  const int64_t rest = int64_t(count) - int64_t(source.bytes_in_buffer);
  source.next_input_byte = nullptr;
  source.bytes_in_buffer = 0;
  if (!session.InputEnded && !SkipInStream(session, rest)) ERREXIT(info, JERR_FILE_READ);
}

void TermSource(j_decompress_ptr) {}

// ---- Destination manager over a TStream ---------------------------------------------

bool WriteFromBuffer(TJpegSession& session, size_t count) noexcept {
  try {
    session.Stream->WriteExact(session.Buffer.get(), int64_t(count));
    return true;
  } catch (...) {
    session.StreamError = std::current_exception();
    return false;
  }
}

void InitDestination(j_compress_ptr info) {
  TJpegSession& session = SessionOf(reinterpret_cast<j_common_ptr>(info));
  session.Destination.next_output_byte = session.Buffer.get();
  session.Destination.free_in_buffer = kIOBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr info) {
  TJpegSession& session = SessionOf(reinterpret_cast<j_common_ptr>(info));
  // libjpeg calls this with a full buffer, whatever free_in_buffer says.
  if (!WriteFromBuffer(session, kIOBufferSize)) ERREXIT(info, JERR_FILE_WRITE);
  session.Destination.next_output_byte = session.Buffer.get();
  session.Destination.free_in_buffer = kIOBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  TJpegSession& session = SessionOf(reinterpret_cast<j_common_ptr>(info));
  const size_t count = kIOBufferSize - session.Destination.free_in_buffer;
  if (count > 0 && !WriteFromBuffer(session, count)) ERREXIT(info, JERR_FILE_WRITE);
}

// ---- Decompression ------------------------------------------------------------------

void CreateDecompressStep(void* data) {
  jpeg_create_decompress(static_cast<j_decompress_ptr>(data));
}

struct THeaderJob {
  j_decompress_ptr Info = nullptr;
  bool MultipleScans = false;
};

void ReadHeaderStep(void* data) {
  auto& job = *static_cast<THeaderJob*>(data);
  jpeg_read_header(job.Info, TRUE);
  job.MultipleScans = jpeg_has_multiple_scans(job.Info);
}

struct TDecodeJob {
  j_decompress_ptr Info = nullptr;
  uint8_t* Bits = nullptr;
  size_t Stride = 0;
  JDIMENSION Width = 0, Height = 0;
  int Components = 0;
  bool Cmyk = false;
  // Stored CMYK samples are 255 - ink (Adobe files).
  bool InvertedCmyk = false;
  // Set when libjpeg did not deliver what was set up; the caller raises.
  bool Mismatch = false;
};

// CMYK samples to opaque B, G, R in place (both 4 bytes a pixel). With c, k the ink
// amounts, red = 255 - (c + k - k * c / 255), green and blue alike from m and y.
void CmykToBgra(uint8_t* p, size_t pixels, bool inverted) {
  const unsigned flip = inverted ? 255 : 0;
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const unsigned c = p[0] ^ flip, m = p[1] ^ flip, y = p[2] ^ flip, k = p[3] ^ flip;
    p[0] = uint8_t(255 - (y + k - k * y / 255));
    p[1] = uint8_t(255 - (m + k - k * m / 255));
    p[2] = uint8_t(255 - (c + k - k * c / 255));
    p[3] = 255;
  }
}

void DecodeStep(void* data) {
  auto& job = *static_cast<TDecodeJob*>(data);
  j_decompress_ptr info = job.Info;
  jpeg_start_decompress(info);
  if (info->output_width != job.Width || info->output_height != job.Height ||
      info->output_components != job.Components) {
    job.Mismatch = true;
    return;
  }
  JSAMPROW rows[kRowBatch];
  while (info->output_scanline < info->output_height) {
    const JDIMENSION first = info->output_scanline;
    const JDIMENSION count = std::min(kRowBatch, info->output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = job.Bits + (size_t(first) + i) * job.Stride;
    const JDIMENSION got = jpeg_read_scanlines(info, rows, count);
    if (got == 0) {
      job.Mismatch = true;
      return;
    }
    // The rows are contiguous in the image.
    if (job.Cmyk) CmykToBgra(rows[0], size_t(got) * job.Width, job.InvertedCmyk);
  }
  jpeg_finish_decompress(info);
}

class TJpegDecoder {
 public:
  explicit TJpegDecoder(TStream& stream) {
    session_.Stream = &stream;
    InstallErrorManager(session_, reinterpret_cast<j_common_ptr>(&info_));
    if (!RunGuarded(session_, CreateDecompressStep, &info_)) {
      jpeg_destroy_decompress(&info_);
      RaiseLibraryError(session_);
    }
    info_.mem->max_memory_to_use = long(kMaxJpegLibraryMemory);
    jpeg_source_mgr& source = session_.Source;
    source.init_source = InitSource;
    source.fill_input_buffer = FillInputBuffer;
    source.skip_input_data = SkipInputData;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = TermSource;
    source.next_input_byte = nullptr;
    source.bytes_in_buffer = 0;
    info_.src = &source;
  }
  ~TJpegDecoder() { jpeg_destroy_decompress(&info_); }
  TJpegDecoder(const TJpegDecoder&) = delete;
  TJpegDecoder& operator=(const TJpegDecoder&) = delete;

  jpeg_decompress_struct& Info() { return info_; }

  void Run(TStep step, void* data) {
    if (!RunGuarded(session_, step, data)) RaiseLibraryError(session_);
  }

  // Returns whether the stream holds several scans (progressive and multi-scan files).
  bool ReadHeader() {
    THeaderJob job{&info_};
    Run(ReadHeaderStep, &job);
    session_.InHeader = false;
    return job.MultipleScans;
  }

  // Bytes of the stream not yet handed to libjpeg.
  int64_t Remaining() {
    TStream& stream = *session_.Stream;
    return stream.Size() - stream.Tell() + int64_t(session_.Source.bytes_in_buffer);
  }

  // Leaves the stream just after the data libjpeg consumed, so that a container can go on
  // reading behind the JPEG stream.
  void ReturnUnreadInput() {
    if (session_.InputEnded || session_.Source.bytes_in_buffer == 0) return;
    session_.Stream->Seek(-int64_t(session_.Source.bytes_in_buffer), TSeekOrigin::Current);
    session_.Source.bytes_in_buffer = 0;
  }

 private:
  TJpegSession session_;
  jpeg_decompress_struct info_{};
};

// Decoder memory libjpeg needs for the whole-image coefficient buffers of a file with
// several scans (as libjpeg sizes them: blocks rounded up to the sampling factors).
int64_t CoefficientMemory(const jpeg_decompress_struct& info) {
  int64_t total = 0;
  for (int i = 0; i < info.num_components; ++i) {
    const jpeg_component_info& c = info.comp_info[i];
    const auto roundUp = [](int64_t v, int64_t m) { return m > 0 ? (v + m - 1) / m * m : v; };
    total += roundUp(c.width_in_blocks, c.h_samp_factor) *
             roundUp(c.height_in_blocks, c.v_samp_factor) * int64_t(sizeof(JBLOCK));
  }
  return total;
}

// Fewest bytes of Huffman-coded data that can hold every block once: each block costs at
// least one bit (its DC code) in the first scan that covers it.
int64_t MinimumHuffmanData(const jpeg_decompress_struct& info) {
  int64_t blocks = 0;
  for (int i = 0; i < info.num_components; ++i)
    blocks += int64_t(info.comp_info[i].width_in_blocks) * info.comp_info[i].height_in_blocks;
  return blocks / 8;
}

// ---- Compression --------------------------------------------------------------------

void CreateCompressStep(void* data) {
  jpeg_create_compress(static_cast<j_compress_ptr>(data));
}

struct TEncodeJob {
  j_compress_ptr Info = nullptr;
  const uint8_t* Bits = nullptr;
  size_t Stride = 0;
  JDIMENSION Width = 0, Height = 0;
  int Components = 0;
  J_COLOR_SPACE ColorSpace = JCS_UNKNOWN;
  int Quality = kDefaultJpegQuality;
  bool Progressive = false;
};

void EncodeStep(void* data) {
  auto& job = *static_cast<TEncodeJob*>(data);
  j_compress_ptr info = job.Info;
  info->image_width = job.Width;
  info->image_height = job.Height;
  info->input_components = job.Components;
  info->in_color_space = job.ColorSpace;
  jpeg_set_defaults(info);
  jpeg_set_quality(info, job.Quality, TRUE);
  if (job.Progressive) jpeg_simple_progression(info);
  jpeg_start_compress(info, TRUE);
  JSAMPROW rows[kRowBatch];
  while (info->next_scanline < info->image_height) {
    const JDIMENSION first = info->next_scanline;
    const JDIMENSION count = std::min(kRowBatch, info->image_height - first);
    // libjpeg only reads the rows; its interface just lacks the const.
    for (JDIMENSION i = 0; i < count; ++i)
      rows[i] = const_cast<JSAMPROW>(job.Bits + (size_t(first) + i) * job.Stride);
    jpeg_write_scanlines(info, rows, count);
  }
  jpeg_finish_compress(info);
}

class TJpegEncoder {
 public:
  explicit TJpegEncoder(TStream& stream) {
    session_.Stream = &stream;
    InstallErrorManager(session_, reinterpret_cast<j_common_ptr>(&info_));
    if (!RunGuarded(session_, CreateCompressStep, &info_)) {
      jpeg_destroy_compress(&info_);
      RaiseLibraryError(session_);
    }
    jpeg_destination_mgr& destination = session_.Destination;
    destination.init_destination = InitDestination;
    destination.empty_output_buffer = EmptyOutputBuffer;
    destination.term_destination = TermDestination;
    info_.dest = &destination;
  }
  ~TJpegEncoder() { jpeg_destroy_compress(&info_); }
  TJpegEncoder(const TJpegEncoder&) = delete;
  TJpegEncoder& operator=(const TJpegEncoder&) = delete;

  void Encode(TEncodeJob& job) {
    job.Info = &info_;
    if (!RunGuarded(session_, EncodeStep, &job)) RaiseLibraryError(session_);
  }

 private:
  TJpegSession session_;
  jpeg_compress_struct info_{};
};

}  // namespace

// ---- TJpegFileFormat ----------------------------------------------------------------

TJpegFileFormat::TJpegFileFormat() : TJpegFileFormat(TOptionBinding::Bind) {}

TJpegFileFormat::TJpegFileFormat(TOptionBinding binding) {
  Name = "Joint Photographic Experts Group Image";
  CanRead = true;
  CanWrite = true;
  MultiImage = false;
  WritableFormatSet.set(size_t(F::Gray8)).set(size_t(F::R8G8B8));
  AddMasks("*.jpg,*.jpeg,*.jfif,*.jpe,*.jif");
  if (binding == TOptionBinding::Bind) {
    BindOption(kOptionJpegQuality, Quality);
    BindOption(kOptionJpegProgressive, Progressive);
  }
}

void TJpegFileFormat::ValidateOptions() {
  const int32_t quality = Quality.load();
  if (quality < 1 || quality > 100) Quality.store(kDefaultJpegQuality);
}

bool TJpegFileFormat::TestJpegContent(TStream& stream) {
  uint8_t id[10] = {};
  const int64_t count = stream.Read(id, int64_t(sizeof(id)));
  if (count > 0) stream.Seek(-count, TSeekOrigin::Current);
  return count == int64_t(sizeof(id)) && id[0] == 0xFF && id[1] == 0xD8;
}

bool TJpegFileFormat::TestContent(TIOHandle& handle) {
  return TestJpegContent(handle.Stream());
}

bool TJpegFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  return ReadJpeg(handle.Stream(), images, handle.WantedFormat());
}

bool TJpegFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                  const TSaveSelection& selection) {
  const auto index = size_t(selection.SaveFirst);
  if (selection.SaveFirst < 0 || index >= images.size()) return false;
  return WriteJpeg(handle.Stream(), images[index]);
}

void TJpegFileFormat::ConvertForWriting(TImageData& image,
                                        const TFormatDescriptor& sourceDescriptor) const {
  ImageConvert(image, sourceDescriptor.IsGray ? F::Gray8 : F::R8G8B8);
}

bool TJpegFileFormat::ReadJpeg(TStream& stream, TDynImageDataArray& images, TImageFormatId wanted) {
  TJpegDecoder decoder(stream);
  jpeg_decompress_struct& info = decoder.Info();
  const bool multipleScans = decoder.ReadHeader();

  const JDIMENSION width = info.image_width, height = info.image_height;
  if (int64_t(width) * int64_t(height) > kMaxImagePixels)
    RaiseImaging(FormatText("JPEG image of %u x %u pixels exceeds the limit of %lld pixels.", width,
                            height, static_cast<long long>(kMaxImagePixels)));

  TImageFormatId format = F::Unknown;
  TDecodeJob job;
  switch (info.out_color_space) {
    case JCS_GRAYSCALE:
      format = F::Gray8;
      job.Components = 1;
      break;
    case JCS_RGB:
      // libjpeg writes the engine's B, G, R order itself, with an opaque alpha byte when
      // asked for four bytes a pixel.
      if (wanted == F::A8R8G8B8 && LoadOverrideFormat() == F::Unknown) {
        info.out_color_space = JCS_EXT_BGRA;
        format = F::A8R8G8B8;
        job.Components = 4;
      } else {
        info.out_color_space = JCS_EXT_BGR;
        format = F::R8G8B8;
        job.Components = 3;
      }
      break;
    case JCS_CMYK:
      format = F::A8R8G8B8;
      job.Components = 4;
      job.Cmyk = true;
      job.InvertedCmyk = info.saw_Adobe_marker;
      break;
    default:
      return false;
  }

  if (multipleScans) {
    const int64_t needed = CoefficientMemory(info);
    if (needed > kMaxJpegLibraryMemory)
      RaiseImaging(
          FormatText("JPEG image of %u x %u pixels needs %lld MiB of decoder memory, more "
                     "than the limit of %lld MiB.",
                     width, height, static_cast<long long>(needed >> 20),
                     static_cast<long long>(kMaxJpegLibraryMemory >> 20)));
  }
  // A header can claim a large image in a few bytes; Huffman-coded data cannot be
  // shorter than one bit per block, so such a claim is refused before allocating.
  if (!info.arith_code) {
    const int64_t needed = MinimumHuffmanData(info), left = decoder.Remaining();
    if (left < needed)
      RaiseImaging(
          FormatText("JPEG data ends early: an image of %u x %u pixels needs at least "
                     "%lld bytes of coded data, the file has %lld.",
                     width, height, static_cast<long long>(needed), static_cast<long long>(left)));
  }

  // Every byte is written by the decoder (or the load fails), so no zero fill.
  TImageData image;
  if (!ImageCreateForOverwrite(int32_t(width), int32_t(height), format, image)) return false;
  job.Bits = image.bits();
  job.Stride = size_t(width) * size_t(GetFormatDescriptor(format)->BytesPerPixel);
  job.Width = width;
  job.Height = height;
  job.Info = &info;
  decoder.Run(DecodeStep, &job);
  if (job.Mismatch)
    RaiseImaging(
        FormatText("JPEG decoder delivered %u x %u pixels of %d components instead of "
                   "%u x %u of %d.",
                   info.output_width, info.output_height, info.output_components, width, height,
                   job.Components));
  decoder.ReturnUnreadInput();
  images.push_back(std::move(image));
  return true;
}

bool TJpegFileFormat::WriteJpeg(TStream& stream, const TImageData& source) {
  if (!ImageIsValid(source)) return false;
  int32_t quality = Quality.load();
  if (quality < 1 || quality > 100) quality = kDefaultJpegQuality;

  TEncodeJob job;
  job.Quality = quality;
  job.Progressive = Progressive.load() != 0;

  // The program saves A8R8G8B8 images: libjpeg reads them as B, G, R plus an ignored
  // byte, which gives the same file as converting to R8G8B8 first, without the copy.
  const bool fourByteColor = source.Format == F::A8R8G8B8 || source.Format == F::X8R8G8B8;
  std::optional<TWritableImage> writable;
  const TImageData* image = &source;
  if (fourByteColor && SaveOverrideFormat() == F::Unknown) {
    job.ColorSpace = JCS_EXT_BGRX;
    job.Components = 4;
  } else {
    writable.emplace(MakeWritableCopy(source));
    if (!*writable) return false;
    image = &writable->Image();
    if (image->Format == F::Gray8) {
      job.ColorSpace = JCS_GRAYSCALE;
      job.Components = 1;
    } else {
      job.ColorSpace = JCS_EXT_BGR;
      job.Components = 3;
    }
  }
  job.Bits = image->bits();
  job.Width = JDIMENSION(image->Width);
  job.Height = JDIMENSION(image->Height);
  job.Stride = size_t(image->Width) * size_t(job.Components);

  TJpegEncoder encoder(stream);
  encoder.Encode(job);
  return true;
}

// ---- TCustomIOJpegFileFormat --------------------------------------------------------

TCustomIOJpegFileFormat::TCustomIOJpegFileFormat() : TJpegFileFormat(TOptionBinding::None) {}

bool TCustomIOJpegFileFormat::TestContent(TIOHandle& handle) {
  return TestJpegContent(StreamOf(handle));
}

bool TCustomIOJpegFileFormat::ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool) {
  return ReadJpeg(StreamOf(handle), images);
}

bool TCustomIOJpegFileFormat::WriteImages(TIOHandle& handle, TImageSpan images,
                                          const TSaveSelection& selection) {
  const auto index = size_t(selection.SaveFirst);
  if (selection.SaveFirst < 0 || index >= images.size()) return false;
  return WriteJpeg(StreamOf(handle), images[index]);
}

}  // namespace pixolan::imaging
