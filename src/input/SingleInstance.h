// The single-instance hand-over without a window: where the running instance listens, the
// message a second start sends it (its current folder and its arguments) and the reply.
// A second start with arguments connects to the socket, sends one message and waits for
// one reply; "handled" ends it, anything else lets it run as an instance of its own.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Folders.h"
#include "platform/UniqueFd.h"

namespace pixolan::input {

// The four bytes (little-endian) the running instance answers with.
inline constexpr uint32_t kForwardHandled = 0xDA860081;
inline constexpr uint32_t kForwardNotHandled = 0xDA860080;
inline constexpr size_t kForwardReplyBytes = 4;

// A whole message, header included, is at most this long. Linux limits a command line to
// a few megabytes, so a longer message is no command line; the receiver refuses it before
// reading it.
inline constexpr size_t kMaxForwardMessageBytes = size_t{8} << 20;

// A message that cannot be a second start's command line: wrong magic, a size over the
// limit, lengths that do not add up, a folder that is not absolute.
class EForwardMessageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a second start hands over. Folder is its current folder (absolute); Arguments are
// its paths as it got them, any bytes (names on Linux need not be UTF-8).
struct TForwardedCommandLine {
  std::string Folder;
  std::vector<std::string> Arguments;
};

// "pixolan-" and 16 hexadecimal digits: a 64-bit FNV-1a hash of the user id and the
// executable's full path. Two starts of the same program file by the same user meet;
// copies in other folders and other users do not. The hash is fixed, not std::hash, so
// that every build of the program computes the same name.
std::string InstanceServerName(std::string_view executablePath, uint32_t userId);

// The socket path: the name in $XDG_RUNTIME_DIR (private to the user), else in $TMPDIR,
// else in /tmp. Relative folders are ignored, and a folder whose path would make the
// socket path longer than a socket address holds gives way to /tmp.
std::string InstanceServerPath(std::string_view executablePath, uint32_t userId,
                               const platform::TEnvironment& environment);

// The message: "PXFW", the length of the rest (32 bits), the count of strings (32 bits),
// then each string as its length (32 bits) and its bytes; the folder is the first string.
// All numbers little-endian. Raises EForwardMessageError when the folder is not absolute
// or the message would exceed kMaxForwardMessageBytes.
std::vector<uint8_t> EncodeForwardMessage(const TForwardedCommandLine& commandLine);

// The whole message's size once its first 8 bytes have arrived; nullopt before. Raises
// EForwardMessageError when those bytes cannot begin a message or announce more than
// kMaxForwardMessageBytes, so the receiver stops reading at once.
std::optional<size_t> ForwardMessageSize(std::span<const uint8_t> received);

// The command line in a whole message, which must be exactly one message. Raises
// EForwardMessageError for anything else.
TForwardedCommandLine DecodeForwardMessage(std::span<const uint8_t> message);

// The arguments with relative paths made absolute against the sender's folder: the
// running instance has a current folder of its own. Empty arguments stay empty.
std::vector<std::string> AbsoluteArguments(const TForwardedCommandLine& commandLine);

// The reply bytes for a code, and whether received bytes say "handled".
std::vector<uint8_t> EncodeForwardReply(uint32_t code);
bool IsHandledReply(std::span<const uint8_t> reply);

// The user id of the process at the other end of a connected local socket; nullopt when
// the system does not tell. Both ends check it, so that a socket another user placed at
// the name neither receives a user's paths nor makes a start end.
std::optional<uid_t> PeerUserId(int socket);

// How listening at the socket path went.
enum class TListenResult {
  Listening,
  InUse,   // a live server listens there, or something that is not a socket of this user
  Failed,  // the system refused (see TListenOutcome::Reason)
};

struct TListenOutcome {
  TListenResult Result = TListenResult::Failed;
  platform::TUniqueFd Socket;  // the listening socket when Listening
  std::string Reason;          // for Failed: what the system said
};

// Binds a local stream socket at socketPath and listens. A live server there keeps its
// socket (never stolen). A socket file of this user that nobody listens on any more (left
// by an instance that crashed) is removed and replaced. Anything else at the path (a
// file, a link, another user's socket) is left alone: InUse. Two starts doing this at
// once are serialised by a lock on socketPath + ".lock", so neither removes the socket
// the other has just made.
TListenOutcome ListenForInstances(const std::string& socketPath);

}  // namespace pixolan::input
