// A slow front for the sample server, for the person's run on X: it listens on the port that
// cinevarta-demo asks, passes every request on to the sample server, and holds back the answer
// to requests whose target contains one of the given texts, so that the busy window stays up
// long enough for a screenshot and for a click that must be lost.
//
// Usage: x11_slow_proxy <listen port> <sample server port> <delay ms> <text>...
// It prints "ready" once it listens and "holding <target>" when it starts holding a request back,
// and ends on SIGTERM or SIGINT.
#include <httplib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

httplib::Server* server = nullptr;

void Stop(int) {
  if (server != nullptr) server->stop();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <listen port> <upstream port> <delay ms> <text>...\n", argv[0]);
    return 2;
  }
  const int listenPort = std::atoi(argv[1]);
  const int upstreamPort = std::atoi(argv[2]);
  const int delayMs = std::atoi(argv[3]);
  const std::vector<std::string> slow(argv + 4, argv + argc);

  httplib::Server proxy;
  server = &proxy;
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);

  proxy.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
    for (const std::string& text : slow) {
      if (request.target.find(text) != std::string::npos) {
        std::printf("holding %s\n", request.target.c_str());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        break;
      }
    }
    httplib::Client upstream("127.0.0.1", upstreamPort);
    upstream.set_url_encode(false);
    httplib::Headers headers;
    for (const char* name : {"Cookie", "User-Agent", "Accept-Language"}) {
      if (request.has_header(name)) headers.emplace(name, request.get_header_value(name));
    }
    httplib::Result answer = upstream.Get(request.target, headers);
    if (!answer) {
      response.status = 502;
      return;
    }
    response.status = answer->status;
    for (const auto& [name, value] : answer->headers) {
      if (name == "Content-Type" || name == "Set-Cookie" || name == "Location") {
        response.headers.emplace(name, value);
      }
    }
    response.body = answer->body;
  });

  if (!proxy.bind_to_port("127.0.0.1", listenPort)) {
    std::fprintf(stderr, "cannot listen on port %d\n", listenPort);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  proxy.listen_after_bind();
  return 0;
}
