// Local stream sockets made by hand, as another program (or a crashed one) leaves them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace pixolan::test {

// A socket file at path that nobody listens on: what a crashed server leaves behind.
void MakeStaleSocket(const std::string& path);

// A server that listens at path and never accepts: the kernel queues connections, so it
// is as live as a busy program. Closing the descriptor leaves the file behind.
platform::TUniqueFd ListenAt(const std::string& path);

// Connects to path and closes again at once, as a start does that checks for a live server.
void Knock(const std::string& path);

// Connects to path, sends the bytes and returns what comes back until the other end
// closes (at most 30 seconds); empty when the connection fails.
std::vector<uint8_t> Exchange(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace pixolan::test
