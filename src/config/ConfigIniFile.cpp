#include "config/ConfigIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/AtomicFileWriter.h"
#include "platform/FileStamp.h"
#include "platform/TextEncoding.h"
#include "platform/UniqueFd.h"

namespace pixolan::config {

namespace {

constexpr char16_t kReplacement = char16_t(platform::kReplacementCharacter);
// Larger files are not configurations; refusing them keeps a wrong path such as a disk
// image from being read into memory (and, as the file cannot be kept, from being written).
constexpr int64_t kMaxFileSize = int64_t(64) << 20;

// ---- Text encodings ------------------------------------------------------------------

using platform::IsHighSurrogate;
using platform::IsLowSurrogate;

std::u16string FromUtf8(std::string_view text) {
  return platform::Utf16FromUtf8(text);
}

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text) {
  return platform::Utf8FromUtf16(text);
}

// Returns the text of a file and whether writing it back as UTF-16LE with byte order mark
// reproduces the file byte for byte.
std::u16string DecodeFile(std::string_view bytes, bool& canonical) {
  const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  canonical = false;
  if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE) {
    canonical = bytes.size() % 2 == 0;
    return platform::Utf16FromBytes(bytes.substr(2), false);
  }
  if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF)
    return platform::Utf16FromBytes(bytes.substr(2), true);
  if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
    return FromUtf8(bytes.substr(3));
  // Text never holds NUL, so "x\0" at the start is UTF-16LE that lost its mark.
  if (bytes.size() >= 2 && byteAt(0) != 0 && byteAt(1) == 0)
    return platform::Utf16FromBytes(bytes, false);
  if (platform::IsValidUtf8(bytes)) return FromUtf8(bytes);
  return FromUtf8(platform::Utf8FromWindows1252(bytes));
}

// ---- Names ---------------------------------------------------------------------------

// Simple case folding of the Latin, Greek and Cyrillic letters of the BMP; enough for the
// names a person types in a configuration file.
char16_t FoldCase(char16_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
  if (c < 0x100) {
    if (c == 0xB5) return 0x3BC;
    return c >= 0xC0 && c <= 0xDE && c != 0xD7 ? char16_t(c + 32) : c;
  }
  if (c < 0x180) {
    if ((c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
      return char16_t(c | 1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
      return c & 1 ? char16_t(c + 1) : c;
    if (c == 0x178) return 0xFF;
    if (c == 0x17F) return 's';
    return c;
  }
  if (c >= 0x370 && c < 0x400) {
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return char16_t(c + 32);
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
    if (c == 0x3C2) return 0x3C3;
    return c;
  }
  if (c >= 0x400 && c < 0x500) {
    if (c <= 0x40F) return char16_t(c + 80);
    if (c <= 0x42F) return char16_t(c + 32);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x4FF))
      return char16_t(c | 1);
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return c & 1 ? char16_t(c + 1) : c;
    return c;
  }
  if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) return char16_t(c | 1);
  if (c == 0x1E9E) return 0xDF;
  if (c >= 0xFF21 && c <= 0xFF3A) return char16_t(c + 32);
  return c;
}

// The form in which names are compared: case folded, and with unpaired surrogates as
// U+FFFD so that a name read from the file can be used to address it.
std::u16string FoldName(std::u16string_view name) {
  std::u16string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (IsHighSurrogate(c) && i + 1 < out.size() && IsLowSurrogate(out[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      out[i] = kReplacement;
    } else {
      out[i] = FoldCase(c);
    }
  }
  return out;
}

// Blanks are all code points up to and including U+0020.
bool IsBlank(char16_t c) {
  return c <= 0x20;
}

std::u16string_view TrimBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool HasOuterBlank(std::string_view s) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  return !s.empty() && (blank(s.front()) || blank(s.back()));
}

void CheckSectionName(std::string_view section) {
  if (section.find_first_of("\r\n") != std::string_view::npos || HasOuterBlank(section))
    throw std::invalid_argument("Invalid configuration section name \"" + std::string(section) +
                                "\"");
}

void CheckKeyName(std::string_view key) {
  if (key.empty() || key.find_first_of("\r\n=") != std::string_view::npos || key.front() == '[' ||
      key.front() == ';' || HasOuterBlank(key))
    throw std::invalid_argument("Invalid configuration key name \"" + std::string(key) + "\"");
}

// ---- Lines ---------------------------------------------------------------------------

enum class TEol : uint8_t { None, Lf, CrLf, Cr };
enum class TLineKind : uint8_t { Other, Section, Entry };

struct TLine {
  std::u16string text;  // without its line break
  TEol eol = TEol::CrLf;
  TLineKind kind = TLineKind::Other;
  std::u16string name;    // folded section or key name
  size_t valueStart = 0;  // entries: the position after "="
};

void ParseLine(TLine& line) {
  const std::u16string_view text = line.text;
  line.kind = TLineKind::Other;
  line.name.clear();
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  if (start == text.size() || text[start] == u';') return;
  if (text[start] == u'[') {
    // The last "]" closes the name, so a name may itself hold "]".
    const size_t close = text.rfind(u']');
    if (close == std::u16string_view::npos || close < start) return;
    line.kind = TLineKind::Section;
    line.name = FoldName(TrimBlanks(text.substr(start + 1, close - start - 1)));
    return;
  }
  const size_t equals = text.find(u'=', start);
  if (equals == std::u16string_view::npos) return;
  const std::u16string_view key = TrimBlanks(text.substr(start, equals - start));
  if (key.empty()) return;
  line.kind = TLineKind::Entry;
  line.name = FoldName(key);
  line.valueStart = equals + 1;
}

std::u16string_view LineName(const TLine& line) {
  const std::u16string_view text = line.text;
  size_t start = 0;
  while (IsBlank(text[start])) ++start;
  if (line.kind == TLineKind::Section)
    return TrimBlanks(text.substr(start + 1, text.rfind(u']') - start - 1));
  return TrimBlanks(text.substr(start, line.valueStart - 1 - start));
}

std::vector<TLine> SplitLines(std::u16string_view text) {
  std::vector<TLine> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    TLine line;
    line.text.assign(text.substr(start, end - start));
    if (end == text.size()) {
      line.eol = TEol::None;
      start = end;
    } else if (text[end] == u'\n') {
      line.eol = TEol::Lf;
      start = end + 1;
    } else if (end + 1 < text.size() && text[end + 1] == u'\n') {
      line.eol = TEol::CrLf;
      start = end + 2;
    } else {
      line.eol = TEol::Cr;
      start = end + 1;
    }
    ParseLine(line);
    lines.push_back(std::move(line));
  }
  return lines;
}

void AppendLe(std::string& out, char16_t c) {
  out.push_back(char(c & 0xFF));
  out.push_back(char(c >> 8));
}

std::string Serialize(const std::vector<TLine>& lines) {
  size_t units = 1;
  for (const TLine& line : lines) units += line.text.size() + 2;
  std::string out;
  out.reserve(units * 2);
  AppendLe(out, 0xFEFF);
  for (const TLine& line : lines) {
    for (const char16_t c : line.text) AppendLe(out, c);
    if (line.eol == TEol::Cr || line.eol == TEol::CrLf) AppendLe(out, u'\r');
    if (line.eol == TEol::Lf || line.eol == TEol::CrLf) AppendLe(out, u'\n');
  }
  return out;
}

// The stored form of a text value: line breaks become blanks, and a value with blanks at
// its ends is enclosed in double quotes, which the reader removes again.
std::u16string EncodeValue(std::string_view value) {
  const std::u16string text = FromUtf8(value);
  std::u16string out;
  out.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.push_back(u' ');
    } else {
      out.push_back(text[i]);
    }
  }
  if (!out.empty() && (IsBlank(out.front()) || IsBlank(out.back()))) out = u'"' + out + u'"';
  return out;
}

std::u16string_view DecodeValue(std::u16string_view raw) {
  std::u16string_view value = TrimBlanks(raw);
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.size() > kMaxIniValueLength) {
    size_t length = kMaxIniValueLength;
    if (IsHighSurrogate(value[length - 1]) && IsLowSurrogate(value[length])) --length;
    value = value.substr(0, length);
  }
  return value;
}

std::optional<int32_t> ParseInteger(std::u16string_view text) {
  const auto hexDigit = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    uint64_t value = 0;
    for (const char16_t c : text.substr(2)) {
      const int digit = hexDigit(c);
      if (digit < 0) return std::nullopt;
      value = value << 4 | uint64_t(digit);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  const bool negative = !text.empty() && text[0] == u'-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  const int64_t limit = negative ? int64_t(INT32_MAX) + 1 : INT32_MAX;
  int64_t value = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

// ---- File access ---------------------------------------------------------------------

// What identifies the version of a file on disk.
using TStamp = platform::TFileStamp;

}  // namespace

// ---- TConfigIniFile ------------------------------------------------------------------

struct TConfigIniFile::TContent {
  std::vector<TLine> lines;
  bool loaded = false;     // lines and stamp describe the file
  bool readable = true;    // false: the file exists but could not be read
  bool canonical = false;  // the file holds exactly what Serialize(lines) gives
  TStamp stamp;

  // Index of the first header of the section, or npos.
  size_t FindSection(std::u16string_view folded) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].kind == TLineKind::Section && lines[i].name == folded) return i;
    return npos;
  }
  // The line after the last line of the section that starts at header.
  size_t SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != TLineKind::Section) ++i;
    return i;
  }
  size_t FindEntry(std::string_view section, std::string_view key) const {
    const size_t header = FindSection(FoldName(FromUtf8(section)));
    if (header == npos) return npos;
    const std::u16string folded = FoldName(FromUtf8(key));
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i)
      if (lines[i].kind == TLineKind::Entry && lines[i].name == folded) return i;
    return npos;
  }

  void Load(const std::string& fileName) {
    lines.clear();
    loaded = true;
    readable = false;
    canonical = false;
    stamp = TStamp();
    const platform::TUniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
      // A missing file reads as empty; one that is there but cannot be opened must not
      // be replaced by a write.
      readable = errno == ENOENT || errno == ENOTDIR;
      return;
    }
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) return;
    std::string bytes(size_t(st.st_size), '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
      const ssize_t n = ::read(fd.Get(), bytes.data() + filled, bytes.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return;
      if (n == 0) break;
      filled += size_t(n);
    }
    bytes.resize(filled);
    readable = true;
    stamp = TStamp::Of(st);
    lines = SplitLines(DecodeFile(bytes, canonical));
  }

  static constexpr size_t npos = size_t(-1);
};

TConfigIniFile::TConfigIniFile(std::string fileName)
    : fileName_(std::move(fileName)), content_(std::make_unique<TContent>()) {}

TConfigIniFile::~TConfigIniFile() = default;
TConfigIniFile::TConfigIniFile(TConfigIniFile&&) noexcept = default;
TConfigIniFile& TConfigIniFile::operator=(TConfigIniFile&&) noexcept = default;

void TConfigIniFile::Refresh() const {
  // Pending deferred changes are newer than anything on disk.
  if (pending_) return;
  TContent& content = *content_;
  struct stat st;
  TStamp now;
  if (::stat(fileName_.c_str(), &st) == 0) {
    now = TStamp::Of(st);
  } else if (errno != ENOENT && errno != ENOTDIR) {
    content.Load(fileName_);
    return;
  }
  if (content.loaded && content.readable && content.stamp == now) return;
  content.Load(fileName_);
}

void TConfigIniFile::PrepareWrite() {
  Refresh();
  if (!content_->readable) FailWrite();
}

void TConfigIniFile::ChangeDone() {
  if (deferDepth_ > 0) {
    pending_ = true;
    return;
  }
  Save(false);
}

void TConfigIniFile::FailWrite() {
  // The next call reads the file again, so the object never claims a change it did not
  // save.
  content_->loaded = false;
  pending_ = false;
  throw EConfigWriteError("Unable to write to " + fileName_);
}

void TConfigIniFile::Save(bool sync) {
  const std::string text = Serialize(content_->lines);
  platform::TAtomicWriteOptions options;
  // Users keep their configurations as links into a dotfile repository, and an editor
  // saving one writes the file the link names; so does this.
  options.Link = platform::TLinkAtTarget::WriteThrough;
  options.Sync = sync;
  try {
    platform::WriteFileAtomically(
        fileName_, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, options);
  } catch (const platform::EFileWriteError&) {
    FailWrite();
  }
  content_->canonical = true;
  content_->readable = true;
  content_->loaded = true;
  struct stat st;
  content_->stamp = ::stat(fileName_.c_str(), &st) == 0 ? TStamp::Of(st) : TStamp();
}

std::string TConfigIniFile::ReadString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
  Refresh();
  const size_t entry = content_->FindEntry(section, key);
  if (entry == TContent::npos) return std::string(defaultValue);
  const TLine& line = content_->lines[entry];
  return ToUtf8(DecodeValue(std::u16string_view(line.text).substr(line.valueStart)));
}

void TConfigIniFile::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value) {
  CheckSectionName(section);
  CheckKeyName(key);
  PrepareWrite();
  std::vector<TLine>& lines = content_->lines;
  const std::u16string encoded = EncodeValue(value);
  const size_t entry = content_->FindEntry(section, key);
  if (entry != TContent::npos) {
    TLine& line = lines[entry];
    // Keep the key as spelled in the file, and the blanks around "=".
    size_t start = line.valueStart;
    while (start < line.text.size() && IsBlank(line.text[start])) ++start;
    if (std::u16string_view(line.text).substr(start) == encoded && content_->canonical) return;
    line.text.replace(start, std::u16string::npos, encoded);
    ChangeDone();
    return;
  }

  const auto makeLine = [](std::u16string text) {
    TLine line;
    line.text = std::move(text);
    line.eol = TEol::CrLf;
    ParseLine(line);
    return line;
  };
  const auto endLineBefore = [&lines](size_t position) {
    if (position > 0 && lines[position - 1].eol == TEol::None) lines[position - 1].eol = TEol::CrLf;
  };
  TLine entryLine = makeLine(FromUtf8(key) + u'=' + encoded);
  const size_t header = content_->FindSection(FoldName(FromUtf8(section)));
  if (header == TContent::npos) {
    endLineBefore(lines.size());
    lines.push_back(makeLine(u'[' + FromUtf8(section) + u']'));
    lines.push_back(std::move(entryLine));
  } else {
    // After the section's last entry, so that blank lines and comments that lead to the
    // next section stay in front of it.
    size_t position = header + 1;
    const size_t end = content_->SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i)
      if (lines[i].kind == TLineKind::Entry) position = i + 1;
    endLineBefore(position);
    lines.insert(lines.begin() + ptrdiff_t(position), std::move(entryLine));
  }
  ChangeDone();
}

int32_t TConfigIniFile::ReadInteger(std::string_view section, std::string_view key,
                                    int32_t defaultValue) const {
  Refresh();
  const size_t entry = content_->FindEntry(section, key);
  if (entry == TContent::npos) return defaultValue;
  const TLine& line = content_->lines[entry];
  return ParseInteger(DecodeValue(std::u16string_view(line.text).substr(line.valueStart)))
      .value_or(defaultValue);
}

void TConfigIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

bool TConfigIniFile::ReadBool(std::string_view section, std::string_view key,
                              bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TConfigIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TConfigIniFile::ReadSections() const {
  Refresh();
  std::vector<std::string> names;
  std::vector<std::u16string_view> seen;
  for (const TLine& line : content_->lines) {
    if (line.kind != TLineKind::Section ||
        std::find(seen.begin(), seen.end(), line.name) != seen.end())
      continue;
    seen.push_back(line.name);
    names.push_back(ToUtf8(LineName(line)));
  }
  return names;
}

std::vector<std::string> TConfigIniFile::ReadSectionKeys(std::string_view section) const {
  Refresh();
  std::vector<std::string> names;
  const size_t header = content_->FindSection(FoldName(FromUtf8(section)));
  if (header == TContent::npos) return names;
  std::vector<std::u16string_view> seen;
  const size_t end = content_->SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    const TLine& line = content_->lines[i];
    if (line.kind != TLineKind::Entry ||
        std::find(seen.begin(), seen.end(), line.name) != seen.end())
      continue;
    seen.push_back(line.name);
    names.push_back(ToUtf8(LineName(line)));
  }
  return names;
}

bool TConfigIniFile::SectionExists(std::string_view section) const {
  Refresh();
  return content_->FindSection(FoldName(FromUtf8(section))) != TContent::npos;
}

// ---- TDeferredWrite --------------------------------------------------------------------

TConfigIniFile::TDeferredWrite::TDeferredWrite(TConfigIniFile& file) : file_(file) {
  ++file_.deferDepth_;
}

TConfigIniFile::TDeferredWrite::~TDeferredWrite() {
  if (done_) return;
  try {
    Commit();
  } catch (...) {
    // A destructor cannot report; whoever needs to know calls Commit.
  }
}

void TConfigIniFile::TDeferredWrite::Commit() {
  if (done_) return;
  done_ = true;
  if (--file_.deferDepth_ > 0 || !file_.pending_) return;
  file_.pending_ = false;
  // One write for many changes can afford to wait for the disk.
  file_.Save(true);
}

// ---- Quoting ---------------------------------------------------------------------------

std::string ProtectEnclosingQuotes(std::string_view text) {
  std::string result(text);
  if (result.size() > 1 && result.front() == '\'' && result.back() == '\'')
    result = '\'' + result + '\'';
  if (result.size() > 1 && result.front() == '"' && result.back() == '"')
    result = '"' + result + '"';
  return result;
}

}  // namespace pixolan::config
