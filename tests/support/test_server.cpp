#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include <httplib.h>

#include "sources/hosts.h"
#include "tools/site_map.h"

namespace testsupport {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string PathOf(std::string_view target) {
  return std::string(target.substr(0, target.find('?')));
}

SourceHosts& BuiltHosts() {
  static SourceHosts built = sourceHosts();
  return built;
}

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameNoCase(key, name)) return value;
  }
  return {};
}

bool RecordedRequest::HasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return SameNoCase(h.first, name); });
}

// --- TestServer ------------------------------------------------------------------------------

TestServer::TestServer(std::chrono::seconds keepAlive)
    : server_(std::make_unique<httplib::Server>()) {
  server_->set_keep_alive_max_count(1000);
  // The program keeps its connections open for the whole run; a short keep-alive lets a
  // stopping server end them at once instead of waiting out the default five seconds.
  server_->set_keep_alive_timeout(keepAlive.count());
  // Without it, a reply's head and body go in two small writes, and the second waits for the
  // client's delayed acknowledgement: 40 ms per request.
  server_->set_tcp_nodelay(true);
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    Answer(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  // The socket listens from bind on, so requests made before the thread runs wait in its queue.
  thread_ = std::thread([this] { server_->listen_after_bind(); });
}

TestServer::~TestServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string TestServer::Host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TestServer::Url(std::string_view target) const {
  return "http://" + Host() + std::string(target);
}

void TestServer::Route(const std::string& target, Reply reply) {
  std::lock_guard lock(mutex_);
  routes_[target] = Entry{std::move(reply), nullptr};
}

void TestServer::Handle(const std::string& target, RouteHandler handler) {
  std::lock_guard lock(mutex_);
  routes_[target] = Entry{Reply{}, std::move(handler)};
}

void TestServer::Redirect(const std::string& from, const std::string& to, int status) {
  Reply reply;
  reply.status = status;
  reply.body = "<html><body>moved</body></html>";
  reply.headers.emplace_back("Location", to.find("://") == std::string::npos ? Url(to) : to);
  Route(from, std::move(reply));
}

void TestServer::ServeSite(const std::string& directory) {
  std::lock_guard lock(mutex_);
  siteDir_ = directory;
}

void TestServer::Answer(const httplib::Request& req, httplib::Response& res) {
  const auto arrived = std::chrono::steady_clock::now();
  if (const auto latency = latency_.load(); latency.count() > 0)
    std::this_thread::sleep_for(latency);
  RecordedRequest record;
  record.method = req.method;
  record.target = req.target;
  record.path = PathOf(req.target);
  record.remotePort = req.remote_port;
  record.arrived = arrived;
  for (const auto& [key, value] : req.headers) record.headers.emplace_back(key, value);

  Entry entry;
  bool found = false;
  std::string site;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(record);
    auto it = routes_.find(record.target);
    if (it == routes_.end()) it = routes_.find(record.path);
    if (it != routes_.end()) {
      entry = it->second;
      found = true;
    }
    site = siteDir_;
  }
  if (found && entry.handler) {
    entry.handler(req, res);
    return;
  }
  if (found) {
    res.status = entry.reply.status;
    for (const auto& [key, value] : entry.reply.headers) res.set_header(key, value);
    res.set_content(entry.reply.body, entry.reply.contentType);
    return;
  }
  if (!site.empty()) {
    if (auto file = site::Lookup(site, record.target)) {
      res.status = 200;
      res.set_content(file->bytes, file->contentType);
      return;
    }
  }
  res.status = 404;
  res.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
}

std::vector<RecordedRequest> TestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> TestServer::Targets() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& r : requests_) out.push_back(r.target);
  return out;
}

std::size_t TestServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

int TestServer::CountTargets(std::string_view part) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(requests_.begin(), requests_.end(), [&](const auto& r) {
    return r.target.find(part) != std::string::npos;
  }));
}

int TestServer::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  std::vector<int> ports;
  for (const auto& r : requests_) {
    if (std::find(ports.begin(), ports.end(), r.remotePort) == ports.end())
      ports.push_back(r.remotePort);
  }
  return static_cast<int>(ports.size());
}

void TestServer::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

void TestServer::UseForSources() const { PointSourceHostsAt(Host()); }

// --- RawTestServer ---------------------------------------------------------------------------

int ListenOnLoopback(int backlog, int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return -1;
  }
  port = ntohs(addr.sin_port);
  return fd;
}

RawTestServer::RawTestServer(ConnectionHandler handler) : handler_(std::move(handler)) {
  listenFd_ = ListenOnLoopback(16, port_);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawTestServer::~RawTestServer() {
  stopping_ = true;
  if (acceptThread_.joinable()) acceptThread_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& w : workers) w.join();
  ::close(listenFd_);
}

std::string RawTestServer::Host() const { return "127.0.0.1:" + std::to_string(port_); }

std::string RawTestServer::Url(std::string_view target) const {
  return "http://" + Host() + std::string(target);
}

std::vector<std::string> RawTestServer::Heads() const {
  std::lock_guard lock(mutex_);
  return heads_;
}

int RawTestServer::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(heads_.size());
}

bool RawTestServer::SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void RawTestServer::Reset(Connection& connection) {
  linger l{1, 0};
  ::setsockopt(connection.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(connection.fd);
  connection.closed = true;
}

bool RawTestServer::Pause(int milliseconds) const {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (stopping_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return !stopping_;
}

void RawTestServer::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    workers_.emplace_back([this, fd] {
      Connection connection;
      connection.fd = fd;
      // Read the request head; the body of a GET is empty.
      char buffer[4096];
      while (connection.head.find("\r\n\r\n") == std::string::npos && !stopping_) {
        pollfd q{fd, POLLIN, 0};
        if (::poll(&q, 1, 50) <= 0) continue;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        connection.head.append(buffer, static_cast<std::size_t>(n));
      }
      if (auto end = connection.head.find("\r\n\r\n"); end != std::string::npos) {
        connection.head.resize(end);
      }
      {
        std::lock_guard inner(mutex_);
        heads_.push_back(connection.head);
      }
      if (!stopping_) handler_(connection, *this);
      if (!connection.closed) ::close(fd);
    });
  }
}

// --- Hosts -----------------------------------------------------------------------------------

void PointSourceHostsAt(const std::string& host) {
  BuiltHosts();  // remember the built hosts before the first change
  SourceHosts& hosts = sourceHosts();
  hosts.imdb = host;
  hosts.imdbPro = host;
  hosts.culturalia = host;
  hosts.culturaliaDomain = host;
}

void RestoreSourceHosts() { sourceHosts() = BuiltHosts(); }

}  // namespace testsupport
