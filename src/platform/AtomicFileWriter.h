// Writing a file so that it is at any moment either the old file or the complete new one.
//
// The content goes to a temporary file that is created exclusively in the target's folder
// (".pixolan-<16 hex digits>.tmp": short, so any target name that fits also leaves room
// for it) and is renamed over the target on Commit. Until then the target is untouched. A
// writer destroyed without Commit, and one whose Write or Commit failed, removes its
// temporary file.
//
// What is found at the target decides what happens:
// - Nothing: the result is a new file, mode 0666 less the umask like any created file.
// - A regular file: it is replaced. The result keeps its permission bits except setuid
//   and setgid (privileges granted to the old content must not pass to whatever is
//   written now), and its owner and group where the process may set them; a refused
//   chown is not an error. File and folder are synced to the disk before Commit returns,
//   so that a power cut leaves the old file or the new one, never neither.
//   Hard links: the rename gives the target's name to a new file, so a file with several
//   names loses this one; its other names keep the old content.
// - A symbolic link: by default the link itself is replaced by the result, and the file
//   it points to stays as it was; a link planted in an output folder must not send the
//   write elsewhere. With TLinkAtTarget::WriteThrough the chain of links is followed and
//   the file at its end is the target, for files such as configurations that users keep
//   as links. Links in the folders of the path are followed either way.
// - Anything else (folder, named pipe, device, socket): refused with NotRegularFile before
//   a temporary file exists. Replacing a named pipe or a device would silently swap a
//   special file for a plain one.
//
// The folder is opened once, and the temporary file and the rename are relative to it: a
// folder that is renamed meanwhile takes the write along instead of leaving a stray file.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/UniqueFd.h"

namespace pixolan::platform {

// What to do when something already exists at the target.
enum class TExistingTarget {
  Replace,
  // Refuse with TargetExists: checked when the writer is made, and again by the final
  // rename itself (renameat2 with RENAME_NOREPLACE, or link and unlink where the file
  // system lacks it), so that a file appearing meanwhile is never replaced. A symbolic
  // link counts as existing, dangling or not.
  Refuse,
};

// What a symbolic link at the target stands for.
enum class TLinkAtTarget {
  Replace,       // the link itself; it is replaced by a regular file
  WriteThrough,  // the file at the end of its chain (which may not exist yet)
};

struct TAtomicWriteOptions {
  TExistingTarget Existing = TExistingTarget::Replace;
  TLinkAtTarget Link = TLinkAtTarget::Replace;
  // Sync file and folder to the disk even when no existing file is replaced, for callers
  // about to delete the only other copy of the data.
  bool Sync = false;
};

enum class TFileWriteFailure {
  TargetExists,    // TExistingTarget::Refuse found something at the target
  NotRegularFile,  // the target is a folder, named pipe, device or socket
  Io,              // the system refused a step; Errno tells why
};

// A failed or refused write. The message names the target, and for Io the step that
// failed and the system's reason.
class EFileWriteError : public std::runtime_error {
 public:
  EFileWriteError(TFileWriteFailure failure, int error, const std::string& message)
      : std::runtime_error(message), failure_(failure), error_(error) {}

  TFileWriteFailure Failure() const { return failure_; }
  // errno of the failed step; 0 for refusals.
  int Errno() const { return error_; }

 private:
  TFileWriteFailure failure_;
  int error_;
};

// One atomic write; see the top of this file. Use: construct, write to Descriptor() or
// through Write, Commit. Not copyable or movable: the temporary file belongs to exactly
// one object.
class TAtomicFileWriter {
 public:
  // Examines the target and creates the temporary file. Raises EFileWriteError when the
  // target is refused or the temporary file cannot be created; nothing is left behind.
  explicit TAtomicFileWriter(const std::string& target, TAtomicWriteOptions options = {});
  // Without a successful Commit, closes and removes the temporary file.
  ~TAtomicFileWriter();
  TAtomicFileWriter(const TAtomicFileWriter&) = delete;
  TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;

  // The temporary file, open for reading and writing at offset 0; -1 once the writer has
  // finished (committed or failed). The caller may write, seek and read, but not close it.
  int Descriptor() const { return file_.Get(); }
  // Writes all bytes at the descriptor's offset. On failure the temporary file is removed
  // and EFileWriteError raised; the writer is then finished.
  void Write(const void* data, size_t size);

  // The file the result becomes: the path given, or with WriteThrough the end of its
  // link chain.
  const std::string& Target() const { return target_; }
  const std::string& TemporaryPath() const { return temporaryPath_; }

  // Syncs when needed, closes and renames the temporary file over the target, then syncs
  // the folder when needed. Syncing happens when something existed at the target (when
  // the writer was made or at Commit) or when asked for. In Replace mode the target is
  // examined again, so a folder, pipe or device that appeared meanwhile is refused too.
  // Every failure up to the rename removes the temporary file and leaves the target as it
  // was; a failed sync of the folder after the rename raises with the result in place,
  // as it may not survive a power cut. Raises std::logic_error on a finished writer.
  void Commit();

 private:
  [[noreturn]] void Fail(TFileWriteFailure failure, int error, const std::string& what);
  // Closes and removes the temporary file; the writer is finished.
  void Discard() noexcept;
  // Refuses what cannot be replaced; returns whether the target is a regular file.
  bool CheckReplaceable(const struct stat& found);
  // prefix: the target's folder as given, with its final "/", or "".
  void CreateTemporary(const std::string& prefix, mode_t mode);
  void RenameIntoPlace();
  void CheckActive() const;

  TAtomicWriteOptions options_;
  std::string target_;
  std::string name_;  // last part of target_
  std::string temporaryName_;
  std::string temporaryPath_;
  TUniqueFd folder_;
  TUniqueFd file_;
  bool existed_ = false;  // something was at the target when the writer was made
  bool haveTemporary_ = false;
  bool finished_ = false;
};

// The whole of bytes as target, through one TAtomicFileWriter.
void WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes,
                         TAtomicWriteOptions options = {});

}  // namespace pixolan::platform
