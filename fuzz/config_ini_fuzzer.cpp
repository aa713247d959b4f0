// Reads arbitrary bytes as a configuration file: every section, key and value, then writes
// one value (chosen by the last input byte) and checks that it reads back and that nothing
// else changed, through the same object and through a fresh one that reads the file anew.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "config/ConfigIniFile.h"

namespace {

using pixolan::config::ProtectEnclosingQuotes;
using pixolan::config::TConfigIniFile;

void Check(bool condition) {
  if (!condition) std::abort();
}

// One file per fuzzing process, in a folder of its own so that temporary files of the
// writer cannot meet those of another process.
const std::string& FuzzFile() {
  static const std::string name = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/pixolan-ini-fuzz-XXXXXX";
    Check(::mkdtemp(folder.data()) != nullptr);
    return folder + "/fuzz.pxc";
  }();
  static const bool cleanup = [] {
    std::atexit([] {
      ::unlink(name.c_str());
      ::rmdir(name.substr(0, name.rfind('/')).c_str());
    });
    return true;
  }();
  (void)cleanup;
  return name;
}

void WriteFile(const std::string& name, const uint8_t* data, size_t size) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Check(fd >= 0);
  Check(size == 0 || ::write(fd, data, size) == ssize_t(size));
  ::close(fd);
}

struct TEntry {
  std::string section, key, value;
};

std::vector<TEntry> ReadAll(const TConfigIniFile& ini) {
  std::vector<TEntry> entries;
  for (const std::string& section : ini.ReadSections()) {
    Check(ini.SectionExists(section));
    for (const std::string& key : ini.ReadSectionKeys(section)) {
      std::string value = ini.ReadString(section, key, "\x01missing");
      Check(value != "\x01missing");
      Check(value.size() <= 3 * pixolan::config::kMaxIniValueLength);
      const int32_t a = ini.ReadInteger(section, key, 1);
      const int32_t b = ini.ReadInteger(section, key, 2);
      // A value either parses (both defaults give the same number) or gives the default.
      Check(a == b || (a == 1 && b == 2));
      Check(ini.ReadBool(section, key, false) == (ini.ReadInteger(section, key, 0) != 0));
      entries.push_back({section, key, std::move(value)});
    }
  }
  return entries;
}

// Texts that exercise the quoting rules; the rest of the values come from the input.
const char* const kValues[] = {"",     "'",  "\"",   "'a'", "\"b\"", "  x ",
                               "'x\"", "''", "\"\"", " ",   "Größe", "a=b",
                               "[c]",  ";d", "0x1",  "-1",  "\t'",   "a\r\nb"};

std::string MakeValue(const uint8_t* data, size_t size, uint8_t knob) {
  if (knob % 2 == 0) return kValues[(knob / 2) % (sizeof kValues / sizeof kValues[0])];
  static const char* const kPieces[] = {" ", "\"", "'", "=", ";", "[", "]", "a", "Z", "ä", "\t"};
  std::string value;
  for (size_t i = 0; i < size && i < 40; ++i)
    value += kPieces[data[i] % (sizeof kPieces / sizeof kPieces[0])];
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& name = FuzzFile();
  WriteFile(name, data, size);
  const uint8_t knob = size > 0 ? data[size - 1] : 0;
  const uint8_t knob2 = size > 1 ? data[size - 2] : 0;

  TConfigIniFile ini(name);
  const std::vector<std::string> sections = ini.ReadSections();
  const std::vector<TEntry> before = ReadAll(ini);

  // An existing section and key, or new ones. The new names have no letters, so that no
  // other spelling in the file can mean them.
  std::string section = "#1";
  if (!sections.empty() && knob2 % 4 != 0) section = sections[knob2 % sections.size()];
  std::string key = "#2";
  const std::vector<std::string> keys = ini.ReadSectionKeys(section);
  if (!keys.empty() && knob2 % 3 != 0) key = keys[(knob2 / 3) % keys.size()];
  const bool newSection = !ini.SectionExists(section);
  const bool newKey = std::find(keys.begin(), keys.end(), key) == keys.end();

  const std::string value = MakeValue(data, size, knob);
  ini.WriteString(section, key, ProtectEnclosingQuotes(value));
  std::string expected = value;
  for (size_t at; (at = expected.find("\r\n")) != std::string::npos;) expected.replace(at, 2, " ");

  // The file is UTF-16LE with byte order mark now, whatever it was before.
  uint8_t mark[2] = {0, 0};
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  Check(fd >= 0 && ::read(fd, mark, 2) == 2 && ::lseek(fd, 0, SEEK_END) % 2 == 0);
  ::close(fd);
  Check(mark[0] == 0xFF && mark[1] == 0xFE);

  TConfigIniFile fresh(name);
  const TConfigIniFile* const readers[] = {&ini, &fresh};
  for (const TConfigIniFile* reader : readers) {
    Check(reader->ReadString(section, key, "\x01missing") == expected);
    std::vector<std::string> expectedSections = sections;
    if (newSection) expectedSections.push_back(section);
    Check(reader->ReadSections() == expectedSections);
    std::vector<std::string> expectedKeys = keys;
    if (newKey) expectedKeys.push_back(key);
    Check(reader->ReadSectionKeys(section) == expectedKeys);
    for (const TEntry& entry : before)
      if (entry.section != section || entry.key != key)
        Check(reader->ReadString(entry.section, entry.key, "\x01missing") == entry.value);
  }
  return 0;
}
