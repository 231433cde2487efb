#pragma once
// Owns a socket and closes it.
#include <winsock2.h>

#include <utility>

namespace platform {

class UniqueSocket {
public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  ~UniqueSocket() { Reset(); }
  UniqueSocket(UniqueSocket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.socket_, INVALID_SOCKET));
    return *this;
  }

  SOCKET Get() const { return socket_; }
  bool Valid() const { return socket_ != INVALID_SOCKET; }
  // Closes the socket held, if any, and holds `socket` instead.
  void Reset(SOCKET socket = INVALID_SOCKET) {
    if (socket_ != INVALID_SOCKET) (void)closesocket(socket_);  // nothing to do if closing fails
    socket_ = socket;
  }

private:
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace platform
