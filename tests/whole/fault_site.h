#pragma once
// A small Culturalia-shaped site on a loopback port for the fault tests, whose answers can be
// made to fail on purpose: a page can be cut off halfway with the connection dropped (the server
// then stops listening, as a server that dies does), any path can answer an HTML error page (404
// or 500) or hold its answer past the program's idle limit, and the search page can list no
// film. Every request target is recorded in arrival order.
//
// Pages follow the markers the program reads: a search page of result links
// "href='../art/ver.php?art=<id>'>Title </a>", film pages with the titulo2/titulo3 labels, and
// covers below "/imatges/articulos/".
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace whole {

struct SiteFilm {
  std::string id;        // article number
  std::string title;     // as the card shows it
  std::string director;
  std::string actors;    // names, one a line (CR LF between them on the card)
  std::string cover;     // path below /imatges/articulos/, "" for none
};

class FaultSite {
 public:
  enum class Fault { kNone, kDieMidway, kHtmlError, kServerError, kStall, kNoHits };

  FaultSite();
  ~FaultSite();
  FaultSite(const FaultSite&) = delete;
  FaultSite& operator=(const FaultSite&) = delete;

  // "127.0.0.1:<port>", what the source hosts are set to.
  std::string Host() const;
  // Points the program's source hosts at this site.
  void UseForSources() const;

  // The films the search page "/bus/resu.php?texto=<anything>&donde=1" lists, in order.
  void AddFilm(const SiteFilm& film);
  void SetCover(const std::string& path, const std::string& bytes);
  // Makes later requests whose path starts with `pathPrefix` fail in the given way.
  void SetFault(const std::string& pathPrefix, Fault fault);

  std::vector<std::string> Requests() const;
  int RequestCount(const std::string& targetPart) const;
  bool Listening() const { return listening_; }

  // The film page's HTML for a film, as the site serves it.
  static std::string FilmPage(const SiteFilm& film);

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> listening_{false};
  mutable std::mutex mutex_;
  std::vector<SiteFilm> films_;
  std::map<std::string, std::string> covers_;
  std::map<std::string, Fault> faults_;
  std::vector<std::string> requests_;
};

// A baseline JPEG of the given size (for covers), made with Qt's writer in the test only.
std::string MakeJpeg(int width, int height);

}  // namespace whole
