// Base class of the file format handlers and the load/save protocol they share.
#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/image/Formats.h"
#include "imaging/image/ImagingTypes.h"
#include "imaging/io/ImagingIO.h"

namespace pixolan::imaging {

// Pixel formats a handler writes without conversion; bit n stands for format id n.
using TImageFormatSet = std::bitset<kMaxFormatSetId + 1>;

// Images handed to a save: a whole array or a single record, never copied.
using TImageSpan = std::span<const TImageData>;

// How SaveFile treats its target. The defaults replace an existing file.
struct TSaveFileOptions {
  // Never replace an existing file (or a link, or anything else of that name): the save
  // raises EFileExistsError instead, also when the file appears while the image is being
  // written, as the final rename itself refuses it.
  bool RefuseExisting = false;
  // Flush file and folder to the disk before SaveFile returns, for callers that delete
  // the source afterwards. Replacing an existing file always does this.
  bool Sync = false;
};

// A save with TSaveFileOptions::RefuseExisting found its target taken; nothing was
// written and the existing file is as it was. Derived from EImagingError so that callers
// that do not care see an ordinary failed save.
class EFileExistsError : public EImagingError {
 public:
  using EImagingError::EImagingError;
};

// The images one write covers, SaveFirst..SaveLast of the array, as chosen by the save
// preparation. It travels with the call rather than living in the handler, because one
// handler instance serves every save, also several at once.
struct TSaveSelection {
  int32_t SaveFirst = 0;
  int32_t SaveLast = 0;
};

// An image in a format the handler writes: either the caller's image itself or an owned,
// converted clone that is freed with this object.
class TWritableImage {
 public:
  const TImageData& Image() const { return owned_ ? *owned_ : *view_; }
  // True when the image is a converted clone rather than the caller's image.
  bool IsCopy() const { return owned_.has_value(); }
  // False when no writable image could be made (invalid source, or the handler's
  // conversion did not reach a format it writes).
  explicit operator bool() const { return usable_; }

 private:
  friend class TImageFileFormat;
  explicit TWritableImage(const TImageData& source) : view_(&source) {}

  const TImageData* view_;
  std::optional<TImageData> owned_;
  bool usable_ = false;
};

// One file format handler. The registry holds one instance of each handler class and
// shares it between all loads and saves, also concurrent ones: the fields below are set
// by the constructor and only read afterwards, and per-call state lives in locals.
class TImageFileFormat {
 public:
  virtual ~TImageFileFormat();
  TImageFileFormat(const TImageFileFormat&) = delete;
  TImageFileFormat& operator=(const TImageFileFormat&) = delete;

  // Extensions without dot, derived from the masks; the first is the main extension.
  std::vector<std::string> Extensions;
  // File-name masks such as "*.jpg".
  std::vector<std::string> Masks;
  std::string Name = "Unknown and unsupported format";
  bool CanRead = false;
  bool CanWrite = false;
  bool MultiImage = false;
  TImageFormatSet WritableFormatSet;

  // --- What handlers override -----------------------------------------------------

  // Pixel formats written without conversion. Default: WritableFormatSet.
  virtual TImageFormatSet WritableFormats() const;
  // Reads the images of an open handle into the (empty) array; with onlyFirst a
  // multi-image handler reads only the first. Default: raises "does not support loading".
  virtual bool ReadImages(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst);
  // Writes images[selection.SaveFirst..SaveLast], each through MakeWritableCopy.
  // Default: raises "does not support saving".
  virtual bool WriteImages(TIOHandle& handle, TImageSpan images, const TSaveSelection& selection);
  // Converts a clone into a format the handler writes; sourceDescriptor describes the
  // clone's current format. Default: nothing.
  virtual void ConvertForWriting(TImageData& image,
                                 const TFormatDescriptor& sourceDescriptor) const;
  // True when the image's format is in WritableFormats (ids above 231 never are).
  virtual bool CanWriteFormat(const TImageData& image) const;
  // Whether the data at the handle's position is this handler's format. Must leave the
  // position where it found it, so that probes can run one after another. Default: false.
  virtual bool TestContent(TIOHandle& handle);
  // Puts the handler's option fields back into their accepted ranges; called before every
  // load and save. Default: nothing.
  virtual void ValidateOptions();

  // --- Entry points -----------------------------------------------------------------

  // Loads the images of a file into images (emptied first). False when the handler does
  // not load, nothing came back or an image is invalid; failures raise EImagingError
  // "Error while loading images from file ...". kOptionLoadOverrideFormat converts every loaded
  // image.
  bool LoadFile(const std::string& fileName, TDynImageDataArray& images, bool onlyFirst);
  // As LoadFile, reading from a handle the caller opened on fileName, from the handle's
  // position: detection hands its open file on, so a source is opened once. The name is
  // only used in messages.
  bool LoadFile(TIOHandle& handle, const std::string& fileName, TDynImageDataArray& images,
                bool onlyFirst);
  // As LoadFile, from the stream's current position; the position is restored when
  // loading fails.
  bool LoadStream(TStream& stream, TDynImageDataArray& images, bool onlyFirst);
  // Saves images to a file. False when the handler does not save or an image is invalid.
  // The file is written under a temporary name in the same folder and renamed over
  // fileName only when the writer succeeded, so a failed save leaves an existing file as
  // it was. An existing file's permissions (less setuid and setgid) and owner are kept; a
  // symbolic link at fileName is replaced, never written through, and a folder, pipe,
  // device or socket there is refused with EImagingError. A single-image handler given
  // several images (onlyFirst not set) writes each to its own file: out.png gives
  // out000.png, out001.png, ...; files of a series written before a failure stay. Writer
  // exceptions reach the caller unchanged; a taken target under options.RefuseExisting
  // raises EFileExistsError.
  bool SaveFile(const std::string& fileName, TImageSpan images, bool onlyFirst,
                const TSaveFileOptions& options = {});
  // As SaveFile into the caller's stream at its position; a series is written one image
  // after another into the same stream.
  bool SaveStream(TStream& stream, TImageSpan images, bool onlyFirst);

  // The image as the handler can write it: kOptionSaveOverrideFormat (when set) converts a clone to
  // that format first; a format the handler does not write is converted by ConvertForWriting on a
  // clone; otherwise the image itself is used.
  TWritableImage MakeWritableCopy(const TImageData& image) const;

  // First extension, or "" for a handler without masks.
  std::string MainExtension() const;
  // Whether one of the masks matches the file-name part of the path.
  bool MatchesFileName(std::string_view fileName) const;

 protected:
  TImageFileFormat() = default;

  // Appends the comma-separated masks (each trimmed) and, for each mask, the text after
  // its last dot to Extensions, unless that text is empty or "*".
  void AddMasks(std::string_view maskList);
  // Binds an option field to an engine option id; false when the id is taken (the first
  // binding stays). The binding is removed when the handler is destroyed.
  bool BindOption(int32_t id, std::atomic<int32_t>& field);

 private:
  std::optional<TSaveSelection> PrepareSave(TImageSpan images, int32_t index);
  bool LoadFromHandle(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst,
                      const std::string& notValidMessage);
  bool SaveToFile(const std::string& fileName, TImageSpan images, int32_t index,
                  const TSaveFileOptions& options);

  std::vector<std::pair<int32_t, const std::atomic<int32_t>*>> boundOptions_;
};

// Writes an image file encoded beforehand (SaveStream into memory) under the same rules
// as SaveFile: the file appears complete or not at all, links at fileName are replaced,
// special files refused, and options.RefuseExisting raises EFileExistsError.
void WriteEncodedFile(const std::string& fileName, std::span<const uint8_t> bytes,
                      const TSaveFileOptions& options = {});

// Name of image i of a series saved by a single-image handler: "dir/out.png" gives
// "dir/out000.png" for i = 0.
std::string SeriesFileName(const std::string& fileName, int32_t index);

// Case-insensitive mask match on the file-name part of a path: '*' any run of characters,
// '?' exactly one; '*' and '?' left over after the name is used up still match; an empty
// mask matches everything.
bool MatchesFileNameMask(std::string_view fileName, std::string_view mask);

}  // namespace pixolan::imaging
