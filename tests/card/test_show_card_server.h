#pragma once
// A very small HTTP server for the card tests: it answers GET requests for the paths it was
// given with their bytes (404 otherwise), on 127.0.0.1 and a port of the system's choosing, and
// remembers every path asked for, in order.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_server.h"

namespace cardtest {

class CoverServer {
 public:
  CoverServer() {
    listener_ = testsupport::ListenOnLoopback(16, port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CoverServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
  }

  // "127.0.0.1:port", to stand in for a web host.
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

  void Put(const std::string& path, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = bytes;
  }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }

 private:
  void Serve() {
    while (!stopping_) {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) {
        if (stopping_) return;
        continue;
      }
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
      }
      std::string path;
      const auto space = request.find(' ');
      if (space != std::string::npos) {
        const auto end = request.find(' ', space + 1);
        if (end != std::string::npos) path = request.substr(space + 1, end - space - 1);
      }
      std::string body, status = "404 Not Found";
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(path);
        if (auto found = files_.find(path); found != files_.end()) {
          body = found->second;
          status = "200 OK";
        }
      }
      if (status != "200 OK") body = "<html><body>No existe</body></html>";
      const std::string response = "HTTP/1.1 " + status +
                                   "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                                   std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                                   body;
      std::size_t sent = 0;
      while (sent < response.size()) {
        const ssize_t n = ::send(client, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      ::close(client);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::vector<std::string> requests_;
};

}  // namespace cardtest
