#pragma once
// The HTTP side of the built-in network sink: a listening socket, one
// thread per connection, and a bounded queue per streaming client. The
// writer's thread only queues; a client that falls behind its queue bound
// is dropped, so no client can stall the file or the other clients.
#include <winsock2.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/network_sink/unique_socket.h"

namespace platform {

class WmspServer {
public:
  static constexpr size_t kMaxQueuedChunks = 512;
  static constexpr DWORD kRequestTimeoutMs = 5000;
  // Connections still sending their request, beyond the client limit.
  static constexpr size_t kSpareConnections = 8;

  struct ClientAddress {
    uint32_t ip;  // host byte order
    uint16_t port;
  };

  WmspServer();
  ~WmspServer();
  WmspServer(const WmspServer&) = delete;
  WmspServer& operator=(const WmspServer&) = delete;

  // Thread: user-interface thread.
  void SetMaximumClients(uint32_t count);
  uint32_t MaximumClients() const;
  // Listens on all interfaces; port 0 picks one and writes it back.
  HRESULT Open(uint32_t* port);
  bool IsOpen() const;
  uint32_t Port() const;
  void DisconnectAll();
  void Close();
  std::vector<ClientAddress> StreamingClients() const;

  // Thread: the writer's thread.
  void SetHeader(const std::vector<uint8_t>& header);
  void Broadcast(const uint8_t* packet, size_t size);
  void EndOfStream();

private:
  struct Client;
  // Thread: the accept thread.
  void AcceptLoop();
  // Thread: the client's own thread.
  void Serve(const std::shared_ptr<Client>& client);
  bool ReadRequest(Client& client, std::string* head);
  bool SendAll(Client& client, const uint8_t* data, size_t size);
  void Stream(const std::shared_ptr<Client>& client);
  void Forget(const std::shared_ptr<Client>& client);
  void ReapFinishedThreads();

  mutable std::mutex lock_;
  uint32_t maxClients_ = 5;
  UniqueSocket listener_;
  uint32_t port_ = 0;
  bool closing_ = false;
  std::thread acceptThread_;
  std::vector<std::shared_ptr<Client>> connections_;  // every live connection
  std::vector<std::shared_ptr<Client>> streaming_;    // those receiving data
  std::vector<std::pair<std::shared_ptr<Client>, std::thread>> threads_;
  std::vector<uint8_t> header_;
  uint32_t packetNumber_ = 0;
  uint32_t nextClientId_ = 1;
  bool winsock_ = false;
};

}  // namespace platform
