// Test support: independent readers and writers (ImageMagick, netpbm) run as programs, the
// conformance corpus and a small PNM/PAM reader for their output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/image/Imaging.h"
#include "imaging/io/FileFormat.h"
#include "support/Files.h"

namespace pixolan::test {

namespace fs = std::filesystem;

inline fs::path TestDataDir() {
  return fs::path(PIXOLAN_TESTDATA_DIR);
}

inline std::string Quote(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Whether a program is on the PATH. Tests that need one fail (not skip) without it: CI
// installs the oracles through scripts/install-deps.sh.
inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; true when it exited with status 0. Its stderr goes to `log`.
inline bool RunCommand(const std::string& command, const fs::path& log) {
  return std::system((command + " 2>" + Quote(log)).c_str()) == 0;
}

// Pixels of a PNM (P5, P6) or PAM (P7) file with samples of at most 8 bits, as B, G, R, A.
struct TRgbaPixels {
  int32_t Width = 0;
  int32_t Height = 0;
  bool HasAlpha = false;
  std::vector<imaging::TPixel32> Pixels;
};

inline bool ReadNetpbm(const fs::path& path, TRgbaPixels& out, std::string& error) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  size_t pos = 0;
  const auto token = [&]() {
    std::string t;
    while (pos < bytes.size()) {
      const char c = char(bytes[pos]);
      if (c == '#') {
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++pos;
        if (!t.empty()) return t;
      } else {
        t += c;
        ++pos;
      }
    }
    return t;
  };
  const std::string magic = token();
  int64_t width = 0, height = 0, depth = 0, maxval = 0;
  if (magic == "P7") {
    for (std::string t = token(); t != "ENDHDR" && !t.empty(); t = token()) {
      if (t == "WIDTH")
        width = std::stoll(token());
      else if (t == "HEIGHT")
        height = std::stoll(token());
      else if (t == "DEPTH")
        depth = std::stoll(token());
      else if (t == "MAXVAL")
        maxval = std::stoll(token());
      else if (t == "TUPLTYPE")
        token();
    }
  } else if (magic == "P5" || magic == "P6") {
    width = std::stoll(token());
    height = std::stoll(token());
    maxval = std::stoll(token());
    depth = magic == "P5" ? 1 : 3;
  } else {
    error = "not a binary PNM/PAM file: " + path.string();
    return false;
  }
  if (maxval < 1 || maxval > 255 || depth < 1 || depth > 4 || width <= 0 || height <= 0) {
    error = "unexpected PNM/PAM layout in " + path.string();
    return false;
  }
  const size_t count = size_t(width * height);
  if (bytes.size() - pos < count * size_t(depth)) {
    error = "short PNM/PAM data in " + path.string();
    return false;
  }
  out.Width = int32_t(width);
  out.Height = int32_t(height);
  out.HasAlpha = depth == 2 || depth == 4;
  out.Pixels.resize(count);
  // Samples of a smaller maxval are scaled to 8 bits, rounded.
  const auto sample = [&](uint8_t v) { return uint8_t((v * 255 + maxval / 2) / maxval); };
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* s = bytes.data() + pos + i * size_t(depth);
    imaging::TPixel32& p = out.Pixels[i];
    if (depth <= 2)
      p = {sample(s[0]), sample(s[0]), sample(s[0]), uint8_t(depth == 2 ? sample(s[1]) : 255)};
    else
      p = {sample(s[2]), sample(s[1]), sample(s[0]), uint8_t(depth == 4 ? sample(s[3]) : 255)};
  }
  return true;
}

// Any image file as ImageMagick reads it: converted into a PAM in `dir` and read back.
inline bool ReadWithImageMagick(const fs::path& file, const fs::path& dir, TRgbaPixels& out,
                                std::string& error) {
  const fs::path pam = dir / (file.filename().string() + ".pam");
  if (!RunCommand("convert " + Quote(file) + " -depth 8 " + Quote("pam:" + pam.string()),
                  dir / "convert.log")) {
    error = "convert failed on " + file.string();
    return false;
  }
  return ReadNetpbm(pam, out, error);
}

// The first image of a file as ImageMagick reads it, with 16 bits a sample (B, G, R, A),
// so that 16-bit files compare exactly and 8-bit ones as v * 257.
struct TRgba64Pixels {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<imaging::TPixel64> Pixels;
};

inline bool ReadWithImageMagick16(const fs::path& file, const fs::path& dir, TRgba64Pixels& out,
                                  std::string& error) {
  const fs::path raw = dir / (file.filename().string() + ".rgba");
  const fs::path size = dir / (file.filename().string() + ".size");
  const std::string first = Quote(file.string() + "[0]");
  if (!RunCommand("convert " + first + " -depth 16 " + Quote("rgba:" + raw.string()),
                  dir / "convert.log") ||
      !RunCommand("identify -format '%w %h' " + first + " >" + Quote(size), dir / "identify.log")) {
    error = "ImageMagick failed on " + file.string();
    return false;
  }
  std::ifstream dims(size);
  dims >> out.Width >> out.Height;
  const std::vector<uint8_t> bytes = ReadFileBytes(raw);
  const size_t count = size_t(out.Width) * size_t(out.Height);
  if (out.Width <= 0 || bytes.size() != count * 8) {
    error = "unexpected ImageMagick output for " + file.string();
    return false;
  }
  out.Pixels.resize(count);
  // Samples come R, G, B, A, each little-endian on this machine's build of ImageMagick.
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* s = bytes.data() + 8 * i;
    const auto sample = [&](int c) { return uint16_t(s[2 * c] | s[2 * c + 1] << 8); };
    out.Pixels[i] = {sample(2), sample(1), sample(0), sample(3)};
  }
  return true;
}

// A PAM file (P7, any MAXVAL up to 65535, DEPTH 1..4) with samples scaled to 16 bits.
inline bool ReadPam16(const fs::path& path, TRgba64Pixels& out, std::string& error) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  const size_t end = text.find("ENDHDR\n");
  if (text.rfind("P7\n", 0) != 0 || end == std::string::npos) {
    error = "not a PAM file: " + path.string();
    return false;
  }
  std::istringstream header(text.substr(3, end - 3));
  int64_t depth = 0, maxval = 0;
  for (std::string key; header >> key;) {
    if (key == "WIDTH")
      header >> out.Width;
    else if (key == "HEIGHT")
      header >> out.Height;
    else if (key == "DEPTH")
      header >> depth;
    else if (key == "MAXVAL")
      header >> maxval;
    else
      std::getline(header, key);
  }
  const size_t sampleBytes = maxval > 255 ? 2 : 1;
  const size_t count = size_t(out.Width) * size_t(out.Height);
  const size_t pos = end + 7;
  if (depth < 1 || depth > 4 || maxval < 1 || maxval > 65535 ||
      bytes.size() - pos < count * size_t(depth) * sampleBytes) {
    error = "unexpected PAM layout in " + path.string();
    return false;
  }
  out.Pixels.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* s = bytes.data() + pos + i * size_t(depth) * sampleBytes;
    const auto sample = [&](int64_t c) {
      const uint32_t v = sampleBytes == 2 ? uint32_t(s[2 * c] << 8 | s[2 * c + 1]) : s[c];
      return uint16_t(v * 65535 / uint32_t(maxval));
    };
    imaging::TPixel64& p = out.Pixels[i];
    if (depth <= 2)
      p = {sample(0), sample(0), sample(0), depth == 2 ? sample(1) : uint16_t(65535)};
    else
      p = {sample(2), sample(1), sample(0), depth == 4 ? sample(3) : uint16_t(65535)};
  }
  return true;
}

// A PNG file as netpbm's pngtopam reads it: exact samples, transparency as alpha, no gamma
// correction (ImageMagick applies gAMA, so it is no exact oracle for PNG samples).
inline bool ReadWithPngtopam(const fs::path& file, const fs::path& dir, TRgba64Pixels& out,
                             std::string& error) {
  const fs::path pam = dir / (file.filename().string() + ".pam");
  if (!RunCommand("pngtopam -alphapam " + Quote(file) + " >" + Quote(pam), dir / "pngtopam.log")) {
    error = "pngtopam failed on " + file.string();
    return false;
  }
  return ReadPam16(pam, out, error);
}

// The engine image with 16 bits a sample (converted to A16R16G16B16 on a clone).
inline TRgba64Pixels Pixels64Of(const imaging::TImageData& image) {
  imaging::TImageData clone;
  imaging::ImageClone(image, clone);
  imaging::ImageConvert(clone, imaging::TImageFormatId::A16R16G16B16);
  TRgba64Pixels out;
  out.Width = clone.Width;
  out.Height = clone.Height;
  out.Pixels.resize(size_t(clone.Width) * size_t(clone.Height));
  std::memcpy(out.Pixels.data(), clone.bits(), out.Pixels.size() * 8);
  return out;
}

// Where two 16-bit pictures differ beyond `tolerance` on a channel (colors only where one
// of them is visible); empty when they agree.
inline std::string Difference64(const TRgba64Pixels& ours, const TRgba64Pixels& theirs,
                                int tolerance) {
  if (ours.Width != theirs.Width || ours.Height != theirs.Height)
    return "size " + std::to_string(ours.Width) + "x" + std::to_string(ours.Height) + " vs " +
           std::to_string(theirs.Width) + "x" + std::to_string(theirs.Height);
  for (size_t i = 0; i < ours.Pixels.size(); ++i) {
    const imaging::TPixel64 o = ours.Pixels[i], t = theirs.Pixels[i];
    for (int c = 3; c >= 0; --c) {
      if (c < 3 && o.A == 0 && t.A == 0) break;
      if (std::abs(int(o[c]) - int(t[c])) > tolerance) {
        std::ostringstream s;
        s << "pixel " << i << " channel " << c << ": ours " << o[c] << ", theirs " << t[c];
        return s.str();
      }
    }
  }
  return "";
}

// The engine image as B, G, R, A pixels (converted to A8R8G8B8 on a clone).
inline TRgbaPixels PixelsOf(const imaging::TImageData& image) {
  imaging::TImageData clone;
  imaging::ImageClone(image, clone);
  imaging::ImageConvert(clone, imaging::TImageFormatId::A8R8G8B8);
  TRgbaPixels out;
  out.Width = clone.Width;
  out.Height = clone.Height;
  out.HasAlpha = true;
  out.Pixels.assign(reinterpret_cast<const imaging::TPixel32*>(clone.bits()),
                    reinterpret_cast<const imaging::TPixel32*>(clone.bits()) +
                        size_t(clone.Width) * clone.Height);
  return out;
}

// How two pictures differ: pixels whose colors differ, whose alpha differs, and the
// largest difference of one color channel.
struct TPixelDiff {
  bool SizeDiffers = false;
  int64_t ColorPixels = 0;
  int64_t AlphaPixels = 0;
  int MaxColorDelta = 0;

  bool Same() const { return !SizeDiffers && ColorPixels == 0 && AlphaPixels == 0; }
  std::string Text() const {
    if (SizeDiffers) return "size differs";
    std::ostringstream s;
    s << ColorPixels << " color pixels (max delta " << MaxColorDelta << "), " << AlphaPixels
      << " alpha pixels";
    return s.str();
  }
};

// Compares colors only where both sides are visible: the color of a fully transparent
// pixel carries no information.
inline TPixelDiff ComparePixels(const TRgbaPixels& a, const TRgbaPixels& b) {
  TPixelDiff diff;
  if (a.Width != b.Width || a.Height != b.Height) {
    diff.SizeDiffers = true;
    return diff;
  }
  for (size_t i = 0; i < a.Pixels.size(); ++i) {
    const imaging::TPixel32 p = a.Pixels[i], q = b.Pixels[i];
    if (p.A != q.A) ++diff.AlphaPixels;
    if (p.A == 0 && q.A == 0) continue;
    int delta = 0;
    for (int c = 0; c < 3; ++c) delta = std::max(delta, std::abs(int(p[c]) - int(q[c])));
    if (delta > 0) ++diff.ColorPixels;
    diff.MaxColorDelta = std::max(diff.MaxColorDelta, delta);
  }
  return diff;
}

// Compares what another reader saw with the engine's image at the precision of the
// format's channels: a 5-bit channel is equal when the top 5 bits of both are, whatever
// scaling the other reader uses.
inline bool SameAtPrecision(const imaging::TImageData& image, const TRgbaPixels& theirs,
                            bool alphaToo, std::string& why) {
  const TRgbaPixels ours = PixelsOf(image);
  if (ours.Width != theirs.Width || ours.Height != theirs.Height) {
    why = "size differs";
    return false;
  }
  const imaging::TFormatDescriptor& d = *imaging::GetFormatDescriptor(image.Format);
  int bits[4] = {8, 8, 8, 8};  // blue, green, red, alpha
  if (d.UsesPackedLayout) {
    const imaging::TPackedLayout& l = *d.Layout;
    bits[0] = l.B.Bits, bits[1] = l.G.Bits, bits[2] = l.R.Bits, bits[3] = l.A.Bits;
  }
  for (size_t i = 0; i < ours.Pixels.size(); ++i) {
    const imaging::TPixel32 o = ours.Pixels[i], t = theirs.Pixels[i];
    for (int c = 0; c < 4; ++c) {
      if (c == 3 && !alphaToo) break;
      const int expected = c == 3 && !d.HasAlpha ? 255 : o[c];
      const int shift = c == 3 && !d.HasAlpha ? 0 : 8 - bits[c];
      if ((expected >> shift) != (t[c] >> shift)) {
        std::ostringstream s;
        s << "pixel " << i << " channel " << c << ": ours " << expected << ", theirs " << int(t[c]);
        why = s.str();
        return false;
      }
    }
  }
  return true;
}

// Corpus files whose expectation INVALID.tsv gives, by path relative to the corpus.
inline std::map<std::string, std::string> InvalidExpectations() {
  std::map<std::string, std::string> result;
  std::ifstream in(TestDataDir() / "INVALID.tsv");
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const size_t tab2 = line.find('\t', tab + 1);
    result[line.substr(0, tab)] = line.substr(tab + 1, tab2 - tab - 1);
  }
  return result;
}

// All files below a corpus folder with the extension (lower case, with dot), sorted.
inline std::vector<fs::path> CorpusFiles(const std::string& folder, const std::string& ext) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(TestDataDir() / folder))
    if (entry.is_regular_file() && entry.path().extension() == ext) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

inline std::string CorpusName(const fs::path& file) {
  return fs::relative(file, TestDataDir()).string();
}

// Loads every corpus file of a folder with one handler. A file either loads as one valid
// image or is refused with an EImagingError; files INVALID.tsv marks "reject" must be
// refused, and the refused ones must be exactly `expectedRefusals` (name -> why).
inline void ExpectCorpusLoadsOrIsRefused(
    imaging::TImageFileFormat& handler, const std::string& folder, const std::string& ext,
    size_t minimumFiles, const std::map<std::string, std::string>& expectedRefusals) {
  const std::map<std::string, std::string> invalid = InvalidExpectations();
  const std::vector<fs::path> files = CorpusFiles(folder, ext);
  ASSERT_GE(files.size(), minimumFiles);
  std::map<std::string, std::string> refused;
  for (const fs::path& file : files) {
    const std::string name = CorpusName(file);
    imaging::TDynImageDataArray images;
    try {
      const bool loaded = handler.LoadFile(file.string(), images, true);
      EXPECT_TRUE(loaded) << name << ": load returned false without an error";
      if (loaded) {
        ASSERT_EQ(images.size(), 1u) << name;
        EXPECT_TRUE(imaging::ImageIsValid(images[0])) << name;
      }
    } catch (const imaging::EImagingError& e) {
      refused[name] = e.what();
    }
    const auto expectation = invalid.find(name);
    if (expectation != invalid.end() && expectation->second == "reject") {
      EXPECT_TRUE(refused.count(name)) << name << " must be refused";
    }
  }
  for (const auto& [name, why] : expectedRefusals)
    EXPECT_TRUE(refused.count(name)) << name << " should be refused (" << why << ")";
  for (const auto& [name, message] : refused)
    EXPECT_TRUE(expectedRefusals.count(name)) << name << " was refused: " << message;
}

}  // namespace pixolan::test
