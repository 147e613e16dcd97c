#include "tests/whole/fault_site.h"

#include <httplib.h>

#include <chrono>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

#include "services/webview/webview.h"
#include "sources/hosts.h"

namespace whole {
namespace {

// The card's Windows-1252 labels, byte for byte.
const std::string kGenero = "G\xE9nero:";
const std::string kPuntuacion = "Puntuaci\xF3n:";

std::string Linked(const std::string& name, int id) {
  return "<a href=../art/ver_e.php?nombre=" + std::to_string(id) + ">" + name + "</a>";
}

}  // namespace

std::string FaultSite::FilmPage(const SiteFilm& film) {
  std::string actors;
  int id = 300;
  std::size_t start = 0;
  while (start <= film.actors.size()) {
    std::size_t end = film.actors.find('\n', start);
    if (end == std::string::npos) end = film.actors.size();
    if (!actors.empty()) actors += "<br>";
    actors += Linked(film.actors.substr(start, end - start), ++id);
    start = end + 1;
  }
  std::string page = "<html><head><title>" + film.title + "</title></head><body>\n";
  page += "<table><tr><td><font class='titulo2'>" + film.title + "</font><br>\n";
  if (!film.cover.empty()) page += "<img src=\"/imatges/articulos/" + film.cover + "\" width=200>\n";
  page += "<font class='titulo3'>" + kGenero + "</font><br>Drama<br><br>";
  page += "<font class='titulo3'>Nacionalidad:</font><br>Espa\xF1" "a<br><br>";
  page += "<font class = 'titulo3'>Director:</font><br>" + Linked(film.director, 77) + "<br><br>\n";
  page += "<font class='titulo3'>Calificaci\xF3n moral:</font> Todos los p\xFA" "blicos<br>\n";
  page += "<a href=votos.php>12 votos. " + kPuntuacion + " <font class = 'titulo3'>7</font> / 10</a>\n";
  page += "<font class='titulo3'>Actores:</font><br>" + actors + "<br><br><font class='titulo3'>\n";
  page += "<b>Sinopsis:</b>Una pel\xED" "cula de prueba.<br><br>\n";
  page += "</td></tr></table></body></html>\n";
  return page;
}

FaultSite::FaultSite() : server_(std::make_unique<httplib::Server>()) {
  // The program keeps its connections open; a short wait for their next request lets the
  // server stop within a second at the end of a test.
  server_->set_keep_alive_timeout(1);
  server_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
    Fault fault = Fault::kNone;
    std::vector<SiteFilm> films;
    std::string cover;
    bool haveCover = false;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request.target);
      for (const auto& [prefix, rule] : faults_)
        if (request.path.rfind(prefix, 0) == 0) fault = rule;
      films = films_;
      const std::string coverPrefix = "/imatges/articulos/";
      if (request.path.rfind(coverPrefix, 0) == 0) {
        auto it = covers_.find(request.path.substr(coverPrefix.size()));
        if (it != covers_.end()) {
          cover = it->second;
          haveCover = true;
        }
      }
    }

    if (fault == Fault::kHtmlError) {
      response.status = 404;
      response.set_content(
          "<html><head><title>404 No encontrado</title></head><body><h1>No encontrado</h1>"
          "<p>La p\xE1gina pedida no existe.</p></body></html>",
          "text/html; charset=windows-1252");
      return;
    }
    if (fault == Fault::kServerError) {
      // An error page that carries the markers of the page asked for, as a site's may.
      response.status = 500;
      response.set_content("<html><body><h1>Error interno</h1>"
                           "<a href='../art/ver.php?art=999'>Error </a><br>"
                           "<font class='titulo2'>Error del servidor</font><br></body></html>",
                           "text/html; charset=windows-1252");
      return;
    }
    if (fault == Fault::kStall) {
      // The program gives up at its idle limit; the answer comes too late for anyone.
      std::this_thread::sleep_for(std::chrono::milliseconds(FetchLimits().idleMilliseconds + 500));
    }
    if (fault == Fault::kNoHits) films.clear();

    std::string body;
    std::string type = "text/html; charset=windows-1252";
    if (request.path == "/bus/resu.php") {
      body = "<html><body><h2>Resultados</h2>\n";
      for (const SiteFilm& film : films) {
        body += "<a href='../art/ver.php?art=" + film.id + "'>" + film.title + " </a><br>\n";
      }
      body += "</body></html>\n";
    } else if (request.path == "/art/ver.php") {
      const std::string id = request.get_param_value("art");
      for (const SiteFilm& film : films) {
        if (film.id == id) body = FilmPage(film);
      }
      if (body.empty()) response.status = 404;
    } else if (haveCover) {
      body = cover;
      type = "image/jpeg";
    } else if (request.path == "/") {
      body = "<html><body>Culturalia</body></html>";
    } else {
      response.status = 404;
      body = "<html><body>404</body></html>";
    }

    if (fault == Fault::kDieMidway) {
      // Half the page, then the connection drops and the server stops listening.
      const std::size_t half = body.size() / 2;
      response.set_content_provider(
          body.size(), type,
          [this, body, half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset == 0) sink.write(body.data(), half);
            listening_ = false;
            server_->stop();
            return false;
          });
      return;
    }
    response.set_content(body, type);
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  listening_ = true;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
}

FaultSite::~FaultSite() {
  server_->stop();
  thread_.join();
}

std::string FaultSite::Host() const { return "127.0.0.1:" + std::to_string(port_); }

void FaultSite::UseForSources() const {
  SourceHosts& hosts = sourceHosts();
  hosts.imdb = Host();
  hosts.imdbPro = Host();
  hosts.culturalia = Host();
  hosts.culturaliaDomain = Host();
}

void FaultSite::AddFilm(const SiteFilm& film) {
  std::lock_guard lock(mutex_);
  films_.push_back(film);
}

void FaultSite::SetCover(const std::string& path, const std::string& bytes) {
  std::lock_guard lock(mutex_);
  covers_[path] = bytes;
}

void FaultSite::SetFault(const std::string& pathPrefix, Fault fault) {
  std::lock_guard lock(mutex_);
  faults_[pathPrefix] = fault;
}

std::vector<std::string> FaultSite::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int FaultSite::RequestCount(const std::string& targetPart) const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const std::string& target : requests_) {
    if (target.find(targetPart) != std::string::npos) ++count;
  }
  return count;
}

std::string MakeJpeg(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(40, 90, 160));
  QPainter painter(&image);
  painter.fillRect(width / 4, height / 4, width / 2, height / 2, QColor(240, 200, 60));
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 90);
  return bytes.toStdString();
}

}  // namespace whole
