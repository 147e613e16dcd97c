// The page fetcher on Qt Network, and DownloadToFile on the same network session.
#include "services/webview/webview.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHstsPolicy>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <zlib.h>

#include <cctype>
#include <functional>
#include <map>
#include <memory>

#include "services/files/files.h"
#include "services/gui/gui_qt.h"
#include "services/webview/webview_qt.h"

namespace {

constexpr char kUserAgent[] =
    "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0";
constexpr char kAccept[] = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
constexpr char kAcceptLanguage[] = "es-ES,es;q=0.9";
constexpr int kMaxRedirects = 10;

// One network session for the whole run, as a browser has: its cookie jar and the sites'
// Strict-Transport-Security policies live in memory only, and its connections stay open between
// requests (HTTP/1.1 keep-alive), so the pages of a lookup and of the next one all go over the
// connection the first one opened. It is a child of the application object, so it goes before
// the application does.
QNetworkAccessManager* Session() {
  static QPointer<QNetworkAccessManager> session;
  if (session == nullptr && QCoreApplication::instance() != nullptr) {
    session = new QNetworkAccessManager(QCoreApplication::instance());
    session->setCookieJar(new QNetworkCookieJar(session));
    session->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // A host that has answered over https with the header is asked over https from then on,
    // without first asking over http to be redirected (Qt rewrites the address in get()).
    session->setStrictTransportSecurityEnabled(true);
  }
  return session.data();
}

// The address as the session will ask for it: http on a host whose policy is in force becomes
// https, and port 80 becomes 443.
QUrl UnderStrictTransport(const QUrl& url) {
  if (url.scheme().toLower() != QLatin1String("http")) return url;
  const QString host = url.host().toLower();
  for (const QHstsPolicy& policy : Session()->strictTransportSecurityHosts()) {
    const QString known = policy.host().toLower();
    const bool covered =
        host == known || (policy.includesSubDomains() && host.endsWith(QLatin1Char('.') + known));
    if (covered && !policy.isExpired()) {
      QUrl secure = url;
      secure.setScheme(QStringLiteral("https"));
      if (secure.port() == 80) secure.setPort(443);
      return secure;
    }
  }
  return url;
}

QNetworkRequest RequestFor(const QUrl& url) {
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
  request.setRawHeader("Accept", kAccept);
  request.setRawHeader("Accept-Language", kAcceptLanguage);
  // The body is inflated here, not by Qt: Qt 6.4 also offers brotli and crashes in its brotli
  // decoder when a compressed redirect is followed. Offering gzip alone keeps Qt out of it.
  request.setRawHeader("Accept-Encoding", "gzip");
  return request;
}

// Inflates a gzip body piece by piece as it arrives.
class GzipInflater {
 public:
  GzipInflater() { ready_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK; }
  ~GzipInflater() {
    if (ready_) inflateEnd(&stream_);
  }
  GzipInflater(const GzipInflater&) = delete;
  GzipInflater& operator=(const GzipInflater&) = delete;

  // Appends what the piece inflates to; false for a broken stream. It stops early once `out`
  // has passed `limit`, so a small body that would inflate to gigabytes costs no more.
  bool Feed(const QByteArray& piece, QByteArray& out, std::int64_t limit) {
    if (!ready_) return false;
    if (ended_ || piece.isEmpty()) return true;  // what follows the end is not the body
    started_ = true;
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
    stream_.avail_in = static_cast<uInt>(piece.size());
    char buffer[65536];
    do {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer);
      stream_.avail_out = sizeof buffer;
      const int rc = inflate(&stream_, Z_NO_FLUSH);
      out.append(buffer, static_cast<qsizetype>(sizeof buffer - stream_.avail_out));
      if (rc == Z_STREAM_END) {
        ended_ = true;
        return true;
      }
      if (rc == Z_BUF_ERROR) return true;  // it needs more input
      if (rc != Z_OK) return false;
    } while ((stream_.avail_out == 0 || stream_.avail_in > 0) && out.size() <= limit);
    return true;
  }

  // A stream that began must have reached its end: otherwise the body was cut short.
  bool Complete() const { return ended_ || !started_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
  bool started_ = false;
  bool ended_ = false;
};

// One transfer with the limits every load has: it ends by itself on success, on failure, after
// the time in all, after the idle time without a byte, or once the body passes the size limit.
// `done` is called once, with the body and whether it counts as a document.
class Transfer {
 public:
  using Done = std::function<void(QByteArray body, bool ok, bool httpAnswer)>;

  Transfer(const QUrl& url, Done done) : done_(std::move(done)) {
    QNetworkAccessManager* session = Session();
    if (session == nullptr || !url.isValid()) {
      finished_ = true;
      return;
    }
    total_.setSingleShot(true);
    idle_.setSingleShot(true);
    // A coarse timer may fire 5% early, which would end a load before its limit.
    total_.setTimerType(Qt::PreciseTimer);
    idle_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&total_, &QTimer::timeout, [this] { Fail(); });
    QObject::connect(&idle_, &QTimer::timeout, [this] { Fail(); });
    total_.start(FetchLimits().totalMilliseconds);
    Get(url);
  }

  ~Transfer() { Drop(); }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // True when the transfer has ended before `done` could be given anything (a bad address).
  bool EndedAtOnce() const { return finished_ && reply_ == nullptr; }

 private:
  // One request of the chain; the limit in all runs on over the redirects.
  void Get(const QUrl& url) {
    url_ = url;
    body_.clear();
    inflater_.reset();
    encodingKnown_ = false;
    reply_ = Session()->get(RequestFor(url));
    url_ = reply_->url();  // what is asked for, https where the host's policy says so
    idle_.start(FetchLimits().idleMilliseconds);
    auto alive = [this] { idle_.start(FetchLimits().idleMilliseconds); };
    QObject::connect(reply_, &QNetworkReply::metaDataChanged, alive);
    QObject::connect(reply_, &QNetworkReply::downloadProgress, alive);
    QObject::connect(reply_, &QNetworkReply::readyRead, [this] { Read(); });
    QObject::connect(reply_, &QNetworkReply::finished, [this] { Finish(); });
  }

  // Where a redirect answer leads, or an empty address when it is none to follow: a scheme
  // other than HTTP, or from HTTPS down to HTTP, as a browser refuses.
  QUrl RedirectTarget() const {
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
      return {};
    }
    const QUrl location = reply_->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (location.isEmpty()) return {};
    const QUrl next = UnderStrictTransport(url_.resolved(location));
    const QString scheme = next.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};
    if (scheme == QLatin1String("http") && url_.scheme().toLower() == QLatin1String("https")) {
      return {};
    }
    return next.isValid() ? next : QUrl();
  }

  void Read() {
    if (reply_ == nullptr) return;
    const QByteArray piece = reply_->readAll();
    if (!encodingKnown_) {
      // Qt delivers only the last answer of a redirect chain, so its header is the one.
      encodingKnown_ = true;
      const QByteArray coding = reply_->rawHeader("Content-Encoding").trimmed().toLower();
      if (coding == "gzip" || coding == "x-gzip") inflater_ = std::make_unique<GzipInflater>();
    }
    if (inflater_ == nullptr) {
      body_ += piece;
    } else if (!inflater_->Feed(piece, body_, FetchLimits().maxBytes)) {
      Fail();
      return;
    }
    if (body_.size() > FetchLimits().maxBytes) Fail();
  }

  void Finish() {
    if (reply_ == nullptr) return;
    Read();
    if (reply_ == nullptr) return;
    // Redirects are followed here, one request each: Qt's own following sends some requests
    // of a chain twice (Qt 6.4 resends them on connections it reuses).
    if (const QUrl next = RedirectTarget(); !next.isEmpty()) {
      if (redirects_ == kMaxRedirects) {
        Fail();
        return;
      }
      ++redirects_;
      QNetworkReply* answered = reply_;
      reply_ = nullptr;
      QObject::disconnect(answered, nullptr, nullptr, nullptr);
      answered->deleteLater();
      Get(next);
      return;
    }
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = reply_->error();
    // A server's error page (404, 500, ...) is a document; a broken connection is not.
    const bool httpAnswer = status.isValid() && status.toInt() > 0;
    const bool contentError = error == QNetworkReply::NoError ||
                              (error >= QNetworkReply::ContentAccessDenied &&
                               error < QNetworkReply::ProtocolUnknownError) ||
                              (error >= QNetworkReply::InternalServerError &&
                               error <= QNetworkReply::UnknownServerError);
    const bool whole = inflater_ == nullptr || inflater_->Complete();
    const bool ok = httpAnswer && contentError && whole;
    End(ok ? body_ : QByteArray(), ok, ok && error == QNetworkReply::NoError);
  }

  void Fail() {
    if (reply_ == nullptr) return;
    End(QByteArray(), false, false);
  }

  void End(QByteArray body, bool ok, bool success) {
    Drop();
    finished_ = true;
    if (done_) {
      Done done = std::move(done_);
      done_ = nullptr;
      done(std::move(body), ok, success);  // may destroy this transfer: nothing after it
    }
  }

  void Drop() {
    total_.stop();
    idle_.stop();
    body_.clear();
    if (reply_ != nullptr) {
      QNetworkReply* reply = reply_;
      reply_ = nullptr;
      QObject::disconnect(reply, nullptr, nullptr, nullptr);
      // A reply that has finished, with an error too, has nothing left to abort; Qt complains
      // when it is aborted again.
      if (!reply->isFinished()) reply->abort();
      reply->deleteLater();
    }
  }

  Done done_;
  QPointer<QNetworkReply> reply_;
  QTimer total_;
  QTimer idle_;
  QUrl url_;  // of the request under way
  int redirects_ = 0;
  QByteArray body_;
  bool encodingKnown_ = false;
  std::unique_ptr<GzipInflater> inflater_;
  bool finished_ = false;
};

// What the program knows of one view: its last address and its current document.
struct View {
  QPointer<QWidget> widget;
  Text address;
  bool busy = false;
  bool hasDocument = false;  // the last load ended with a document (an empty one too)
  QByteArray body;           // that document as received, zero bytes and all
  std::unique_ptr<Transfer> transfer;
  std::unique_ptr<Transfer> ended;  // the last finished load, freed at the next one
};

std::map<int, View>& Views() {
  static std::map<int, View> views;
  return views;
}

View* ViewOf(int number) {
  auto it = Views().find(number);
  if (it == Views().end() || it->second.widget == nullptr) return nullptr;
  return &it->second;
}

// The body as single-byte text, cut at its first zero byte.
Text DocumentOf(const QByteArray& body) {
  const qsizetype zero = body.indexOf('\0');
  return Text(body.constData(), static_cast<std::size_t>(zero < 0 ? body.size() : zero));
}

}  // namespace

// --- Addresses on the wire -----------------------------------------------------------------

QByteArray WebViewWireAddress(const Text& address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kUnsafe = " \"<>\\^`{|}#";
  QByteArray out;
  out.reserve(static_cast<qsizetype>(address.size()));
  auto isHex = [&address](std::size_t at) {
    return at < address.size() && std::isxdigit(static_cast<unsigned char>(address[at])) != 0;
  };
  for (std::size_t i = 0; i < address.size(); ++i) {
    const char ch = address[i];
    const auto byte = static_cast<unsigned char>(ch);
    // A "%" that starts no escape ("100%") would make the whole address invalid: it goes as %25.
    const bool lonePercent = ch == '%' && !(isHex(i + 1) && isHex(i + 2));
    if (byte < 0x20 || byte >= 0x7F || lonePercent ||
        kUnsafe.find(ch) != std::string_view::npos) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

QUrl WebViewUrl(const Text& address) {
  // Everything that needs an escape has one now; strict parsing keeps the rest as it is.
  return QUrl::fromEncoded(WebViewWireAddress(address), QUrl::StrictMode);
}

// --- The view --------------------------------------------------------------------------------

NativeHandle GadgetCreateWebView(int number, int x, int y, int w, int h,
                                 const Text& initialAddress, int flag) {
  QWidget* parent = GuiCurrentTarget();
  if (parent == nullptr || number < 0 || flag != 0 || Session() == nullptr) return nullptr;
  Views().erase(number);
  auto* widget = new QWidget(parent);
  widget->setObjectName(QStringLiteral("webview"));
  widget->setGeometry(x, y, w, h);
  widget->hide();
  View& view = Views()[number];
  view.widget = widget;
  // The GUI layer frees the widget when the number is reused or at shutdown; the load goes too.
  QObject::connect(widget, &QObject::destroyed, [number, widget] {
    auto it = Views().find(number);
    if (it != Views().end() && (it->second.widget == nullptr || it->second.widget == widget)) {
      Views().erase(it);
    }
  });
  GuiAdoptGadget(number, widget,
                 GadgetHooks{[number](const Text& text) { WebViewNavigate(number, text); },
                             [number]() -> Text {
                               View* v = ViewOf(number);
                               return v != nullptr ? v->address : Text{};
                             }});
  if (!initialAddress.empty()) WebViewNavigate(number, initialAddress);
  return widget;
}

void WebViewNavigate(int number, const Text& address) {
  View* view = ViewOf(number);
  if (view == nullptr || address.empty()) return;
  view->ended.reset();
  view->transfer.reset();  // the load before this one ends here, unseen
  view->address = address;
  view->body.clear();
  view->hasDocument = false;
  view->busy = true;
  auto transfer = std::make_unique<Transfer>(
      WebViewUrl(address), [number](QByteArray body, bool ok, bool) {
        View* v = ViewOf(number);
        if (v == nullptr) return;
        v->body = std::move(body);
        v->hasDocument = ok;
        v->busy = false;
        // The wait in FetchPage sees the end now rather than at its next look.
        GuiWakeWait();
        // The transfer that calls this is still running its own code: it is kept aside and
        // freed by the next load or with the view.
        v->ended = std::move(v->transfer);
      });
  if (transfer->EndedAtOnce()) {
    view->busy = false;
    return;
  }
  view->transfer = std::move(transfer);
}

int WebViewBusy(int number) {
  View* view = ViewOf(number);
  return view != nullptr && view->busy ? 1 : 0;
}

Text WebViewSource(int number) {
  View* view = ViewOf(number);
  return view != nullptr ? DocumentOf(view->body) : Text{};
}

int WebViewSaveDocument(int number, const Text& localPath) {
  View* view = ViewOf(number);
  if (localPath.empty()) return 0;
  if (view == nullptr || view->busy || !view->hasDocument) {
    FileDelete(localPath);
    return 0;
  }
  return FileWriteWhole(localPath, std::string_view(view->body.constData(),
                                                    static_cast<std::size_t>(view->body.size())));
}

// --- Downloads -------------------------------------------------------------------------------

void DownloadToFile(const Text& url, const Text& localPath) {
  if (localPath.empty()) return;
  bool ended = false;
  bool success = false;
  QByteArray body;
  QEventLoop loop;
  Transfer transfer(WebViewUrl(url), [&](QByteArray b, bool, bool ok) {
    body = std::move(b);
    success = ok;
    ended = true;
    loop.quit();
  });
  // Every event is processed meanwhile, input too, so none is left queued to be carried out
  // after the wait: the caller's locked window (WindowSetEnabled) drops what a person does.
  if (!transfer.EndedAtOnce() && !ended) loop.exec();
  FileDelete(localPath);
  if (!success) return;
  FileWriteWhole(localPath,
                 std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
}
