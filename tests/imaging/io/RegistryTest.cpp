#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <filesystem>

#include "imaging/image/Imaging.h"
#include "imaging/io/Options.h"
#include "imaging/io/Registry.h"
#include "support/Files.h"
#include "support/TempFolder.h"

namespace pixolan::imaging {
namespace {

namespace fs = std::filesystem;
using F = TImageFormatId;
using test::ReadFileText;
using test::TTempFolder;
using test::WriteFileText;

constexpr int32_t kRawMarkerOption = 310;
constexpr int32_t kLocalOption = 311;

// ---- Test handlers ------------------------------------------------------------------

void WriteInt(TIOHandle& h, int32_t v) {
  h.Stream().WriteExact(&v, 4);
}
int32_t ReadInt(TIOHandle& h) {
  int32_t v = 0;
  h.Stream().ReadExact(&v, 4, "an integer");
  return v;
}

bool HasMagic(TIOHandle& h, const char* magic) {
  char buf[6] = {};
  const int64_t n = h.Read(buf, 6);
  h.Seek(-n, TSeekOrigin::Current);
  return n == 6 && std::memcmp(buf, magic, 6) == 0;
}

// One image record: width, height, format, then the pixel bytes.
void WriteRecord(TIOHandle& h, const TImageData& image) {
  WriteInt(h, image.Width);
  WriteInt(h, image.Height);
  WriteInt(h, int32_t(image.Format));
  h.Stream().WriteExact(image.bits(), image.Size);
}

bool ReadRecord(TIOHandle& h, TImageData& image) {
  const int32_t w = ReadInt(h), h2 = ReadInt(h), f = ReadInt(h);
  if (w <= 0 || h2 <= 0 || w > 4096 || h2 > 4096 || !GetFormatDescriptor(F(f))) return false;
  if (!ImageCreate(w, h2, F(f), image)) return false;
  h.Stream().ReadExact(image.bits(), image.Size, "pixels");
  return true;
}

// "PXRAW1", a marker taken from an option, one record. Writes A8R8G8B8 and Gray8 and
// converts everything else to A8R8G8B8.
class TTestRawFormat : public TImageFileFormat {
 public:
  std::atomic<int32_t> Marker{42};
  TTestRawFormat() {
    Name = "Pixolan Test Raw";
    CanRead = CanWrite = true;
    WritableFormatSet.set(size_t(F::A8R8G8B8)).set(size_t(F::Gray8));
    AddMasks("*.pxr,*.pxraw");
    BindOption(kRawMarkerOption, Marker);
  }
  bool TestContent(TIOHandle& h) override { return HasMagic(h, "PXRAW1"); }
  bool ReadImages(TIOHandle& h, TDynImageDataArray& images, bool) override {
    char magic[6];
    h.Stream().ReadExact(magic, 6, "the magic");
    ReadInt(h);  // marker
    TImageData image;
    if (!ReadRecord(h, image)) return false;
    images.push_back(std::move(image));
    return true;
  }
  bool WriteImages(TIOHandle& h, TImageSpan images, const TSaveSelection& s) override {
    const TWritableImage image = MakeWritableCopy(images[size_t(s.SaveFirst)]);
    if (!image) return false;
    h.Stream().WriteExact("PXRAW1", 6);
    WriteInt(h, Marker.load());
    WriteRecord(h, image.Image());
    return true;
  }
  void ConvertForWriting(TImageData& image, const TFormatDescriptor&) const override {
    ImageConvert(image, F::A8R8G8B8);
  }
};

// "PXSTK1", a count, then the records: a multi-image format.
class TTestStackFormat : public TImageFileFormat {
 public:
  TTestStackFormat() {
    Name = "Pixolan Test Stack";
    CanRead = CanWrite = MultiImage = true;
    WritableFormatSet.set(size_t(F::A8R8G8B8));
    AddMasks("*.pxs");
  }
  bool TestContent(TIOHandle& h) override { return HasMagic(h, "PXSTK1"); }
  bool ReadImages(TIOHandle& h, TDynImageDataArray& images, bool onlyFirst) override {
    char magic[6];
    h.Stream().ReadExact(magic, 6, "the magic");
    const int32_t count = ReadInt(h);
    for (int32_t i = 0; i < count && !(onlyFirst && i == 1); ++i) {
      TImageData image;
      if (!ReadRecord(h, image)) return false;
      images.push_back(std::move(image));
    }
    return true;
  }
  bool WriteImages(TIOHandle& h, TImageSpan images, const TSaveSelection& s) override {
    h.Stream().WriteExact("PXSTK1", 6);
    WriteInt(h, s.SaveLast - s.SaveFirst + 1);
    for (int32_t i = s.SaveFirst; i <= s.SaveLast; ++i) {
      const TWritableImage image = MakeWritableCopy(images[size_t(i)]);
      if (!image) return false;
      WriteRecord(h, image.Image());
    }
    return true;
  }
};

// Accepts anything that starts with "PX" and implements neither reading nor writing: the
// weak probe of detection tests and the base class's refusals.
class TTestProbeFormat : public TImageFileFormat {
 public:
  TTestProbeFormat() {
    Name = "Pixolan Test Probe";
    CanRead = CanWrite = true;
    WritableFormatSet.set(size_t(F::A8R8G8B8));
    AddMasks("*.pxw");
  }
  bool TestContent(TIOHandle& h) override {
    char buf[2] = {};
    const int64_t n = h.Read(buf, 2);
    h.Seek(-n, TSeekOrigin::Current);
    return n == 2 && buf[0] == 'P' && buf[1] == 'X';
  }
};

// Never registered: the base class as it is.
class TTestBareFormat : public TImageFileFormat {
 public:
  explicit TTestBareFormat(std::string_view masks = "") { AddMasks(masks); }
  bool BindForTest(int32_t id, std::atomic<int32_t>& field) { return BindOption(id, field); }
};

// Writes part of its output, then fails by exception or by result.
class TTestFailingFormat : public TImageFileFormat {
 public:
  explicit TTestFailingFormat(bool throws) : throws_(throws) {
    Name = "Pixolan Test Failing";
    CanWrite = true;
    WritableFormatSet.set(size_t(F::A8R8G8B8));
    AddMasks("*.pxf");
  }
  bool WriteImages(TIOHandle& h, TImageSpan, const TSaveSelection&) override {
    const std::vector<uint8_t> junk(40000, 0xAB);  // more than one buffer's worth
    h.Stream().WriteExact(junk.data(), int64_t(junk.size()));
    if (throws_) throw EImagingError("disk on fire");
    return false;
  }

 private:
  bool throws_;
};

// Registered once, in this order, for every test of this file.
void RegisterTestFormats() {
  RegisterFileFormat<TTestRawFormat>();
  RegisterFileFormat<TTestStackFormat>();
  RegisterFileFormat<TTestProbeFormat>();
}

// ---- Helpers ------------------------------------------------------------------------

TImageData MakeImage(int32_t w, int32_t h, F format, int seed) {
  TImageData image;
  EXPECT_TRUE(ImageCreate(w, h, format, image));
  for (int32_t i = 0; i < image.Size; ++i) image.bits()[i] = uint8_t(i * 7 + seed);
  return image;
}

bool SameImage(const TImageData& a, const TImageData& b) {
  return a.Width == b.Width && a.Height == b.Height && a.Format == b.Format && a.Size == b.Size &&
         std::memcmp(a.bits(), b.bits(), size_t(a.Size)) == 0;
}

std::string RawFileBytes(const TImageData& image) {
  TMemoryStream stream;
  EXPECT_TRUE(
      FindFileFormatByClass<TTestRawFormat>()->SaveStream(stream, TImageSpan(&image, 1), true));
  return std::string(stream.Data().begin(), stream.Data().end());
}

std::string PointerText(const void* p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016" PRIXPTR, reinterpret_cast<uintptr_t>(p));
  return buf;
}

// Pushes the option values so that a test may change them freely.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTestFormats();
    ASSERT_TRUE(EnginePushOptions());
  }
  void TearDown() override { EXPECT_TRUE(EnginePopOptions()); }
};

// ---- Masks and lookup ---------------------------------------------------------------

TEST(FileNameMask, MatchesLikeTheShellIgnoringCase) {
  const struct {
    const char* name;
    const char* mask;
    bool matches;
  } cases[] = {
      {"photo.JPG", "*.jpg", true},
      {"photo.jpg", "*.JPG", true},
      {"/data/dir.jpg/photo.png", "*.jpg", false},  // only the file-name part counts
      {"/data/dir.png/photo.jpg", "*.jpg", true},
      {"a.jpeg", "*.jpg", false},
      {"a.jp", "*.jp?", true},  // '?' left over after the name still matches
      {"a.jpgx", "*.jp?", false},
      {"abc", "a?c", true},
      {"ac", "a?c", false},
      {"a", "a**??", true},
      {"readme", "*.*", false},
      {"x.tar.gz", "*.gz", true},
      {"anything at all", "", true},
      {"", "*", true},
      {"", "?", true},
      {"", "a", false},
      {"\xc3\xb1.PNG", "*.png", true},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " ~ " + c.mask);
    EXPECT_EQ(MatchesFileNameMask(c.name, c.mask), c.matches);
  }
}

TEST(HandlerConstruction, MasksAreTrimmedAndGiveExtensions) {
  const TTestBareFormat format(" *.jpg , *.jpeg,*.*, noext,*., x.tar.gz,,");
  EXPECT_EQ(format.Masks,
            (std::vector<std::string>{"*.jpg", "*.jpeg", "*.*", "noext", "*.", "x.tar.gz"}));
  EXPECT_EQ(format.Extensions, (std::vector<std::string>{"jpg", "jpeg", "gz"}));
  EXPECT_EQ(format.MainExtension(), "jpg");
  EXPECT_EQ(format.Name, "Unknown and unsupported format");
  EXPECT_FALSE(format.CanRead || format.CanWrite || format.MultiImage);
}

TEST_F(RegistryTest, RegistrationKeepsOneInstancePerClassInCallOrder) {
  const std::vector<TImageFileFormat*> before = FileFormats();
  TTestRawFormat* raw = FindFileFormatByClass<TTestRawFormat>();
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(RegisterFileFormat<TTestRawFormat>(), raw);
  EXPECT_EQ(FileFormats(), before);
  EXPECT_EQ(FindFileFormatByClass<TTestBareFormat>(), nullptr);

  const auto at = [&](TImageFileFormat* f) { return std::find(before.begin(), before.end(), f); };
  EXPECT_LT(at(raw), at(FindFileFormatByClass<TTestStackFormat>()));
  EXPECT_LT(at(FindFileFormatByClass<TTestStackFormat>()),
            at(FindFileFormatByClass<TTestProbeFormat>()));
  EXPECT_NE(at(FindFileFormatByClass<TTestProbeFormat>()), before.end());

  EXPECT_EQ(RegisterFileFormat<TTestRawFormat>(), raw);
}

TEST_F(RegistryTest, FindsHandlersByExtensionAndFileName) {
  TImageFileFormat* raw = FindFileFormatByClass<TTestRawFormat>();
  TImageFileFormat* stack = FindFileFormatByClass<TTestStackFormat>();
  const struct {
    const char* text;
    TImageFileFormat* byExt;
    TImageFileFormat* byName;
  } cases[] = {
      {"pxr", raw, nullptr},       {"PXRAW", raw, nullptr},
      {".pxr", raw, raw},  // also a file called ".pxr"
      {"pxs", stack, nullptr},     {"xyz", nullptr, nullptr},
      {"", nullptr, nullptr},      {"/tmp/some.dir/PHOTO.PXR", nullptr, raw},
      {"b.pxraw", nullptr, raw},   {"a.pxs", nullptr, stack},
      {"a.xyz", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FindFileFormatByExt(c.text), c.byExt);
    EXPECT_EQ(FindFileFormatByFileName(c.text), c.byName);
  }
}

// ---- Detection ----------------------------------------------------------------------

TEST_F(RegistryTest, DetectionPrefersHandlersNamedByTheFileThenAsksAll) {
  TTempFolder dir;
  const std::string raw = RawFileBytes(MakeImage(3, 2, F::A8R8G8B8, 1));
  const struct {
    const char* name;
    std::string content;
    const char* detected;
  } cases[] = {
      // The probe handler comes later in the registry but its mask names the file.
      {"a.pxw", raw, "pxw"},
      // The name's handler rejects the content; the second pass finds the raw handler.
      {"a.pxs", raw, "pxr"},
      // An extension nobody lists: content decides.
      {"a.dat", raw, "pxr"},
      {"a.dat", "PXzzz", "pxw"},
      {"a.pxr", "hello", ""},
      {"a.pxr", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " holding " + c.content.substr(0, 6));
    WriteFileText(dir.File(c.name), c.content);
    EXPECT_EQ(DetectFileFormat(dir.File(c.name)), FindFileFormatByExt(c.detected));
  }
  EXPECT_EQ(DetectFileFormat(dir.File("missing.pxr")), nullptr);
  EXPECT_EQ(DetectFileFormat(dir.File("")), nullptr);  // a folder
}

TEST_F(RegistryTest, StreamDetectionStartsAtThePositionAndLeavesIt) {
  const std::string raw = RawFileBytes(MakeImage(2, 2, F::Gray8, 3));
  const struct {
    std::string content;
    int64_t position;
    const char* detected;
  } cases[] = {
      {"abc" + raw, 3, "pxr"},
      {"abc" + raw, 0, ""},
      {"PXq", 0, "pxw"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    TMemoryStream stream(std::vector<uint8_t>(c.content.begin(), c.content.end()));
    stream.Seek(c.position, TSeekOrigin::Begin);
    EXPECT_EQ(DetectStreamFormat(stream), FindFileFormatByExt(c.detected));
    EXPECT_EQ(stream.Tell(), c.position);
  }
}

// ---- Loading ------------------------------------------------------------------------

TEST_F(RegistryTest, ImageLoadFileTakesTheDetectedHandler) {
  TTempFolder dir;
  const TImageData source = MakeImage(5, 4, F::A8R8G8B8, 9);
  WriteFileText(dir.File("misnamed.pxs"), RawFileBytes(source));
  TImageData image = MakeImage(1, 1, F::Gray8, 0);
  ASSERT_TRUE(ImageLoadFile(dir.File("misnamed.pxs"), image));
  EXPECT_TRUE(SameImage(image, source));

  // Nothing recognises the content: false and the image untouched.
  WriteFileText(dir.File("text.pxr"), "just text");
  EXPECT_FALSE(ImageLoadFile(dir.File("text.pxr"), image));
  EXPECT_TRUE(SameImage(image, source));
  EXPECT_FALSE(ImageLoadFile(dir.File("missing.pxr"), image));
}

TEST_F(RegistryTest, MultiImageLoadsAllOrOnlyTheFirst) {
  TTempFolder dir;
  TDynImageDataArray images;
  for (int i = 0; i < 3; ++i) images.push_back(MakeImage(2 + i, 2, F::A8R8G8B8, i));
  auto* stack = FindFileFormatByClass<TTestStackFormat>();
  const std::string name = dir.File("three.pxs");
  ASSERT_TRUE(stack->SaveFile(name, images, false));

  TDynImageDataArray loaded;
  loaded.push_back(MakeImage(1, 1, F::Gray8, 0));  // emptied by the load
  ASSERT_TRUE(stack->LoadFile(name, loaded, false));
  ASSERT_EQ(loaded.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(SameImage(loaded[size_t(i)], images[size_t(i)]));

  ASSERT_TRUE(stack->LoadFile(name, loaded, true));
  ASSERT_EQ(loaded.size(), 1u);
  TImageData first;
  ASSERT_TRUE(ImageLoadFile(name, first));
  EXPECT_TRUE(SameImage(first, images[0]));
}

TEST_F(RegistryTest, LoadFailuresAreWrappedWithTheirCause) {
  TTempFolder dir;
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  auto* probe = FindFileFormatByClass<TTestProbeFormat>();
  WriteFileText(dir.File("text.pxr"), "just text");
  WriteFileText(dir.File("probe.pxw"), "PX and more");
  WriteFileText(dir.File("short.pxr"), RawFileBytes(MakeImage(4, 4, F::A8R8G8B8, 1)).substr(0, 30));
  const struct {
    TImageFileFormat* format;
    std::string file;
    std::string message;
  } cases[] = {
      {raw, dir.File("text.pxr"),
       "Error while loading images from file \"" + dir.File("text.pxr") +
           "\" (file format: pxr). Exception Message: File \"" + dir.File("text.pxr") +
           "\" is not valid image in \"Pixolan Test Raw\" format."},
      {probe, dir.File("probe.pxw"),
       "Error while loading images from file \"" + dir.File("probe.pxw") +
           "\" (file format: pxw). Exception Message: Image Format \"Pixolan Test Probe\" does "
           "not support loading images."},
      {raw, dir.File("short.pxr"),
       "Error while loading images from file \"" + dir.File("short.pxr") +
           "\" (file format: pxr). Exception Message: Unexpected end of data while reading "
           "pixels (8 of 64 bytes)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TDynImageDataArray images;
    try {
      c.format->LoadFile(c.file, images, true);
      ADD_FAILURE() << "loaded";
    } catch (const EImagingError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_TRUE(images.empty());
  }
  // A missing file fails while opening, with the system's reason appended.
  TDynImageDataArray images;
  try {
    raw->LoadFile(dir.File("missing.pxr"), images, true);
    ADD_FAILURE();
  } catch (const EImagingError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("Error while loading images from file \"" +
                                                  dir.File("missing.pxr") +
                                                  "\" (file format: pxr). Exception Message: "))
        << e.what();
  }
}

TEST_F(RegistryTest, StreamLoadFailureRestoresThePosition) {
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  const std::string bytes = "xy" + RawFileBytes(MakeImage(2, 2, F::A8R8G8B8, 1));
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  stream.Seek(1, TSeekOrigin::Begin);
  TDynImageDataArray images;
  try {
    raw->LoadStream(stream, images, true);
    ADD_FAILURE();
  } catch (const EImagingError& e) {
    const std::string p = PointerText(&stream);
    EXPECT_EQ(std::string(e.what()),
              "Error while loading images from stream " + p +
                  " (file format: pxr). Exception Message: Stream " + p +
                  " does not contain valid image in \"Pixolan Test Raw\" format.");
  }
  EXPECT_EQ(stream.Tell(), 1);
  stream.Seek(2, TSeekOrigin::Begin);
  ASSERT_TRUE(raw->LoadStream(stream, images, true));
  EXPECT_EQ(stream.Tell(), stream.Size());

  // At the end of the stream there is nothing to load.
  TImageData image;
  try {
    ImageLoadStream(stream, image);
    ADD_FAILURE();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Input stream has no data. Check Position property.");
  }
}

TEST_F(RegistryTest, LoadOverrideFormatConvertsEveryLoadedImage) {
  const TImageData source = MakeImage(3, 3, F::A8R8G8B8, 5);
  const std::string bytes = RawFileBytes(source);
  ASSERT_TRUE(EngineSetOption(kOptionLoadOverrideFormat, int32_t(F::R8G8B8)));
  TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  TImageData image;
  ASSERT_TRUE(ImageLoadStream(stream, image));
  EXPECT_EQ(image.Format, F::R8G8B8);
  EXPECT_EQ(image.Size, 27);
  TImageData expected;
  ImageClone(source, expected);
  ImageConvert(expected, F::R8G8B8);
  EXPECT_TRUE(SameImage(image, expected));
}

// ---- Saving -------------------------------------------------------------------------

TEST_F(RegistryTest, SaveFileWritesSeriesForSingleImageHandlers) {
  TDynImageDataArray images;
  for (int i = 0; i < 3; ++i) images.push_back(MakeImage(1 + i, 2, F::A8R8G8B8, 10 * i));
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  auto* stack = FindFileFormatByClass<TTestStackFormat>();
  const struct {
    TImageFileFormat* format;
    bool onlyFirst;
    std::vector<std::string> files;
  } cases[] = {
      {raw, false, {"out000.pxr", "out001.pxr", "out002.pxr"}},
      {raw, true, {"out.pxr"}},
      {stack, false, {"out.pxr"}},  // a multi-image handler keeps the name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format->Name + (c.onlyFirst ? " only first" : ""));
    TTempFolder dir;
    ASSERT_TRUE(c.format->SaveFile(dir.File("out.pxr"), images, c.onlyFirst));
    EXPECT_EQ(dir.Entries(), c.files);
    if (c.format == raw) {
      for (size_t i = 0; i < c.files.size(); ++i) {
        TImageData image;
        ASSERT_TRUE(ImageLoadFile(dir.File(c.files[i]), image));
        EXPECT_TRUE(SameImage(image, images[i]));
      }
    }
  }
}

TEST(SeriesFileName, NumbersBeforeTheExtension) {
  const struct {
    const char* name;
    int32_t index;
    const char* result;
  } cases[] = {
      {"dir/out.png", 0, "dir/out000.png"},
      {"out.png", 12, "out012.png"},
      {"out", 1, "out001"},
      {"a.b/c.d.png", 1000, "a.b/c.d1000.png"},
  };
  for (const auto& c : cases) EXPECT_EQ(SeriesFileName(c.name, c.index), c.result);
}

TEST_F(RegistryTest, SaveStreamWritesASeriesIntoOneStream) {
  TDynImageDataArray images;
  for (int i = 0; i < 3; ++i) images.push_back(MakeImage(2, 1 + i, F::Gray8, i));
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  TMemoryStream stream;
  ASSERT_TRUE(raw->SaveStream(stream, images, false));
  stream.Seek(0, TSeekOrigin::Begin);
  for (int i = 0; i < 3; ++i) {
    TImageData image;
    ASSERT_TRUE(ImageLoadStream(stream, image));
    EXPECT_TRUE(SameImage(image, images[size_t(i)]));
  }
  EXPECT_TRUE(stream.Eof());
}

TEST_F(RegistryTest, SavesThatCannotHappenReturnFalse) {
  TTempFolder dir;
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  TDynImageDataArray invalid;
  invalid.push_back(MakeImage(2, 2, F::A8R8G8B8, 0));
  invalid.emplace_back();         // all zero: invalid
  TTestBareFormat bare("*.pxb");  // cannot write
  const TImageData image = MakeImage(2, 2, F::A8R8G8B8, 0);
  EXPECT_FALSE(raw->SaveFile(dir.File("x.pxr"), invalid, false));
  EXPECT_FALSE(raw->SaveFile(dir.File("x.pxr"), invalid, true));
  EXPECT_FALSE(raw->SaveFile(dir.File("x.pxr"), TImageSpan(), false));
  EXPECT_FALSE(bare.SaveFile(dir.File("x.pxb"), TImageSpan(&image, 1), true));
  EXPECT_TRUE(dir.Entries().empty());

  TMemoryStream stream;
  EXPECT_FALSE(ImageSaveStream("xyz", stream, image));
  EXPECT_TRUE(ImageSaveStream("PXR", stream, image));
  EXPECT_GT(stream.Size(), 0);
}

TEST_F(RegistryTest, UnsupportedSaveRaisesUnwrapped) {
  TTempFolder dir;
  auto* probe = FindFileFormatByClass<TTestProbeFormat>();
  const TImageData image = MakeImage(2, 2, F::A8R8G8B8, 0);
  try {
    probe->SaveFile(dir.File("x.pxw"), TImageSpan(&image, 1), true);
    ADD_FAILURE();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(), "Image Format \"Pixolan Test Probe\" does not support saving images.");
  }
  EXPECT_TRUE(dir.Entries().empty());
}

// A failed save leaves the old target exactly as it was and no temporary file behind.
TEST_F(RegistryTest, FailedSaveKeepsTheOldTarget) {
  const TImageData image = MakeImage(2, 2, F::A8R8G8B8, 0);
  for (bool throws : {true, false}) {
    SCOPED_TRACE(throws ? "writer throws" : "writer returns false");
    TTempFolder dir;
    const std::string target = dir.File("keep.pxf");
    WriteFileText(target, "old content");
    TTestFailingFormat failing(throws);
    if (throws) {
      try {
        failing.SaveFile(target, TImageSpan(&image, 1), true);
        ADD_FAILURE();
      } catch (const EImagingError& e) {
        EXPECT_STREQ(e.what(), "disk on fire");
      }
    } else {
      EXPECT_FALSE(failing.SaveFile(target, TImageSpan(&image, 1), true));
    }
    EXPECT_EQ(ReadFileText(target), "old content");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.pxf"});
  }
}

TEST_F(RegistryTest, SuccessfulSaveReplacesTheTargetAndKeepsItsPermissions) {
  TTempFolder dir;
  const std::string target = dir.File("private.pxr");
  WriteFileText(target, "old content");
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  const TImageData image = MakeImage(4, 3, F::A8R8G8B8, 2);
  ASSERT_TRUE(
      FindFileFormatByClass<TTestRawFormat>()->SaveFile(target, TImageSpan(&image, 1), true));
  EXPECT_EQ(ReadFileText(target), RawFileBytes(image));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"private.pxr"});

  // A folder as target, or a folder that does not exist, is an error, not a crash.
  fs::create_directory(dir.File("folder.pxr"));
  EXPECT_THROW(FindFileFormatByClass<TTestRawFormat>()->SaveFile(dir.File("folder.pxr"),
                                                                 TImageSpan(&image, 1), true),
               EImagingError);
  EXPECT_THROW(FindFileFormatByClass<TTestRawFormat>()->SaveFile(dir.File("none/x.pxr"),
                                                                 TImageSpan(&image, 1), true),
               EImagingError);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.pxr", "private.pxr"}));
}

// A link planted at the target must not send the result into the file it points to; a
// save told to refuse existing files leaves them byte for byte and says why.
TEST_F(RegistryTest, SaveReplacesALinkAndCanRefuseAnExistingFile) {
  TTempFolder dir;
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  const TImageData image = MakeImage(4, 3, F::A8R8G8B8, 5);
  const std::string pointee = dir.File("elsewhere.pxr");
  WriteFileText(pointee, "precious content");
  const std::string link = dir.File("link.pxr");
  fs::create_symlink(pointee, link);
  ASSERT_TRUE(raw->SaveFile(link, TImageSpan(&image, 1), true));
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_EQ(ReadFileText(link), RawFileBytes(image));
  EXPECT_EQ(ReadFileText(pointee), "precious content");

  const std::string existing = dir.File("existing.pxr");
  WriteFileText(existing, "old content");
  for (const bool sync : {false, true}) {
    try {
      raw->SaveFile(existing, TImageSpan(&image, 1), true, {.RefuseExisting = true, .Sync = sync});
      ADD_FAILURE() << "saved over an existing file";
    } catch (const EFileExistsError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot write file \"" + existing + "\": it exists already.");
    }
  }
  EXPECT_EQ(ReadFileText(existing), "old content");
  ASSERT_TRUE(raw->SaveFile(dir.File("new.pxr"), TImageSpan(&image, 1), true,
                            {.RefuseExisting = true, .Sync = true}));
  EXPECT_EQ(ReadFileText(dir.File("new.pxr")), RawFileBytes(image));
  EXPECT_EQ(dir.Entries(),
            (std::vector<std::string>{"elsewhere.pxr", "existing.pxr", "link.pxr", "new.pxr"}));
}

TEST_F(RegistryTest, MakeWritableCopyFollowsOption130AndTheWritableSet) {
  auto* raw = FindFileFormatByClass<TTestRawFormat>();
  const struct {
    F source;
    F option130;
    bool copy;
    F result;
  } cases[] = {
      {F::A8R8G8B8, F::Unknown, false, F::A8R8G8B8},  // written as it is
      {F::Gray8, F::Unknown, false, F::Gray8},
      {F::R8G8B8, F::Unknown, true, F::A8R8G8B8},   // the handler's conversion
      {F::A8R8G8B8, F::Gray8, true, F::Gray8},      // option 130, writable
      {F::A8R8G8B8, F::R8G8B8, true, F::A8R8G8B8},  // option 130, then the handler's
      {F::Gray8, F::A8R8G8B8, true, F::A8R8G8B8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatName(c.source) + " with 130 = " + FormatName(c.option130));
    ASSERT_TRUE(EngineSetOption(kOptionSaveOverrideFormat, int32_t(c.option130)));
    const TImageData image = MakeImage(3, 2, c.source, 4);
    const TWritableImage writable = raw->MakeWritableCopy(image);
    ASSERT_TRUE(writable);
    EXPECT_EQ(writable.IsCopy(), c.copy);
    EXPECT_EQ(&writable.Image() == &image, !c.copy);
    EXPECT_EQ(writable.Image().Format, c.result);
    EXPECT_EQ(writable.Image().Width, 3);
    EXPECT_TRUE(SameImage(image, MakeImage(3, 2, c.source, 4)));  // source untouched
  }
  EngineSetOption(kOptionSaveOverrideFormat, 0);
  EXPECT_FALSE(raw->MakeWritableCopy(TImageData()));
  // A handler whose conversion does not reach a writable format gets nothing to write.
  const TTestBareFormat bare;
  EXPECT_FALSE(bare.MakeWritableCopy(MakeImage(2, 2, F::R8G8B8, 0)));
}

TEST_F(RegistryTest, Option130ChangesWhatIsSaved) {
  ASSERT_TRUE(EngineSetOption(kOptionSaveOverrideFormat, int32_t(F::Gray8)));
  const TImageData image = MakeImage(2, 2, F::A8R8G8B8, 1);
  TMemoryStream stream;
  ASSERT_TRUE(ImageSaveStream("pxr", stream, image));
  ASSERT_TRUE(EngineSetOption(kOptionSaveOverrideFormat, 0));
  stream.Seek(0, TSeekOrigin::Begin);
  TImageData loaded;
  ASSERT_TRUE(ImageLoadStream(stream, loaded));
  EXPECT_EQ(loaded.Format, F::Gray8);
}

TEST(HandlerBase, DefaultsAndOptionBindings) {
  TTestBareFormat bare("*.pxb");
  TImageData odd;
  odd.Format = F(240);  // beyond any format set
  EXPECT_FALSE(bare.CanWriteFormat(odd));
  odd.Format = F(-3);
  EXPECT_FALSE(bare.CanWriteFormat(odd));
  TMemoryStream stream(std::vector<uint8_t>{1, 2, 3});
  TIOHandle handle = TStreamIO::OpenRead(stream);
  EXPECT_FALSE(bare.TestContent(handle));
  TDynImageDataArray images;
  EXPECT_FALSE(bare.LoadStream(stream, images, false));  // CanRead is false
  try {
    bare.ReadImages(handle, images, false);
    ADD_FAILURE();
  } catch (const EImagingError& e) {
    EXPECT_STREQ(e.what(),
                 "Image Format \"Unknown and unsupported format\" does not support loading "
                 "images.");
  }

  // The registered raw handler owns its option; a second instance cannot take it, and
  // destroying that instance leaves the binding alone.
  RegisterTestFormats();
  EXPECT_EQ(EngineGetOption(kRawMarkerOption),
            FindFileFormatByClass<TTestRawFormat>()->Marker.load());
  { const TTestRawFormat second; }
  EXPECT_NE(EngineGetOption(kRawMarkerOption), OptionInvalid);

  std::atomic<int32_t> field{5};
  {
    TTestBareFormat local;
    ASSERT_TRUE(local.BindForTest(kLocalOption, field));
    EXPECT_FALSE(local.BindForTest(kLocalOption, field));
    EXPECT_EQ(EngineGetOption(kLocalOption), 5);
  }
  EXPECT_EQ(EngineGetOption(kLocalOption), OptionInvalid);
}

}  // namespace
}  // namespace pixolan::imaging
