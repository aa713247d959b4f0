// The Unicode INI file through which configuration files (".pxc") are read and written.
//
// File format: UTF-16LE with the byte order mark FF FE, lines ending in CR LF, section
// headers "[name]" and entries "key=value". Names are compared without regard to case
// (ASCII plus the simple case folding of the Latin, Greek and Cyrillic letters of the BMP).
// Lines starting with ";" are comments. Writing keeps every line it does not change
// byte for byte.
//
// Files from elsewhere are read leniently: a file without a UTF-16 byte order mark is
// read as UTF-8 when it is valid UTF-8 (with or without the UTF-8 mark), as UTF-16LE when
// its second byte is 0 and the first is not, and as Windows-1252 otherwise; FE FF marks
// UTF-16BE. Such a file is written back as UTF-16LE with byte order mark on its first
// write. LF, CR LF and a lone CR all end a line. An odd last byte of a UTF-16 file is
// ignored (and dropped when the file is written); unpaired surrogates read as U+FFFD.
// Lines without "=", entries before the first section header and comment lines are
// never read as entries but are kept.
//
// Duplicates: only the first section of a name is searched, and within it the first
// entry of a key wins; writing updates that same entry.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pixolan::config {

// A configuration file could not be written; the message is "Unable to write to <name>".
class EConfigWriteError : public std::runtime_error {
 public:
  using runtime_error::runtime_error;
};

// At most this many UTF-16 code units of a value are read (a surrogate pair is never
// split, so a value may come back one unit shorter).
inline constexpr size_t kMaxIniValueLength = 16384;

// All texts are UTF-8; invalid UTF-8 sequences in arguments count as U+FFFD.
//
// Every Write* changes the file on disk at once: the whole file is written under a
// temporary name in its folder and renamed over it, so that a crash never leaves half a
// file. The new file keeps the permissions (less setuid and setgid) and, where permitted,
// the owner of the one it replaces, and replacing a file waits until the new one is on
// the disk. A symbolic link is written through: the file at the end of its chain is
// replaced and the link stays. A file that exists but cannot be read is never
// overwritten. Failures raise EConfigWriteError("Unable to write to " + FileName()); the
// object then forgets its unsaved change.
//
// The content is kept between calls and read again when the file's identity, size or
// modification time changed on disk. An object is meant for one thread at a time.
class TConfigIniFile {
 public:
  class TDeferredWrite;

  explicit TConfigIniFile(std::string fileName);  // the file need not exist
  ~TConfigIniFile();
  TConfigIniFile(TConfigIniFile&&) noexcept;
  TConfigIniFile& operator=(TConfigIniFile&&) noexcept;

  const std::string& FileName() const { return fileName_; }

  // The value with blanks (code points up to U+0020) trimmed from both ends and one
  // enclosing pair of equal quotes (' or ") removed when at least two characters remain;
  // defaultValue when the file, section or key is missing or the file cannot be read.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // Writes value, enclosed in double quotes when it begins or ends with a blank, so that
  // ReadString gives it back. Line breaks (CR LF, CR, LF) cannot be stored in a line and
  // are each replaced by one blank. An existing entry is replaced in place; a new key goes
  // after the last entry of its section, a new section at the end of the file.
  // Raises std::invalid_argument for a name that the file could not give back: an empty
  // key, a key with "=" or starting with "[" or ";", a name with a line break or with
  // leading or trailing blanks.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  // Decimal with an optional "-", or hexadecimal after "0x"/"0X" (up to eight digits, taken
  // as a 32-bit two's complement pattern so that "0xFFFFFFFF" is -1). Anything else,
  // including "+1", "1,5", "12abc", an empty value and values out of range, gives
  // defaultValue.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // ReadInteger with default 1 or 0; any non-zero integer is true. Writes "1" or "0".
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Every section name and every key of a section, in file order; of names that differ
  // only in case the first spelling is listed.
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSectionKeys(std::string_view section) const;
  bool SectionExists(std::string_view section) const;

 private:
  struct TContent;

  // Brings the cached content up to date with the file unless writes are deferred.
  void Refresh() const;
  // Makes sure the content can be changed and saved, or raises EConfigWriteError.
  void PrepareWrite();
  // Writes the content after a change unless writes are deferred.
  void ChangeDone();
  void Save(bool sync);
  [[noreturn]] void FailWrite();

  std::string fileName_;
  std::unique_ptr<TContent> content_;
  int deferDepth_ = 0;
  bool pending_ = false;
};

// Collects the writes to one file made while it lives and writes the file once: at
// Commit, which raises EConfigWriteError on failure, or else in the destructor, which
// cannot report a failure and drops it. The write is also flushed to the disk. Reads in
// between see the pending values. Nested scopes write when the outermost one ends. A
// failed write drops all collected changes, so unlike single writes none of them stays.
class TConfigIniFile::TDeferredWrite {
 public:
  explicit TDeferredWrite(TConfigIniFile& file);
  ~TDeferredWrite();
  TDeferredWrite(const TDeferredWrite&) = delete;
  TDeferredWrite& operator=(const TDeferredWrite&) = delete;

  void Commit();

 private:
  TConfigIniFile& file_;
  bool done_ = false;
};

// Quoting step of text values that lets the reader's unquoting give them back: a text of
// more than one character that begins and ends with a single quote gets one more single
// quote at each end; then a text of more than one character that begins and ends with a
// double quote gets one more double quote at each end. A quote alone stays as it is.
std::string ProtectEnclosingQuotes(std::string_view text);

}  // namespace pixolan::config
