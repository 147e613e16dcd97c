// sample-server <site-dir> <port>: serves the sample site on 127.0.0.1 for cinevarta-demo.
//
// Both sources' paths live on this one server; request targets map to files as tools/site_map.h
// describes. Each request is logged on standard output as one line: the request line as it came
// (escapes untouched), then the status and the file that answered. Unknown targets get 404.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>

#include <httplib.h>

#include "tools/site_map.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: sample-server <site-dir> <port>\n";
    return 2;
  }
  const std::filesystem::path site = argv[1];
  char* end = nullptr;
  const long port = std::strtol(argv[2], &end, 10);
  if (end == argv[2] || *end != 0) {
    std::cerr << "sample-server: the port must be a number\n";
    return 2;
  }
  if (!std::filesystem::is_directory(site) || port <= 0 || port > 65535) {
    std::cerr << "sample-server: need an existing site folder and a port from 1 to 65535\n";
    return 2;
  }
  std::mutex logMutex;
  httplib::Server server;
  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    std::string answered = "-";
    if (req.method != "GET" && req.method != "HEAD") {
      res.status = 405;
    } else if (auto found = site::Lookup(site, req.target)) {
      res.status = 200;
      res.set_content(found->bytes, found->contentType);
      answered = found->file;
    } else {
      res.status = 404;
      res.set_content("<html><body><h1>404 Not Found</h1></body></html>", "text/html");
    }
    std::lock_guard lock(logMutex);
    std::cout << req.method << ' ' << req.target << ' ' << req.version << " -> " << res.status
              << ' ' << answered << std::endl;
    return httplib::Server::HandlerResponse::Handled;
  });
  std::cout << "sample-server: serving " << site.string() << " on http://127.0.0.1:" << port << "/"
            << std::endl;
  if (!server.listen("127.0.0.1", port)) {
    std::cerr << "sample-server: cannot listen on 127.0.0.1:" << port << "\n";
    return 1;
  }
  return 0;
}
