#include "support/LocalSockets.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>

#include <cstring>
#include <stdexcept>

namespace pixolan::test {

namespace {

sockaddr_un Address(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) throw std::invalid_argument("socket path too long");
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

platform::TUniqueFd Bound(const std::string& path) {
  platform::TUniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_un address = Address(path);
  if (!socket ||
      ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot bind a socket at " + path);
  return socket;
}

platform::TUniqueFd Connected(const std::string& path) {
  platform::TUniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_un address = Address(path);
  if (socket &&
      ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    socket.Reset();
  return socket;
}

}  // namespace

void MakeStaleSocket(const std::string& path) {
  Bound(path);
}

platform::TUniqueFd ListenAt(const std::string& path) {
  platform::TUniqueFd socket = Bound(path);
  if (::listen(socket.Get(), 16) != 0) throw std::runtime_error("cannot listen at " + path);
  return socket;
}

void Knock(const std::string& path) {
  if (!Connected(path)) throw std::runtime_error("cannot connect to " + path);
}

std::vector<uint8_t> Exchange(const std::string& path, const std::vector<uint8_t>& bytes) {
  const platform::TUniqueFd socket = Connected(path);
  if (!socket) return {};
  const timeval timeout{30, 0};
  ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  for (size_t sent = 0; sent < bytes.size();) {
    // MSG_NOSIGNAL: a server that closes early must not end the test program.
    const ssize_t n = ::send(socket.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += size_t(n);
  }
  std::vector<uint8_t> received;
  uint8_t buffer[256];
  for (ssize_t n; (n = ::recv(socket.Get(), buffer, sizeof buffer, 0)) > 0;)
    received.insert(received.end(), buffer, buffer + n);
  return received;
}

}  // namespace pixolan::test
