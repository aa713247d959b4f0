#include "input/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "imaging/image/ByteOrder.h"

namespace pixolan::input {

namespace {

constexpr uint8_t kMagic[4] = {'P', 'X', 'F', 'W'};
constexpr size_t kHeaderBytes = 8;  // magic, length of the rest
constexpr size_t kFieldBytes = 4;

// A socket address holds this many path bytes before its terminating zero.
constexpr size_t kMaxSocketPath = sizeof(sockaddr_un{}.sun_path) - 1;

uint64_t Fnv1a64(std::string_view bytes, uint64_t hash = 0xCBF29CE484222325ull) {
  for (const char c : bytes) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::string Hex16(uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[size_t(i)] = kDigits[value & 15];
  return text;
}

[[noreturn]] void Damaged(const std::string& what) {
  throw EForwardMessageError("damaged command line message: " + what);
}

void AppendField(std::vector<uint8_t>& bytes, uint32_t value) {
  const size_t at = bytes.size();
  bytes.resize(at + kFieldBytes);
  imaging::Put32(bytes.data() + at, value);
}

std::string SystemReason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

// A new local stream socket, closed on exec so that programs the instance starts do not
// keep it alive.
platform::TUniqueFd NewSocket(int flags = 0) {
  return platform::TUniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0));
}

// The listening socket, or an empty one with errno set.
platform::TUniqueFd BindAndListen(const sockaddr_un& address) {
  platform::TUniqueFd socket = NewSocket();
  if (!socket) return socket;
  if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(socket.Get(), SOMAXCONN) != 0) {
    const int error = errno;
    socket.Reset();
    errno = error;
  }
  return socket;
}

// Whether a server accepts connections at the address. Non-blocking, so that a server
// whose queue is full counts as live instead of holding this start up.
bool Live(const sockaddr_un& address) {
  platform::TUniqueFd probe = NewSocket(SOCK_NONBLOCK);
  if (!probe) return true;  // cannot tell: leave the socket alone
  if (::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    return true;
  return errno != ECONNREFUSED;
}

}  // namespace

std::string InstanceServerName(std::string_view executablePath, uint32_t userId) {
  const std::string user = std::to_string(userId);
  uint64_t hash = Fnv1a64(user);
  hash = Fnv1a64(std::string_view("\0", 1), hash);
  hash = Fnv1a64(executablePath, hash);
  return "pixolan-" + Hex16(hash);
}

std::string InstanceServerPath(std::string_view executablePath, uint32_t userId,
                               const platform::TEnvironment& environment) {
  const std::string name = InstanceServerName(executablePath, userId);
  for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    std::optional<std::string> folder = environment(variable);
    if (!folder || !folder->starts_with('/')) continue;
    while (folder->size() > 1 && folder->ends_with('/')) folder->pop_back();
    std::string path = (*folder == "/" ? "" : *folder) + "/" + name;
    if (path.size() <= kMaxSocketPath) return path;
  }
  return "/tmp/" + name;
}

std::vector<uint8_t> EncodeForwardMessage(const TForwardedCommandLine& commandLine) {
  if (!commandLine.Folder.starts_with('/'))
    throw EForwardMessageError("the sender's folder is not an absolute path: " +
                               commandLine.Folder);
  // Each string is checked against what is left, so the sum cannot wrap.
  size_t total = kHeaderBytes + kFieldBytes;
  const auto measure = [&total](const std::string& text) {
    const size_t left = kMaxForwardMessageBytes - total;
    if (left < kFieldBytes || text.size() > left - kFieldBytes)
      throw EForwardMessageError("the command line is longer than " +
                                 std::to_string(kMaxForwardMessageBytes) + " bytes");
    total += kFieldBytes + text.size();
  };
  measure(commandLine.Folder);
  for (const std::string& argument : commandLine.Arguments) measure(argument);

  std::vector<uint8_t> bytes(std::begin(kMagic), std::end(kMagic));
  bytes.reserve(total);
  AppendField(bytes, uint32_t(total - kHeaderBytes));
  AppendField(bytes, uint32_t(1 + commandLine.Arguments.size()));
  const auto append = [&bytes](const std::string& text) {
    AppendField(bytes, uint32_t(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
  };
  append(commandLine.Folder);
  for (const std::string& argument : commandLine.Arguments) append(argument);
  return bytes;
}

std::optional<size_t> ForwardMessageSize(std::span<const uint8_t> received) {
  const size_t magicBytes = std::min(received.size(), sizeof kMagic);
  if (std::memcmp(received.data(), kMagic, magicBytes) != 0)
    Damaged("it does not begin with the message mark");
  if (received.size() < kHeaderBytes) return std::nullopt;
  const size_t rest = imaging::Get32(received.data() + sizeof kMagic);
  if (rest > kMaxForwardMessageBytes - kHeaderBytes)
    Damaged("it announces " + std::to_string(rest) + " bytes, more than the limit of " +
            std::to_string(kMaxForwardMessageBytes));
  // The count and the folder's length at least.
  if (rest < 2 * kFieldBytes) Damaged("it announces only " + std::to_string(rest) + " bytes");
  return kHeaderBytes + rest;
}

TForwardedCommandLine DecodeForwardMessage(std::span<const uint8_t> message) {
  const std::optional<size_t> size = ForwardMessageSize(message);
  if (!size || message.size() < *size)
    Damaged("it ends after " + std::to_string(message.size()) + " bytes");
  if (message.size() > *size)
    Damaged(std::to_string(message.size() - *size) + " bytes follow its end");

  std::span<const uint8_t> rest = message.subspan(kHeaderBytes);
  const auto field = [&rest](const char* what) {
    if (rest.size() < kFieldBytes) Damaged(std::string("the ") + what + " is cut off");
    const uint32_t value = imaging::Get32(rest.data());
    rest = rest.subspan(kFieldBytes);
    return value;
  };
  const uint32_t count = field("count");
  if (count == 0) Damaged("it holds no folder");
  // Every string takes its length field at least: a count beyond that cannot be true,
  // and is refused before anything is reserved for it.
  if (count > rest.size() / kFieldBytes)
    Damaged("it claims " + std::to_string(count) + " strings in " + std::to_string(rest.size()) +
            " bytes");

  std::vector<std::string> strings;
  strings.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t length = field("length of a string");
    if (length > rest.size())
      Damaged("string " + std::to_string(i) + " claims " + std::to_string(length) +
              " bytes where " + std::to_string(rest.size()) + " are left");
    strings.emplace_back(reinterpret_cast<const char*>(rest.data()), length);
    rest = rest.subspan(length);
  }
  if (!rest.empty()) Damaged(std::to_string(rest.size()) + " bytes follow the last string");

  TForwardedCommandLine commandLine;
  commandLine.Folder = std::move(strings.front());
  if (!commandLine.Folder.starts_with('/') || commandLine.Folder.find('\0') != std::string::npos)
    Damaged("the sender's folder is not an absolute path");
  commandLine.Arguments.assign(std::make_move_iterator(strings.begin() + 1),
                               std::make_move_iterator(strings.end()));
  return commandLine;
}

std::vector<std::string> AbsoluteArguments(const TForwardedCommandLine& commandLine) {
  std::vector<std::string> arguments;
  arguments.reserve(commandLine.Arguments.size());
  for (const std::string& argument : commandLine.Arguments) {
    if (argument.empty() || argument.starts_with('/')) {
      arguments.push_back(argument);
      continue;
    }
    // Only "." parts are dropped: "link/../a" may lead elsewhere than "a", so ".." stays
    // for the system to resolve.
    std::filesystem::path path(commandLine.Folder);
    for (const std::filesystem::path& part : std::filesystem::path(argument))
      if (part != ".") path /= part;
    arguments.push_back(path.string());
  }
  return arguments;
}

std::vector<uint8_t> EncodeForwardReply(uint32_t code) {
  std::vector<uint8_t> bytes;
  AppendField(bytes, code);
  return bytes;
}

bool IsHandledReply(std::span<const uint8_t> reply) {
  return reply.size() == kForwardReplyBytes && imaging::Get32(reply.data()) == kForwardHandled;
}

std::optional<uid_t> PeerUserId(int socket) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
      length != sizeof credentials)
    return std::nullopt;
  return credentials.uid;
}

TListenOutcome ListenForInstances(const std::string& socketPath) {
  TListenOutcome outcome;
  if (socketPath.empty() || socketPath.size() > kMaxSocketPath ||
      socketPath.find('\0') != std::string::npos) {
    outcome.Reason = "no socket can be made at \"" + socketPath + "\"";
    return outcome;
  }
  const sockaddr_un address = SocketAddress(socketPath);

  // Held until this function returns: the check for a stale socket, its removal and the
  // new bind form one step.
  platform::TUniqueFd lock(
      ::open((socketPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  bool locked = false;
  if (lock) {
    int result;
    do result = ::flock(lock.Get(), LOCK_EX);
    while (result != 0 && errno == EINTR);
    locked = result == 0;
  }

  const auto listening = [&outcome, &socketPath](platform::TUniqueFd socket) {
    // Only this user may connect; bind gave the file the umask's permissions.
    ::chmod(socketPath.c_str(), S_IRUSR | S_IWUSR);
    outcome.Result = TListenResult::Listening;
    outcome.Socket = std::move(socket);
    return std::move(outcome);
  };
  if (platform::TUniqueFd socket = BindAndListen(address)) return listening(std::move(socket));
  if (errno != EADDRINUSE) {
    outcome.Reason = SystemReason("cannot listen at \"" + socketPath + "\"", errno);
    return outcome;
  }

  // Something is there. Without the lock another start may be replacing it right now;
  // only this user's own socket that refuses connections is the remnant of a crash.
  outcome.Result = TListenResult::InUse;
  struct stat status {};
  if (!locked || ::lstat(socketPath.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
      status.st_uid != ::geteuid() || Live(address))
    return outcome;
  if (::unlink(socketPath.c_str()) != 0 && errno != ENOENT) return outcome;
  if (platform::TUniqueFd socket = BindAndListen(address)) return listening(std::move(socket));
  outcome.Result = TListenResult::Failed;
  outcome.Reason = SystemReason("cannot listen at \"" + socketPath + "\"", errno);
  return outcome;
}

}  // namespace pixolan::input
