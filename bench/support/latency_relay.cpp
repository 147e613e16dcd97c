#include "bench/support/latency_relay.h"
#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <utility>

namespace benchsupport {

namespace {

using Clock = std::chrono::steady_clock;

void NoDelay(int fd) {
  int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

// One direction of a connection: a reader that stamps each chunk with the time it may go, and a
// writer that sends it then. An empty chunk stands for the end of the stream.
struct Pipe {
  int from = -1;
  int to = -1;
  Clock::duration delay{};
  Clock::duration firstExtra{};
  const std::atomic<bool>* stopping = nullptr;
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<std::pair<Clock::time_point, std::string>> queue;
  std::thread reader;
  std::thread writer;

  void Push(Clock::time_point at, std::string bytes) {
    std::lock_guard lock(mutex);
    queue.emplace_back(at, std::move(bytes));
    ready.notify_one();
  }

  void Read() {
    Clock::time_point last{};
    bool first = true;
    char buffer[65536];
    while (!*stopping) {
      pollfd p{from, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
      Clock::time_point at = Clock::now() + delay + (first ? firstExtra : Clock::duration{});
      at = std::max(at, last);  // no chunk overtakes the one before it
      last = at;
      first = false;
      if (n <= 0) {
        Push(at, {});
        return;
      }
      Push(at, std::string(buffer, static_cast<std::size_t>(n)));
    }
    Push(Clock::now(), {});
  }

  void Write() {
    bool open = true;
    for (;;) {
      std::pair<Clock::time_point, std::string> chunk;
      {
        std::unique_lock lock(mutex);
        while (queue.empty()) {
          if (*stopping) return;
          ready.wait_for(lock, std::chrono::milliseconds(50));
        }
        chunk = std::move(queue.front());
        queue.pop_front();
      }
      std::this_thread::sleep_until(chunk.first);
      if (chunk.second.empty()) {
        ::shutdown(to, SHUT_WR);
        return;
      }
      // A side that has gone takes nothing more; what is still read is dropped.
      if (open && !SendAll(to, chunk.second)) {
        open = false;
        ::shutdown(from, SHUT_RD);
      }
    }
  }
};

struct LatencyRelay::Link {
  int client = -1;
  int upstream = -1;
  Pipe up;    // client -> server
  Pipe down;  // server -> client

  ~Link() {
    for (Pipe* p : {&up, &down}) {
      if (p->reader.joinable()) p->reader.join();
      if (p->writer.joinable()) p->writer.join();
    }
    if (client >= 0) ::close(client);
    if (upstream >= 0) ::close(upstream);
  }
};

LatencyRelay::LatencyRelay(int upstreamPort, std::chrono::milliseconds perChunk,
                           std::chrono::milliseconds handshake)
    : upstreamPort_(upstreamPort), perChunk_(perChunk), handshake_(handshake) {
  listenFd_ = testsupport::ListenOnLoopback(64, port_);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

LatencyRelay::~LatencyRelay() {
  stopping_ = true;
  if (acceptThread_.joinable()) acceptThread_.join();
  std::lock_guard lock(mutex_);
  for (auto& link : links_) {
    ::shutdown(link->client, SHUT_RDWR);
    ::shutdown(link->upstream, SHUT_RDWR);
  }
  links_.clear();
  ::close(listenFd_);
}

void LatencyRelay::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(upstreamPort_));
    if (::connect(upstream, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(upstream);
      ::close(client);
      continue;
    }
    NoDelay(client);
    NoDelay(upstream);
    ++connections_;
    auto link = std::make_unique<Link>();
    link->client = client;
    link->upstream = upstream;
    link->up.from = client;
    link->up.to = upstream;
    link->up.firstExtra = handshake_;
    link->down.from = upstream;
    link->down.to = client;
    for (Pipe* pipe : {&link->up, &link->down}) {
      pipe->delay = perChunk_;
      pipe->stopping = &stopping_;
      pipe->reader = std::thread([pipe] { pipe->Read(); });
      pipe->writer = std::thread([pipe] { pipe->Write(); });
    }
    std::lock_guard lock(mutex_);
    links_.push_back(std::move(link));
  }
}

}  // namespace benchsupport
