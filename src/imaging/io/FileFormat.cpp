#include "imaging/io/FileFormat.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "imaging/image/Errors.h"
#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "platform/AsciiCase.h"
#include "platform/AtomicFileWriter.h"

namespace pixolan::imaging {

namespace fs = std::filesystem;

namespace {

std::string_view Trim(std::string_view s) {
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view FileNamePart(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The platform writer's refusals and failures as engine errors, with its message.
template <class F>
void WithEngineErrors(F&& step) {
  try {
    step();
  } catch (const platform::EFileWriteError& e) {
    if (e.Failure() == platform::TFileWriteFailure::TargetExists) throw EFileExistsError(e.what());
    throw EImagingError(e.what());
  }
}

platform::TAtomicWriteOptions WriterOptions(const TSaveFileOptions& options) {
  platform::TAtomicWriteOptions writeOptions;
  writeOptions.Existing = options.RefuseExisting ? platform::TExistingTarget::Refuse
                                                 : platform::TExistingTarget::Replace;
  writeOptions.Link = platform::TLinkAtTarget::Replace;
  writeOptions.Sync = options.Sync;
  return writeOptions;
}

bool AllValid(TImageSpan images) {
  for (const TImageData& image : images)
    if (!ImageIsValid(image)) return false;
  return true;
}

}  // namespace

// ---- Mask matching ------------------------------------------------------------------

bool MatchesFileNameMask(std::string_view fileName, std::string_view mask) {
  if (mask.empty()) return true;
  const std::string_view name = FileNamePart(fileName);
  const size_t n = name.size(), m = mask.size();
  // matches[j]: does name[i..] match mask[j..], filled from the end of the name backwards.
  std::vector<char> next(m + 1), cur(m + 1);
  // Name used up: the rest of the mask must be wildcards only.
  next[m] = 1;
  for (size_t j = m; j-- > 0;) next[j] = (mask[j] == '*' || mask[j] == '?') && next[j + 1];
  for (size_t i = n; i-- > 0;) {
    cur[m] = 0;
    for (size_t j = m; j-- > 0;) {
      const char c = mask[j];
      if (c == '*')
        cur[j] = cur[j + 1] || next[j];
      else if (c == '?')
        cur[j] = next[j + 1];
      else
        cur[j] = platform::UpperAscii(c) == platform::UpperAscii(name[i]) && next[j + 1];
    }
    std::swap(cur, next);
  }
  return next[0] != 0;
}

std::string SeriesFileName(const std::string& fileName, int32_t index) {
  const fs::path path(fileName);
  const fs::path name =
      path.stem().string() + FormatText("%.3d", index) + path.extension().string();
  return (path.has_parent_path() ? path.parent_path() / name : name).string();
}

// ---- TImageFileFormat ---------------------------------------------------------------

TImageFileFormat::~TImageFileFormat() {
  for (const auto& [id, field] : boundOptions_) UnregisterEngineOption(id, field);
}

TImageFormatSet TImageFileFormat::WritableFormats() const {
  return WritableFormatSet;
}

bool TImageFileFormat::ReadImages(TIOHandle&, TDynImageDataArray&, bool) {
  RaiseImaging(FormatText("Image Format \"%s\" does not support loading images.", Name.c_str()));
}

bool TImageFileFormat::WriteImages(TIOHandle&, TImageSpan, const TSaveSelection&) {
  RaiseImaging(FormatText("Image Format \"%s\" does not support saving images.", Name.c_str()));
}

void TImageFileFormat::ConvertForWriting(TImageData&, const TFormatDescriptor&) const {}

bool TImageFileFormat::CanWriteFormat(const TImageData& image) const {
  const auto id = int32_t(image.Format);
  return id >= 0 && id <= kMaxFormatSetId && WritableFormats().test(size_t(id));
}

bool TImageFileFormat::TestContent(TIOHandle&) {
  return false;
}

void TImageFileFormat::ValidateOptions() {}

std::string TImageFileFormat::MainExtension() const {
  return Extensions.empty() ? std::string() : Extensions.front();
}

bool TImageFileFormat::MatchesFileName(std::string_view fileName) const {
  for (const std::string& mask : Masks)
    if (MatchesFileNameMask(fileName, mask)) return true;
  return false;
}

void TImageFileFormat::AddMasks(std::string_view maskList) {
  while (!maskList.empty()) {
    const size_t comma = maskList.find(',');
    const std::string_view mask = Trim(maskList.substr(0, comma));
    maskList = comma == std::string_view::npos ? std::string_view() : maskList.substr(comma + 1);
    if (mask.empty()) continue;
    Masks.emplace_back(mask);
    const size_t dot = mask.find_last_of('.');
    if (dot == std::string_view::npos || dot + 1 == mask.size()) continue;
    const std::string_view ext = mask.substr(dot + 1);
    if (ext != "*") Extensions.emplace_back(ext);
  }
}

bool TImageFileFormat::BindOption(int32_t id, std::atomic<int32_t>& field) {
  if (!RegisterEngineOption(id, &field)) return false;
  boundOptions_.emplace_back(id, &field);
  return true;
}

// ---- Loading ------------------------------------------------------------------------

bool TImageFileFormat::LoadFromHandle(TIOHandle& handle, TDynImageDataArray& images, bool onlyFirst,
                                      const std::string& notValidMessage) {
  ValidateOptions();
  const int64_t start = handle.Tell();
  if (!TestContent(handle)) RaiseImaging(notValidMessage);
  handle.Seek(start, TSeekOrigin::Begin);
  ImageArrayFree(images);
  if (!ReadImages(handle, images, onlyFirst)) return false;
  if (images.empty() || !ImageArrayIsValid(images)) return false;
  if (const TImageFormatId target = LoadOverrideFormat(); target != TImageFormatId::Unknown)
    for (TImageData& image : images)
      if (!ImageConvert(image, target)) return false;
  return true;
}

bool TImageFileFormat::LoadFile(const std::string& fileName, TDynImageDataArray& images,
                                bool onlyFirst) {
  if (!CanRead) return false;
  std::optional<TIOHandle> handle;
  try {
    handle.emplace(TFileIO::OpenRead(fileName));
  } catch (...) {
    ImageArrayFree(images);
    RaiseImaging(FormatText("Error while loading images from file \"%s\" (file format: %s).",
                            fileName.c_str(), MainExtension().c_str()));
  }
  return LoadFile(*handle, fileName, images, onlyFirst);
}

bool TImageFileFormat::LoadFile(TIOHandle& handle, const std::string& fileName,
                                TDynImageDataArray& images, bool onlyFirst) {
  if (!CanRead) return false;
  try {
    return LoadFromHandle(handle, images, onlyFirst,
                          FormatText("File \"%s\" is not valid image in \"%s\" format.",
                                     fileName.c_str(), Name.c_str()));
  } catch (...) {
    // Partly read images are of no use to anyone.
    ImageArrayFree(images);
    RaiseImaging(FormatText("Error while loading images from file \"%s\" (file format: %s).",
                            fileName.c_str(), MainExtension().c_str()));
  }
}

bool TImageFileFormat::LoadStream(TStream& stream, TDynImageDataArray& images, bool onlyFirst) {
  if (!CanRead) return false;
  const std::string streamText = PointerText(&stream);
  std::optional<int64_t> start;
  try {
    start = stream.Tell();
    TIOHandle handle = TStreamIO::OpenRead(stream);
    const bool loaded =
        LoadFromHandle(handle, images, onlyFirst,
                       FormatText("Stream %s does not contain valid image in \"%s\" format.",
                                  streamText.c_str(), Name.c_str()));
    if (!loaded) stream.Seek(*start, TSeekOrigin::Begin);
    return loaded;
  } catch (...) {
    ImageArrayFree(images);
    try {
      if (start) stream.Seek(*start, TSeekOrigin::Begin);
    } catch (...) {
      // The load error below is the one worth reporting.
    }
    RaiseImaging(FormatText("Error while loading images from stream %s (file format: %s).",
                            streamText.c_str(), MainExtension().c_str()));
  }
}

// ---- Saving -------------------------------------------------------------------------

std::optional<TSaveSelection> TImageFileFormat::PrepareSave(TImageSpan images, int32_t index) {
  ValidateOptions();
  if (!CanWrite || images.empty() || images.size() > size_t(INT32_MAX)) return std::nullopt;
  const auto count = int32_t(images.size());
  TSaveSelection selection;
  if (MultiImage && index == -1) {
    selection = {0, count - 1};
  } else {
    const int32_t chosen = index < 0 || index >= count ? 0 : index;
    selection = {chosen, chosen};
  }
  for (int32_t i = selection.SaveFirst; i <= selection.SaveLast; ++i)
    if (!ImageIsValid(images[size_t(i)])) return std::nullopt;
  return selection;
}

bool TImageFileFormat::SaveToFile(const std::string& fileName, TImageSpan images, int32_t index,
                                  const TSaveFileOptions& options) {
  // Prepared before anything touches the disk: a refused save must not even create a
  // temporary file.
  const std::optional<TSaveSelection> selection = PrepareSave(images, index);
  if (!selection) return false;
  const platform::TAtomicWriteOptions writeOptions = WriterOptions(options);
  // Declared first so that it goes last: an unfinished write is removed only after the
  // stream let go of the file.
  std::optional<platform::TAtomicFileWriter> file;
  WithEngineErrors([&] { file.emplace(fileName, writeOptions); });
  TFileStream stream(TFileStream::TBorrowedDescriptor{file->Descriptor()}, fileName);
  TIOHandle handle = TStreamIO::OpenWrite(stream);
  if (!WriteImages(handle, images, *selection)) return false;
  handle.Close();
  stream.Close();
  WithEngineErrors([&] { file->Commit(); });
  return true;
}

bool TImageFileFormat::SaveFile(const std::string& fileName, TImageSpan images, bool onlyFirst,
                                const TSaveFileOptions& options) {
  if (!CanWrite || images.empty() || !AllValid(images)) return false;
  if (MultiImage || onlyFirst || images.size() == 1)
    return SaveToFile(fileName, images, onlyFirst ? 0 : -1, options);
  for (size_t i = 0; i < images.size(); ++i)
    if (!SaveToFile(SeriesFileName(fileName, int32_t(i)), images, int32_t(i), options))
      return false;
  return true;
}

void WriteEncodedFile(const std::string& fileName, std::span<const uint8_t> bytes,
                      const TSaveFileOptions& options) {
  WithEngineErrors([&] { platform::WriteFileAtomically(fileName, bytes, WriterOptions(options)); });
}

bool TImageFileFormat::SaveStream(TStream& stream, TImageSpan images, bool onlyFirst) {
  if (!CanWrite || images.empty() || !AllValid(images)) return false;
  TIOHandle handle = TStreamIO::OpenWrite(stream);
  if (MultiImage || onlyFirst || images.size() == 1) {
    const std::optional<TSaveSelection> selection = PrepareSave(images, onlyFirst ? 0 : -1);
    if (!selection || !WriteImages(handle, images, *selection)) return false;
  } else {
    for (size_t i = 0; i < images.size(); ++i) {
      const std::optional<TSaveSelection> selection = PrepareSave(images, int32_t(i));
      if (!selection || !WriteImages(handle, images, *selection)) return false;
    }
  }
  handle.Close();
  return true;
}

TWritableImage TImageFileFormat::MakeWritableCopy(const TImageData& image) const {
  TWritableImage result(image);
  if (!ImageIsValid(image)) return result;
  const auto convertClone = [&](TImageData& clone) {
    if (!CanWriteFormat(clone))
      if (const TFormatDescriptor* d = GetFormatDescriptor(clone.Format))
        ConvertForWriting(clone, *d);
  };
  if (const TImageFormatId target = SaveOverrideFormat(); target != TImageFormatId::Unknown) {
    TImageData clone;
    ImageClone(image, clone);
    ImageConvert(clone, target);
    convertClone(clone);
    result.owned_ = std::move(clone);
  } else if (!CanWriteFormat(image)) {
    TImageData clone;
    ImageClone(image, clone);
    convertClone(clone);
    result.owned_ = std::move(clone);
  }
  // A writer must never see a format it does not handle, even from a handler whose
  // conversion falls short.
  result.usable_ = ImageIsValid(result.Image()) && CanWriteFormat(result.Image());
  return result;
}

}  // namespace pixolan::imaging
