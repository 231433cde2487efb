#include "platform/network_sink/wmsp_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>

#include "platform/network_sink/wmsp_protocol.h"

namespace platform {

namespace {

constexpr long kPollMs = 100;

// Waits until the socket can be read (or written); false on timeout.
bool WaitSocket(SOCKET socket, bool write, long timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &timeout) > 0;
}

std::string ResponseHead(const char* status, const char* contentType, uint32_t clientId,
                         size_t contentLength) {
  std::string head = std::string("HTTP/1.0 ") + status + "\r\n";
  head += "Server: Rex/9.0.0.2980\r\nCache-Control: no-cache\r\n";
  if (contentType) {
    head += "Pragma: no-cache\r\nPragma: client-id=" + std::to_string(clientId) +
            "\r\nPragma: features=\"broadcast\"\r\nContent-Type: " + contentType + "\r\n";
  }
  if (contentLength != SIZE_MAX) head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
  head += "Connection: close\r\n\r\n";
  return head;
}

}  // namespace

struct WmspServer::Client {
  UniqueSocket socket;
  ClientAddress address{};
  uint32_t id = 0;
  std::mutex lock;
  std::condition_variable wake;
  std::deque<std::shared_ptr<const std::vector<uint8_t>>> queue;
  bool synced = false;   // has seen a packet where a key frame starts
  bool dropped = false;  // fell behind, or the sink disconnected everyone
  bool ended = false;    // the writer finished: send $E after the queue
  bool finished = false; // the thread is done
};

WmspServer::WmspServer() {
  WSADATA data;
  winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WmspServer::~WmspServer() {
  Close();
  if (winsock_) WSACleanup();
}

void WmspServer::SetMaximumClients(uint32_t count) {
  std::lock_guard lock(lock_);
  maxClients_ = count;
}

uint32_t WmspServer::MaximumClients() const {
  std::lock_guard lock(lock_);
  return maxClients_;
}

bool WmspServer::IsOpen() const {
  std::lock_guard lock(lock_);
  return listener_.Valid();
}

uint32_t WmspServer::Port() const {
  std::lock_guard lock(lock_);
  return port_;
}

HRESULT WmspServer::Open(uint32_t* port) {
  if (!port) return E_POINTER;
  if (!winsock_) return E_FAIL;
  if (*port > 0xFFFF) return E_INVALIDARG;
  {
    std::lock_guard lock(lock_);
    if (listener_.Valid()) return E_UNEXPECTED;
  }
  UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener.Valid()) return HRESULT_FROM_WIN32(WSAGetLastError());
  // A second sink must not share a port that is already serving.
  BOOL exclusive = TRUE;
  (void)setsockopt(listener.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&exclusive), sizeof(exclusive));  // best effort
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<u_short>(*port));
  int length = sizeof(address);
  if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener.Get(), SOMAXCONN) != 0 ||
      getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return HRESULT_FROM_WIN32(WSAGetLastError());
  *port = ntohs(address.sin_port);
  std::lock_guard lock(lock_);
  listener_ = std::move(listener);
  port_ = *port;
  closing_ = false;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return S_OK;
}

void WmspServer::AcceptLoop() {
  SOCKET listener;
  {
    std::lock_guard lock(lock_);
    listener = listener_.Get();
  }
  for (;;) {
    if (!WaitSocket(listener, false, kPollMs)) {
      std::lock_guard lock(lock_);
      if (closing_) return;
      continue;
    }
    sockaddr_in from{};
    int length = sizeof(from);
    UniqueSocket socket(accept(listener, reinterpret_cast<sockaddr*>(&from), &length));
    if (!socket.Valid()) {
      std::lock_guard lock(lock_);
      if (closing_) return;
      continue;
    }
    u_long nonBlocking = 1;
    // If this fails a send to a stalled client blocks until Close shuts the
    // socket; the queue limit still drops it from the broadcast.
    (void)ioctlsocket(socket.Get(), FIONBIO, &nonBlocking);
    ReapFinishedThreads();
    auto client = std::make_shared<Client>();
    client->socket = std::move(socket);
    client->address = ClientAddress{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
    std::lock_guard lock(lock_);
    if (closing_ || connections_.size() >= maxClients_ + kSpareConnections) {
      continue;  // too many at once: closed before even a request is read
    }
    client->id = nextClientId_++;
    connections_.push_back(client);
    threads_.emplace_back(client, std::thread([this, client] { Serve(client); }));
  }
}

void WmspServer::ReapFinishedThreads() {
  std::vector<std::thread> done;
  {
    std::lock_guard lock(lock_);
    for (auto it = threads_.begin(); it != threads_.end();) {
      bool finished;
      {
        std::lock_guard clientLock(it->first->lock);
        finished = it->first->finished;
      }
      // Erasing may free the client with its lock: never while holding it.
      if (finished) {
        done.push_back(std::move(it->second));
        it = threads_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (std::thread& thread : done) thread.join();
}

bool WmspServer::ReadRequest(Client& client, std::string* head) {
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
  char buffer[1024];
  while (std::chrono::steady_clock::now() < deadline) {
    {
      std::lock_guard lock(client.lock);
      if (client.dropped) return false;
    }
    if (!WaitSocket(client.socket.Get(), false, kPollMs)) continue;
    const int got = recv(client.socket.Get(), buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    received.append(buffer, static_cast<size_t>(got));
    const size_t length = RequestHeadLength(received);
    if (length) {
      *head = received.substr(0, length);
      return true;
    }
    if (received.size() > kMaxRequestSize) return false;
  }
  return false;
}

bool WmspServer::SendAll(Client& client, const uint8_t* data, size_t size) {
  while (size > 0) {
    {
      std::lock_guard lock(client.lock);
      if (client.dropped) return false;
    }
    // Send first and wait only when the socket is full: a live stream sends
    // small pieces many times a second, and each wait is a system call.
    const int sent = send(client.socket.Get(), reinterpret_cast<const char*>(data),
                          static_cast<int>(std::min<size_t>(size, 1 << 16)), 0);
    if (sent == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
      (void)WaitSocket(client.socket.Get(), true, kPollMs);  // a timeout re-checks `dropped`
      continue;
    }
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

void WmspServer::Serve(const std::shared_ptr<Client>& client) {
  std::string head;
  if (ReadRequest(*client, &head)) {
    const WmspRequest request = ParseWmspRequest(head);
    std::vector<uint8_t> header;
    bool admitted = false;
    {
      std::lock_guard lock(lock_);
      header = header_;
      admitted = !header.empty() && streaming_.size() < maxClients_;
      if (admitted && request.valid && request.play) streaming_.push_back(client);
    }
    std::string response;
    if (!request.valid) {
      response = ResponseHead("400 Bad Request", nullptr, 0, 0);
    } else if (!admitted) {
      response = ResponseHead("503 Service Unavailable", nullptr, 0, 0);
    } else {
      const std::vector<uint8_t> framed = FrameWmspHeader(header);
      response = request.play
                     ? ResponseHead("200 OK", "application/x-mms-framed", client->id, SIZE_MAX)
                     : ResponseHead("200 OK", "application/vnd.ms.wms-hdr.asfv1", client->id,
                                    framed.size());
      response.append(framed.begin(), framed.end());
    }
    const bool sent = SendAll(*client, reinterpret_cast<const uint8_t*>(response.data()),
                              response.size());
    if (sent && admitted && request.valid && request.play) Stream(client);
  }
  Forget(client);
}

void WmspServer::Stream(const std::shared_ptr<Client>& client) {
  std::deque<std::shared_ptr<const std::vector<uint8_t>>> taken;
  std::vector<uint8_t> batch;
  for (;;) {
    {
      std::unique_lock lock(client->lock);
      client->wake.wait_for(lock, std::chrono::milliseconds(kPollMs), [&] {
        return client->dropped || client->ended || !client->queue.empty();
      });
      if (client->dropped) return;
      if (client->queue.empty()) {
        if (!client->ended) continue;
        break;
      }
      taken.swap(client->queue);
    }
    // Everything queued in one send: a picture often comes as a few packets.
    batch.clear();
    for (const auto& chunk : taken) batch.insert(batch.end(), chunk->begin(), chunk->end());
    taken.clear();
    if (!SendAll(*client, batch.data(), batch.size())) return;
  }
  const std::vector<uint8_t> end = FrameWmspEnd();
  (void)SendAll(*client, end.data(), end.size());  // the client may already be gone
}

void WmspServer::Forget(const std::shared_ptr<Client>& client) {
  {
    std::lock_guard lock(lock_);
    connections_.erase(std::remove(connections_.begin(), connections_.end(), client), connections_.end());
    streaming_.erase(std::remove(streaming_.begin(), streaming_.end(), client), streaming_.end());
  }
  (void)shutdown(client->socket.Get(), SD_BOTH);  // the peer may be gone already
  client->socket.Reset();
  std::lock_guard lock(client->lock);
  client->finished = true;
}

void WmspServer::SetHeader(const std::vector<uint8_t>& header) {
  std::lock_guard lock(lock_);
  header_ = header;
  packetNumber_ = 0;
}

void WmspServer::Broadcast(const uint8_t* packet, size_t size) {
  std::vector<std::shared_ptr<Client>> clients;
  uint32_t number;
  {
    std::lock_guard lock(lock_);
    clients = streaming_;
    number = packetNumber_++;
  }
  if (clients.empty()) return;
  const bool keyStart = AsfPacketStartsKeyFrame(packet, size);
  auto chunk = std::make_shared<const std::vector<uint8_t>>(FrameWmspData(packet, size, number));
  if (chunk->empty()) return;
  for (const auto& client : clients) {
    {
      std::lock_guard lock(client->lock);
      if (client->dropped || client->ended) continue;
      if (!client->synced && !keyStart) continue;
      client->synced = true;
      if (client->queue.size() >= kMaxQueuedChunks) {
        client->dropped = true;  // it stopped reading; the others go on
        client->queue.clear();
      } else {
        client->queue.push_back(chunk);
      }
    }
    // Outside the lock, so the woken thread does not wait for it at once.
    client->wake.notify_one();
  }
}

void WmspServer::EndOfStream() {
  std::vector<std::shared_ptr<Client>> clients;
  {
    std::lock_guard lock(lock_);
    clients = streaming_;
    header_.clear();
  }
  for (const auto& client : clients) {
    std::lock_guard lock(client->lock);
    client->ended = true;
    client->wake.notify_one();
  }
}

void WmspServer::DisconnectAll() {
  std::vector<std::shared_ptr<Client>> clients;
  {
    std::lock_guard lock(lock_);
    clients = connections_;
  }
  for (const auto& client : clients) {
    std::lock_guard lock(client->lock);
    client->dropped = true;
    client->wake.notify_one();
  }
}

void WmspServer::Close() {
  std::thread acceptThread;
  {
    std::lock_guard lock(lock_);
    closing_ = true;
    acceptThread = std::move(acceptThread_);
  }
  if (acceptThread.joinable()) acceptThread.join();
  DisconnectAll();
  std::vector<std::pair<std::shared_ptr<Client>, std::thread>> threads;
  {
    std::lock_guard lock(lock_);
    threads = std::move(threads_);
    threads_.clear();
    listener_.Reset();
    port_ = 0;
  }
  for (auto& entry : threads) entry.second.join();
}

std::vector<WmspServer::ClientAddress> WmspServer::StreamingClients() const {
  std::lock_guard lock(lock_);
  std::vector<ClientAddress> addresses;
  for (const auto& client : streaming_) addresses.push_back(client->address);
  return addresses;
}

}  // namespace platform
