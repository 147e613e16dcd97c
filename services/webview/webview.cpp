// The page fetcher on Qt Network, and DownloadToFile on the same network session.
#include "services/webview/webview.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string_view>

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
void StopAllTransfers();

QNetworkAccessManager* Session() {
  static QPointer<QNetworkAccessManager> session;
  if (session == nullptr && QCoreApplication::instance() != nullptr) {
    session = new QNetworkAccessManager(QCoreApplication::instance());
    session->setCookieJar(new QNetworkCookieJar(session));
    // A host that has answered over https with the header is asked over https from then on,
    // without first asking over http to be redirected: Qt rewrites the address in get(), and
    // the target of a redirect before it reports the redirect.
    session->setStrictTransportSecurityEnabled(true);
    static const bool stopping = [] {
      GuiOnSessionEnd(StopAllTransfers);
      return true;
    }();
    (void)stopping;
  }
  return session.data();
}

// One request of a load. Qt follows no redirect by itself here: Qt 6.4, following one, sends
// requests of the chain twice over the connection it reuses, and crashes in its brotli decoder
// when the redirect's body is compressed; both are races, which show now and then, more often on
// a busy machine (tests/services/webview/test_qt_faults.cpp reproduces them).
// Under the user-verified policy Qt still checks each redirect (the count left, a Location that
// is no web address), resolves it and applies the Strict-Transport-Security policies to it, then
// reports it and waits for a go-ahead that never comes: the transfer asks the address itself.
QNetworkRequest RequestFor(const QUrl& url, int redirectsLeft) {
  QNetworkRequest request(url);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(redirectsLeft);
  // Restarted by every byte that comes; the load fails when it runs out.
  request.setTransferTimeout(FetchLimits().idleMilliseconds);
  // The body comes as the server has it, uncompressed, so that its end is the protocol's to
  // prove: a length, which Qt checks (a body that stops short of it is a connection cut off).
  // A compressed body carries its own end mark, and Qt's decompression does not say when the
  // stream stopped before it: a page cut off mid-stream would be taken as whole. Asked this
  // way, Qt leaves any body as it came.
  request.setRawHeader("Accept-Encoding", "identity");
  // HTTP/2 stays off: Qt would use it only over https (it is never offered to an http address),
  // where no server of the tests speaks it (they are HTTP/1.1), so the limits, the redirects and
  // the failures above would go untested on the one protocol the real sites would then get.
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
  request.setRawHeader("Accept", kAccept);
  request.setRawHeader("Accept-Language", kAcceptLanguage);
  return request;
}

// How an answer, or the lack of one, ends a load.
WebViewEnd EndOf(QNetworkReply::NetworkError error, int status) {
  if (status >= 400) return WebViewEnd::kHttpError;  // whatever else went wrong with it
  switch (error) {
    case QNetworkReply::NoError:
      return WebViewEnd::kDocument;
    case QNetworkReply::ConnectionRefusedError:
      return WebViewEnd::kRefused;
    case QNetworkReply::RemoteHostClosedError:
      return WebViewEnd::kCutOff;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:  // the transfer timeout: nothing else aborts
      return WebViewEnd::kTimedOut;              // a reply that is still listened to
    case QNetworkReply::SslHandshakeFailedError:
      return WebViewEnd::kNoSecureChannel;
    case QNetworkReply::TooManyRedirectsError:
      return WebViewEnd::kTooManyRedirects;
    case QNetworkReply::InsecureRedirectError:
      return WebViewEnd::kRedirectRefused;
    case QNetworkReply::ProtocolUnknownError:  // a redirect to no web address
      return status >= 300 ? WebViewEnd::kRedirectRefused : WebViewEnd::kBadAddress;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:  // "network unreachable" and the like
      return WebViewEnd::kNoSite;
    default:
      return error >= QNetworkReply::ProxyConnectionRefusedError &&
                     error <= QNetworkReply::UnknownProxyError
                 ? WebViewEnd::kNoSite
                 : WebViewEnd::kBadAnswer;
  }
}

// One transfer with the limits every load has: it ends by itself with the answer, on a failure,
// after the time in all, after the idle time without a byte, or once the body passes the size
// limit. `done` is called once, with the body (a document's only) and how it ended.
class Transfer {
 public:
  using Done = std::function<void(QByteArray body, WebViewOutcome outcome)>;

  Transfer(const QUrl& url, Done done) : done_(std::move(done)) {
    if (Session() == nullptr || !url.isValid()) {
      outcome_.end = WebViewEnd::kBadAddress;
      return;
    }
    if (GuiSessionEnding()) {
      outcome_.end = WebViewEnd::kStopped;
      return;
    }
    Running().insert(this);
    total_.setSingleShot(true);
    // A coarse timer may fire 5% early, which would end a load before its limit.
    total_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&total_, &QTimer::timeout, [this] { Fail(WebViewEnd::kTimedOut); });
    total_.start(FetchLimits().totalMilliseconds);
    Get(url);
  }

  ~Transfer() {
    Running().erase(this);
    Drop();
  }

  // Once the session has ended, every load still running ends at once, unfinished.
  static void StopAll() {
    const std::set<Transfer*> running = Running();
    for (Transfer* transfer : running)
      if (Running().count(transfer) != 0) transfer->Fail(WebViewEnd::kStopped);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // True when the transfer has ended before `done` could be given anything (a bad address);
  // Outcome() says how.
  bool EndedAtOnce() const { return reply_ == nullptr && done_ != nullptr; }
  WebViewOutcome Outcome() const { return outcome_; }

 private:
  // One request of the chain; the limit in all runs on over the redirects.
  void Get(const QUrl& url) {
    body_.clear();
    reply_ = Session()->get(RequestFor(url, kMaxRedirects - redirects_));
    url_ = reply_->url();  // what is asked for, https where the host's policy says so
    QObject::connect(reply_, &QNetworkReply::metaDataChanged, [this] { CheckHead(); });
    QObject::connect(reply_, &QNetworkReply::readyRead, [this] { Read(); });
    QObject::connect(reply_, &QNetworkReply::finished, [this] { Finish(); });
    QObject::connect(reply_, &QNetworkReply::redirected, [this](const QUrl& to) { Follow(to); });
  }

  // `to` is where the answer leads, already under the host's policy: from https it may only
  // lead to https.
  void Follow(const QUrl& to) {
    if (url_.scheme().toLower() == QLatin1String("https") &&
        to.scheme().toLower() != QLatin1String("https")) {
      Fail(WebViewEnd::kRedirectRefused);
      return;
    }
    ++redirects_;
    earlierBytes_ += answerBytes_;
    answerBytes_ = 0;
    DropReply();
    Get(to);
  }

  // What the head of an answer already rules out. A page in an encoding that was not asked for
  // (RequestFor asks for none) cannot be read, nor shown to have come whole: no document (a
  // redirect's or an error's body is never the document). And Qt reads a redirect's whole body
  // before it reports the redirect, mostly without handing it out: one that announces more than
  // the load may still hold is refused before it is read.
  void CheckHead() {
    if (reply_ == nullptr) return;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray encoding = reply_->rawHeader("Content-Encoding").trimmed().toLower();
    bool announced = false;
    const qint64 length = reply_->rawHeader("Content-Length").trimmed().toLongLong(&announced);
    if (status < 300 && !encoding.isEmpty() && encoding != "identity") {
      Fail(WebViewEnd::kBadAnswer);
    } else if (IsRedirect(status) && announced && earlierBytes_ + length > FetchLimits().maxBytes) {
      Fail(WebViewEnd::kTooBig);
    }
  }

  void Read() {
    if (reply_ == nullptr || !reply_->isOpen()) return;  // a reply that failed has no body
    body_ += reply_->readAll();
    Count(body_.size());
  }

  // Every byte of body the load is given counts against the size limit, a redirect's as much
  // as the page's.
  void Count(qint64 ofThisAnswer) {
    answerBytes_ = std::max(answerBytes_, ofThisAnswer);
    if (reply_ != nullptr && earlierBytes_ + answerBytes_ > FetchLimits().maxBytes)
      Fail(WebViewEnd::kTooBig);
  }

  void Finish() {
    if (reply_ == nullptr) return;
    Read();
    if (reply_ == nullptr) return;
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    outcome_ = WebViewOutcome{EndOf(reply_->error(), status), status};
    // Qt reports a redirect that names no address as one to an address it cannot ask.
    if (IsRedirect(status) && reply_->rawHeader("Location").trimmed().isEmpty())
      outcome_.end = WebViewEnd::kRedirectWithoutTarget;
    End();
  }

  // The statuses Qt follows as redirects; 300 and 304 are answers of their own.
  static bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307 ||
           status == 308;
  }

  void Fail(WebViewEnd end) {
    if (reply_ == nullptr) return;
    outcome_.end = end;
    outcome_.status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    End();
  }

  void End() {
    QByteArray body = outcome_.end == WebViewEnd::kDocument ? std::move(body_) : QByteArray();
    Drop();
    if (done_) {
      Done done = std::move(done_);
      done_ = nullptr;
      done(std::move(body), outcome_);  // may destroy this transfer: nothing after it
    }
  }

  void Drop() {
    total_.stop();
    body_.clear();
    DropReply();
  }

  void DropReply() {
    if (reply_ == nullptr) return;
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    // A reply that has finished, with an error too, has nothing left to abort; Qt complains
    // when it is aborted again.
    if (!reply->isFinished()) reply->abort();
    reply->deleteLater();
  }

  static std::set<Transfer*>& Running() {
    static std::set<Transfer*> running;
    return running;
  }

  Done done_;
  QPointer<QNetworkReply> reply_;
  QTimer total_;
  QUrl url_;  // of the request under way
  int redirects_ = 0;
  qint64 earlierBytes_ = 0;  // of body, of the redirects before the answer under way
  qint64 answerBytes_ = 0;   // of body, of the answer under way
  QByteArray body_;
  WebViewOutcome outcome_;
};

void StopAllTransfers() { Transfer::StopAll(); }

// What the program knows of one view: its last address, how its last load ended, and the
// document that load brought.
struct View {
  QPointer<QWidget> widget;
  Text address;
  bool busy = false;
  WebViewOutcome outcome;
  QByteArray body;  // the document as received, zero bytes and all; empty without one
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
  if (!initialAddress.empty()) {
    // The view is busy with its first address at once, but the request goes out from the event
    // loop, after what the caller does next (a program builds the rest of its window). The
    // first request waits on the first look at the system's proxy settings, which loads and
    // reads them (milliseconds); a worker looks now, meanwhile, and the request finds them read.
    // A load asked for before the loop runs replaces this one, as any load replaces the one
    // before.
    view.address = initialAddress;
    view.busy = true;
    QThreadPool::globalInstance()->start([url = WebViewUrl(initialAddress)] {
      QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    });
    QTimer::singleShot(0, widget, [number, initialAddress] {
      const View* v = ViewOf(number);
      if (v != nullptr && v->busy && v->transfer == nullptr && v->address == initialAddress)
        WebViewNavigate(number, initialAddress);
    });
  }
  return widget;
}

void WebViewNavigate(int number, const Text& address) {
  View* view = ViewOf(number);
  if (view == nullptr || address.empty()) return;
  view->ended.reset();
  view->transfer.reset();  // the load before this one ends here, unseen
  view->address = address;
  view->body.clear();
  view->outcome = WebViewOutcome{};
  view->busy = true;
  auto transfer = std::make_unique<Transfer>(
      WebViewUrl(address), [number](QByteArray body, WebViewOutcome outcome) {
        View* v = ViewOf(number);
        if (v == nullptr) return;
        v->body = std::move(body);
        v->outcome = outcome;
        v->busy = false;
        // The wait in FetchPage sees the end now rather than at its next look.
        GuiWakeWait();
        // The transfer that calls this is still running its own code: it is kept aside and
        // freed by the next load or with the view.
        v->ended = std::move(v->transfer);
      });
  if (transfer->EndedAtOnce()) {
    view->outcome = transfer->Outcome();
    view->busy = false;
    return;
  }
  view->transfer = std::move(transfer);
}

int WebViewBusy(int number) {
  View* view = ViewOf(number);
  return view != nullptr && view->busy ? 1 : 0;
}

WebViewOutcome WebViewResult(int number) {
  View* view = ViewOf(number);
  return view != nullptr ? view->outcome : WebViewOutcome{};
}

Text WebViewSource(int number) {
  View* view = ViewOf(number);
  return view != nullptr ? DocumentOf(view->body) : Text{};
}

int WebViewSaveDocument(int number, const Text& localPath) {
  View* view = ViewOf(number);
  if (localPath.empty()) return 0;
  if (view == nullptr || view->busy || view->outcome.end != WebViewEnd::kDocument) {
    FileDelete(localPath);
    return 0;
  }
  return FileWriteWhole(localPath, std::string_view(view->body.constData(),
                                                    static_cast<std::size_t>(view->body.size())));
}

// --- Downloads -------------------------------------------------------------------------------

WebViewOutcome DownloadToFile(const Text& url, const Text& localPath) {
  if (localPath.empty()) return {};
  bool ended = false;
  WebViewOutcome outcome;
  QByteArray body;
  QEventLoop loop;
  Transfer transfer(WebViewUrl(url), [&](QByteArray b, WebViewOutcome o) {
    body = std::move(b);
    outcome = o;
    ended = true;
    loop.quit();
  });
  if (transfer.EndedAtOnce()) outcome = transfer.Outcome();
  // Every event is processed meanwhile, input too, so none is left queued to be carried out
  // after the wait: the caller's locked window (WindowSetEnabled) drops what a person does.
  if (!transfer.EndedAtOnce() && !ended) loop.exec();
  FileDelete(localPath);
  if (outcome.end == WebViewEnd::kDocument) {
    FileWriteWhole(localPath,
                   std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
  }
  return outcome;
}
