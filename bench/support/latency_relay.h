#pragma once
// A TCP relay on 127.0.0.1 that puts a network's distance between a client and a local server:
// every chunk read on one side is written to the other 20 ms after it arrived (so a request and
// its answer cost 40 ms, one round trip), and the first chunk of each new connection waits a
// further 40 ms, the round trip a handshake costs. Chunks overtake nothing: each direction keeps
// its order, and a chunk is never held longer than its own delay (a stream is not slowed down
// chunk by chunk, only shifted in time).
//
// It does not look into what it carries (HTTP or anything else), and it never ends a connection
// by itself: a side that closes is closed on the other side once its last chunk is delivered.
//
//   LatencyRelay relay(server.Port());
//   PointSourceHostsAt(relay.Host());   // the program now asks through the relay
//   ... relay.Connections() counts the connections accepted so far
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace benchsupport {

class LatencyRelay {
 public:
  explicit LatencyRelay(int upstreamPort,
                        std::chrono::milliseconds perChunk = std::chrono::milliseconds(20),
                        std::chrono::milliseconds handshake = std::chrono::milliseconds(40));
  ~LatencyRelay();
  LatencyRelay(const LatencyRelay&) = delete;
  LatencyRelay& operator=(const LatencyRelay&) = delete;

  int Port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  int Connections() const { return connections_; }

 private:
  struct Link;
  void AcceptLoop();

  int upstreamPort_;
  std::chrono::milliseconds perChunk_;
  std::chrono::milliseconds handshake_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptThread_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Link>> links_;
};

}  // namespace benchsupport
