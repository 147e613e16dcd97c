#pragma once
// In-process web servers for tests that fetch pages: each listens on 127.0.0.1 at an ephemeral
// port, runs on its own threads, and records every request in arrival order.
//
// TestServer (cpp-httplib) answers registered routes with exactly the bytes given, follows
// nothing on its own, and can fall back to serving a site directory (the sample site) with the
// mapping of tools/site_map.h. RawTestServer hands each accepted connection to a function of the
// test, for faults an HTTP library will not produce: a server that stalls, drips, or resets.
//
//   testsupport::TestServer server;
//   server.Route("/find?q=Alien;tt=1", {.body = page});      // exact target, as sent
//   server.Route("/title/tt42", {.body = film});             // a path matches any query too
//   server.Redirect("/old", "/title/tt42");                  // 302 to a target of this server
//   server.UseForSources();                                  // all four hosts -> this server
//   ... run a search ...
//   EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/find?q=Alien;tt=1", ...}));
//   EXPECT_EQ(server.Requests()[1].Header("Cookie"), "session=abc");
//
// Routes are matched by the raw target first (path and query exactly as they came on the wire,
// percent escapes untouched), then by the raw path alone; a handler may take over any route. A
// target nothing matches is looked up in the site directory when one is set, else 404.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace testsupport {

struct RecordedRequest {
  std::string method;
  std::string target;  // path and query exactly as sent, e.g. "/find?q=Blade%20Runner;tt=1"
  std::string path;    // the path part of the target, escapes still in
  std::vector<std::pair<std::string, std::string>> headers;
  int remotePort = 0;  // the client's port: one per connection
  std::chrono::steady_clock::time_point arrived;  // when its head had been read
  // The value of a header (name compared without case), "" when it was not sent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

struct Reply {
  int status = 200;
  std::string body;
  std::string contentType = "text/html; charset=windows-1252";
  std::vector<std::pair<std::string, std::string>> headers{};  // e.g. {"Set-Cookie", "a=1"}
};

using RouteHandler = std::function<void(const httplib::Request&, httplib::Response&)>;

class TestServer {
 public:
  // Listening when the constructor returns. A connection left idle is closed by the server after
  // the keep-alive time; a stopping server waits for the open ones up to that long.
  explicit TestServer(std::chrono::seconds keepAlive = std::chrono::seconds(1));
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int Port() const { return port_; }
  std::string Host() const;                        // "127.0.0.1:<port>"
  std::string Url(std::string_view target) const;  // "http://127.0.0.1:<port>" + target

  void Route(const std::string& target, Reply reply);
  void Handle(const std::string& target, RouteHandler handler);
  void Redirect(const std::string& from, const std::string& to, int status = 302);
  // Serves the files of a site directory for targets that match no route (SAMPLE_SITE_DIR).
  void ServeSite(const std::string& directory);

  std::vector<RecordedRequest> Requests() const;
  std::vector<std::string> Targets() const;  // the raw targets, in order
  std::size_t RequestCount() const;
  // How many connections the recorded requests came over (told apart by the client's port).
  int ConnectionCount() const;
  // How many requests had a target containing the given part.
  int CountTargets(std::string_view part) const;
  void ClearRequests();

  // Every answer waits this long before it is given, as a distant server would.
  void SetLatency(std::chrono::milliseconds latency) { latency_ = latency; }

  // Points the program's four source hosts (IMDb, IMDb pro, Culturalia, its bare domain) here.
  void UseForSources() const;

 private:
  struct Entry {
    Reply reply;
    RouteHandler handler;
  };
  void Answer(const httplib::Request& req, httplib::Response& res);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, Entry> routes_;
  std::string siteDir_;
  std::vector<RecordedRequest> requests_;
  std::atomic<std::chrono::milliseconds> latency_{std::chrono::milliseconds(0)};
};

// A loopback listener that hands each connection, once its request head has been read, to the
// test's function on a thread of its own. The function writes raw bytes on the socket; it should
// end when Stopping() turns true (the destructor waits for it). The socket is closed after it
// returns unless the function closed or reset it itself (set `closed` then).
// A listening TCP socket on 127.0.0.1 at a port the system picks, with room for `backlog`
// waiting connections; the port is written to `port`. -1 when no socket could be made.
int ListenOnLoopback(int backlog, int& port);

class RawTestServer {
 public:
  struct Connection {
    int fd = -1;
    std::string head;     // the request line and headers, up to the blank line
    bool closed = false;  // set by the function when it closed the socket itself
  };
  using ConnectionHandler = std::function<void(Connection&, const RawTestServer&)>;

  explicit RawTestServer(ConnectionHandler handler);
  ~RawTestServer();
  RawTestServer(const RawTestServer&) = delete;
  RawTestServer& operator=(const RawTestServer&) = delete;

  int Port() const { return port_; }
  std::string Host() const;
  std::string Url(std::string_view target) const;
  bool Stopping() const { return stopping_; }
  std::vector<std::string> Heads() const;  // every request head, in order
  int ConnectionCount() const;

  // Helpers for handlers.
  static bool SendAll(int fd, std::string_view bytes);  // false once the peer is gone
  static void Reset(Connection& connection);             // close with RST (SO_LINGER 0)
  // Sleeps in small steps until the time has passed or the server stops; false when stopping.
  bool Pause(int milliseconds) const;

 private:
  void AcceptLoop();

  ConnectionHandler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<std::string> heads_;
};

// Points the program's four source hosts at "127.0.0.1:<port>"-style host text.
void PointSourceHostsAt(const std::string& host);
// Puts the hosts back as the test program was built with them.
void RestoreSourceHosts();

}  // namespace testsupport
