// The page fetcher and DownloadToFile against in-process servers: what goes on the wire, what
// comes back as the document, and how every kind of bad server ends.
#include <gtest/gtest.h>

#include <httplib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QWidget>

#include <atomic>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "program/variables.h"
#include "services/files/files.h"
#include "services/gui/gui.h"
#include "services/webview/webview.h"
#include "services/webview/webview_qt.h"
#include "sources/sources.h"
#include "tests/support/test_server.h"

namespace {

using testsupport::RawTestServer;
using testsupport::Reply;
using testsupport::TestServer;

constexpr int kWindow = 1;
constexpr int kView = 1;  // the number FetchPage loads through

// This executable is built with short limits (tests/CMakeLists.txt), so a stalled server costs
// seconds, not half a minute; the size limit is the program's. The program's own limits are
// checked in program_limits/.
const double kTotal = FetchLimits().totalMilliseconds / 1000.0;
const double kIdle = FetchLimits().idleMilliseconds / 1000.0;
// Timers may fire a little early by the clock the test reads; the idle limit is Qt's transfer
// timeout, which runs on a coarse timer: up to 5% early.
constexpr double kEarly = 0.05;
const double kIdleEarly = 0.05 * kIdle;

Reply Page(std::string body, int status = 200) {
  Reply reply;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

Reply Binary(std::string body, std::string contentType) {
  Reply reply = Page(std::move(body));
  reply.contentType = std::move(contentType);
  return reply;
}

Reply WithCookie(std::string body, const std::string& cookie) {
  Reply reply = Page(std::move(body));
  reply.headers.emplace_back("Set-Cookie", cookie);
  return reply;
}

std::string Gzip(const std::string& plain) {
  httplib::detail::gzip_compressor compressor;
  std::string out;
  compressor.compress(plain.data(), plain.size(), true, [&](const char* data, std::size_t n) {
    out.append(data, n);
    return true;
  });
  return out;
}

// The CPU time of the whole process (every thread, the test servers' too), in seconds.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A server that reads the request and then sends nothing until the test ends.
RawTestServer::ConnectionHandler Stall() {
  return [](RawTestServer::Connection&, const RawTestServer& s) { s.Pause(120000); };
}

// A server that sends its head and then one byte a second.
RawTestServer::ConnectionHandler Drip() {
  return [](RawTestServer::Connection& c, const RawTestServer& s) {
    RawTestServer::SendAll(c.fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    while (s.Pause(1000)) {
      if (!RawTestServer::SendAll(c.fd, "x")) return;
    }
  };
}

// A server that sends half a page and resets the connection.
RawTestServer::ConnectionHandler ResetMidBody() {
  return [](RawTestServer::Connection& c, const RawTestServer&) {
    RawTestServer::SendAll(c.fd, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html>half");
    RawTestServer::Reset(c);
  };
}

// A server that promises more than it sends and closes the connection in good order.
RawTestServer::ConnectionHandler CutShort() {
  return [](RawTestServer::Connection& c, const RawTestServer&) {
    RawTestServer::SendAll(c.fd, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html>short");
  };
}

class Fetcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(WindowOpen(kWindow, 0, 0, 400, 300, "fetcher", kWindowInvisible), nullptr);
    ASSERT_NE(GadgetCreateWebView(kView, 385, 5, 200, 150, "", 0), nullptr);
  }
  void TearDown() override {
    WindowClose(kWindow);
    DropKeptConnections();
  }
  // The session keeps connections alive for the next load; a test server would wait for them
  // to time out before it stops.
  static void DropKeptConnections() {
    for (auto* session : QCoreApplication::instance()->findChildren<QNetworkAccessManager*>()) {
      session->clearConnectionCache();
    }
  }

  // Navigates, notes the busy flag right after, waits as FetchPage does, answers the source.
  Text Load(const std::string& url) {
    WebViewNavigate(kView, url);
    busyRightAfter_ = WebViewBusy(kView);
    Wait();
    return WebViewSource(kView);
  }
  static WebViewEnd End() { return WebViewResult(kView).end; }
  static void Wait() {
    while (WebViewBusy(kView) == 1) EventWaitFor(10);
  }

  TestServer server_;
  int busyRightAfter_ = -1;
};

// --- Documents -------------------------------------------------------------------------------

TEST_F(Fetcher, EachLoadIsBusyAtOnceAndGivesItsOwnDocument) {
  server_.Route("/one", Page("<html>one</html>"));
  server_.Route("/two", Page("<html>two</html>"));
  EXPECT_EQ(Load(server_.Url("/one")), "<html>one</html>");
  EXPECT_EQ(busyRightAfter_, 1);
  EXPECT_EQ(WebViewBusy(kView), 0);
  // The previous document is complete; the next load must still be seen as busy at once.
  EXPECT_EQ(Load(server_.Url("/two")), "<html>two</html>");
  EXPECT_EQ(busyRightAfter_, 1);
  EXPECT_EQ(GadgetGetText(kView), server_.Url("/two"));
}

TEST_F(Fetcher, BusyFromTheNavigateUntilTheServerHasAnswered) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  server_.Route("/before", Page("before"));
  server_.Handle("/held", [release](const httplib::Request&, httplib::Response& res) {
    while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    res.set_content("held page", "text/html");
  });
  ASSERT_EQ(Load(server_.Url("/before")), "before");

  WebViewNavigate(kView, server_.Url("/held"));
  int looks = 0;
  int notBusy = 0;
  // Look as FetchPage does, until the server holds the request and a while after.
  while (looks < 1000 && (server_.CountTargets("/held") == 0 || looks < 30)) {
    if (WebViewBusy(kView) != 1) ++notBusy;
    if (WebViewSource(kView) == "before") ++notBusy;
    EventWaitFor(10);
    ++looks;
  }
  EXPECT_EQ(server_.CountTargets("/held"), 1);
  EXPECT_EQ(notBusy, 0) << "the previous, finished document showed through the new load";
  EXPECT_EQ(WebViewBusy(kView), 1);
  *release = true;
  Wait();
  EXPECT_EQ(WebViewSource(kView), "held page");
}

TEST_F(Fetcher, SetTextNavigatesAndAnEmptyAddressIsIgnored) {
  server_.Route("/page", Page("page"));
  GadgetSetText(kView, server_.Url("/page"));
  EXPECT_EQ(WebViewBusy(kView), 1);
  Wait();
  EXPECT_EQ(WebViewSource(kView), "page");
  WebViewNavigate(kView, "");
  EXPECT_EQ(WebViewBusy(kView), 0);
  GadgetSetText(kView, "");
  EXPECT_EQ(WebViewBusy(kView), 0);
  for (int i = 0; i < 5; ++i) EventWaitFor(10);
  EXPECT_EQ(WebViewSource(kView), "page");
  EXPECT_EQ(GadgetGetText(kView), server_.Url("/page"));
  EXPECT_EQ(server_.RequestCount(), 1u);
}

TEST_F(Fetcher, BodiesAreBytesCutAtTheFirstZeroAndErrorPagesAreNoDocuments) {
  struct Case {
    std::string target;
    Reply reply;
    Text source;
    WebViewOutcome outcome;
  };
  const Case cases[] = {
      {"/zero", Page(std::string("abc\0def", 7)), "abc", {WebViewEnd::kDocument, 200}},
      {"/lead", Page(std::string("\0abc", 4)), "", {WebViewEnd::kDocument, 200}},
      {"/high", Page("Pel\xED" "culas \x80\xFF"), "Pel\xED" "culas \x80\xFF",
       {WebViewEnd::kDocument, 200}},
      {"/empty", Page(""), "", {WebViewEnd::kDocument, 200}},
      {"/unchanged", Page("", 304), "", {WebViewEnd::kDocument, 304}},
      {"/missing", Page("<html>no existe</html>", 404), "", {WebViewEnd::kHttpError, 404}},
      {"/broken", Page("<html>error</html>", 500), "", {WebViewEnd::kHttpError, 500}},
      {"/busy", Page("<html>vuelva luego</html>", 503), "", {WebViewEnd::kHttpError, 503}},
  };
  for (const Case& c : cases) {
    server_.Route(c.target, c.reply);
    EXPECT_EQ(Load(server_.Url(c.target)), c.source) << c.target;
    EXPECT_EQ(End(), c.outcome.end) << c.target;
    EXPECT_EQ(WebViewResult(kView).status, c.outcome.status) << c.target;
  }
}

TEST_F(Fetcher, ANewLoadReplacesOneStillRunning) {
  RawTestServer slow(Stall());
  server_.Route("/fast", Page("fast"));
  WebViewNavigate(kView, slow.Url("/slow"));
  EXPECT_EQ(WebViewBusy(kView), 1);
  EXPECT_EQ(Load(server_.Url("/fast")), "fast");
  EXPECT_EQ(busyRightAfter_, 1);
  // The abandoned load does not come back later as the document.
  for (int i = 0; i < 20; ++i) EventWaitFor(10);
  EXPECT_EQ(WebViewSource(kView), "fast");
}

TEST_F(Fetcher, ClosingTheWindowMidLoadFreesTheView) {
  RawTestServer slow(Stall());
  WebViewNavigate(kView, slow.Url("/slow"));
  EXPECT_EQ(WebViewBusy(kView), 1);
  WindowClose(kWindow);
  EXPECT_EQ(WebViewBusy(kView), 0);
  EXPECT_EQ(WebViewSource(kView), "");
  WebViewNavigate(kView, server_.Url("/x"));  // nothing there to navigate
  EXPECT_EQ(WebViewBusy(kView), 0);
  for (int i = 0; i < 20; ++i) EventWaitFor(10);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST(FetcherCreation, FailsWithAnotherKindAndIsMadeHidden) {
  WindowClose(kWindow);
  WindowClose(2);
  ASSERT_NE(WindowOpen(2, 0, 0, 100, 100, "x", kWindowInvisible), nullptr);
  EXPECT_EQ(GadgetCreateWebView(9, 0, 0, 10, 10, "", 1), nullptr);
  EXPECT_EQ(WebViewBusy(9), 0);
  EXPECT_EQ(WebViewSource(9), "");
  NativeHandle view = GadgetCreateWebView(9, 0, 0, 10, 10, "", 0);
  ASSERT_NE(view, nullptr);
  // It is a fetcher: nothing to see.
  EXPECT_TRUE(static_cast<QWidget*>(view)->isHidden());
  WindowClose(2);
}

TEST(FetcherCreation, StartsLoadingTheInitialAddressWithoutWaiting) {
  TestServer server;
  server.Route("/", Page("home"));
  ASSERT_NE(WindowOpen(2, 0, 0, 100, 100, "x", kWindowInvisible), nullptr);
  ASSERT_NE(GadgetCreateWebView(9, 0, 0, 10, 10, server.Url("/"), 0), nullptr);
  EXPECT_EQ(WebViewBusy(9), 1);
  while (WebViewBusy(9) == 1) EventWaitFor(10);
  EXPECT_EQ(WebViewSource(9), "home");
  EXPECT_EQ(server.Targets(), std::vector<std::string>{"/"});
  WindowClose(2);
  for (auto* session : QCoreApplication::instance()->findChildren<QNetworkAccessManager*>()) {
    session->clearConnectionCache();
  }
}

// The initial request goes out from the loop; a load asked for before the loop runs is the only
// one on the wire (an initial request sent after it would replace it: the document would be
// "home").
TEST(FetcherCreation, ALoadAskedBeforeTheLoopReplacesTheInitialAddress) {
  TestServer server;
  server.Route("/", Page("home"));
  server.Route("/film", Page("film"));
  ASSERT_NE(WindowOpen(2, 0, 0, 100, 100, "x", kWindowInvisible), nullptr);
  ASSERT_NE(GadgetCreateWebView(9, 0, 0, 10, 10, server.Url("/"), 0), nullptr);
  WebViewNavigate(9, server.Url("/film"));
  while (WebViewBusy(9) == 1) EventWaitFor(10);
  EXPECT_EQ(WebViewSource(9), "film");
  EXPECT_EQ(server.Targets(), std::vector<std::string>{"/film"});
  WindowClose(2);
  for (auto* session : QCoreApplication::instance()->findChildren<QNetworkAccessManager*>()) {
    session->clearConnectionCache();
  }
}

// --- On the wire -----------------------------------------------------------------------------

TEST_F(Fetcher, AddressesGoOnTheWireWithOnlyWhatAUrlCannotHoldEscaped) {
  struct Case {
    std::string query;  // as the program builds it, Windows-1252
    std::string sent;   // as the server must see it
  };
  const Case cases[] = {
      {"Blade Runner", "Blade%20Runner"},
      {"\tAlien", "%09Alien"},
      {"Am\xE9lie \x80\xFF", "Am%E9lie%20%80%FF"},
      {"a\"b<c>d\\e^f`g{h|i}j#k", "a%22b%3Cc%3Ed%5Ce%5Ef%60g%7Bh%7Ci%7Dj%23k"},
      {"a&b;c=d/e?f", "a&b;c=d/e?f"},
      {"x%E9y%2F%26", "x%E9y%2F%26"},  // escapes the text brings stay escapes
      {"del\x7F\x01\x1F\r\n", "del%7F%01%1F%0D%0A"},
      {"100% 50%z", "100%25%2050%25z"},
  };
  // The raw server shows the request line exactly as sent (cpp-httplib refuses a second "?").
  RawTestServer raw([](RawTestServer::Connection& c, const RawTestServer&) {
    RawTestServer::SendAll(c.fd, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n"
                                 "sent");
  });
  for (const Case& c : cases) {
    const auto before = static_cast<std::size_t>(raw.ConnectionCount());
    EXPECT_EQ(Load(raw.Url("/find?q=" + c.query + ";tt=1")), "sent") << c.query;
    const std::vector<std::string> heads = raw.Heads();
    ASSERT_EQ(heads.size(), before + 1) << c.query;
    const std::string& head = heads.back();
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /find?q=" + c.sent + ";tt=1 HTTP/1.1")
        << c.query;
    EXPECT_EQ(WebViewWireAddress("http://h/?" + c.query).toStdString(), "http://h/?" + c.sent);
  }
  // The path is sent the same way.
  server_.Route("/title/a%20b", Page("path"));
  EXPECT_EQ(Load(server_.Url("/title/a b")), "path");
}

TEST_F(Fetcher, AsksLikeADesktopBrowser) {
  server_.Route("/page", Page("x"));
  Load(server_.Url("/page"));
  const auto request = server_.Requests().at(0);
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.Header("User-Agent").rfind("Mozilla/5.0 (", 0), 0u) << request.Header("User-Agent");
  EXPECT_EQ(request.Header("Accept-Language").rfind("es-ES", 0), 0u);
  EXPECT_EQ(request.Header("Accept-Encoding"), "identity");
  EXPECT_EQ(request.Header("Host"), server_.Host());
}

// Pages are asked for uncompressed, so that a page's end is the protocol's to prove. A server
// that compresses all the same sends what cannot be read, nor shown to have come whole: a
// compressed page is no document, whole, garbled, or cut off mid-stream without a length.
TEST_F(Fetcher, ACompressedPageThatWasNotAskedForIsNoDocument) {
  const std::string page(100000, 'p');
  const std::string packed = Gzip(page);
  auto serve = [](std::string body, bool length) {
    return [body, length](RawTestServer::Connection& c, const RawTestServer&) {
      RawTestServer::SendAll(c.fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                   "Content-Encoding: gzip\r\nConnection: close\r\n" +
                                       (length ? "Content-Length: " + std::to_string(body.size()) +
                                                     "\r\n"
                                               : std::string()) +
                                       "\r\n");
      RawTestServer::SendAll(c.fd, body);
    };
  };
  std::string garbled = packed;
  for (std::size_t i = 20; i < garbled.size(); i += 7) garbled[i] = static_cast<char>(~garbled[i]);
  RawTestServer whole(serve(packed, true));
  RawTestServer broken(serve(garbled, true));
  RawTestServer cut(serve(packed.substr(0, packed.size() / 2), false));
  for (const RawTestServer* server : {&whole, &broken, &cut}) {
    EXPECT_EQ(Load(server->Url("/packed")), "");
    EXPECT_EQ(End(), WebViewEnd::kBadAnswer);
    EXPECT_EQ(WebViewBusy(kView), 0);
  }
}

TEST_F(Fetcher, FollowsUpToTenRedirects) {
  server_.Route("/end", Page("arrived"));
  for (int i = 1; i <= 11; ++i) {
    server_.Redirect("/hop" + std::to_string(i),
                     i == 11 ? "/end" : "/hop" + std::to_string(i + 1), i % 2 ? 302 : 301);
  }
  // hop2 .. hop11 then /end: ten redirects.
  EXPECT_EQ(Load(server_.Url("/hop2")), "arrived");
  EXPECT_EQ(server_.RequestCount(), 11u) << testing::PrintToString(server_.Targets());
  EXPECT_EQ(server_.Targets().back(), "/end");
  EXPECT_EQ(GadgetGetText(kView), server_.Url("/hop2"));
  // hop1 needs eleven: the load fails with no document.
  server_.ClearRequests();
  EXPECT_EQ(Load(server_.Url("/hop1")), "");
  EXPECT_EQ(End(), WebViewEnd::kTooManyRedirects);
  EXPECT_EQ(server_.RequestCount(), 11u);
  EXPECT_EQ(WebViewBusy(kView), 0);
  // A Location relative to the page that answered.
  Reply relative = Page("moved", 302);
  relative.headers.emplace_back("Location", "../end");
  server_.Route("/a/b", relative);
  server_.ClearRequests();
  EXPECT_EQ(Load(server_.Url("/a/b")), "arrived");
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{"/a/b", "/end"}));
  // A redirect loop ends the same way; a redirect to no web address is not followed.
  server_.Redirect("/loop", "/loop");
  EXPECT_EQ(Load(server_.Url("/loop")), "");
  EXPECT_EQ(End(), WebViewEnd::kTooManyRedirects);
  server_.Redirect("/ftp", "ftp://127.0.0.1/file");
  EXPECT_EQ(Load(server_.Url("/ftp")), "");
  EXPECT_EQ(End(), WebViewEnd::kRedirectRefused);
  // A redirect that says nowhere to go, and one whose own body passes the size limit.
  server_.Route("/nowhere", Page("moved", 302));
  EXPECT_EQ(Load(server_.Url("/nowhere")), "");
  EXPECT_EQ(End(), WebViewEnd::kRedirectWithoutTarget);
  RawTestServer heavy([this](RawTestServer::Connection& c, const RawTestServer& s) {
    RawTestServer::SendAll(c.fd, "HTTP/1.1 302 Found\r\nLocation: " + server_.Url("/end") +
                                     "\r\nContent-Length: 2000000000\r\n\r\n");
    const std::string block(65536, 'r');
    while (s.Pause(0) && RawTestServer::SendAll(c.fd, block)) {
    }
  });
  EXPECT_EQ(Load(heavy.Url("/heavy")), "");
  EXPECT_EQ(End(), WebViewEnd::kTooBig);
}

TEST_F(Fetcher, CookiesLastTheRunAndAreSharedWithDownloads) {
  server_.Route("/login", WithCookie("hola", "fetchsess=abc; Path=/"));
  server_.Route("/next", Page("next"));
  server_.Route("/dl", WithCookie("file", "dlsess=xyz; Path=/"));
  Load(server_.Url("/login"));
  Load(server_.Url("/next"));
  EXPECT_NE(server_.Requests().at(1).Header("Cookie").find("fetchsess=abc"), std::string::npos);

  const auto dir = std::filesystem::temp_directory_path() /
                   ("cv_webview_cookies_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "out.htm").string();
  DownloadToFile(server_.Url("/dl"), file);
  EXPECT_NE(server_.Requests().at(2).Header("Cookie").find("fetchsess=abc"), std::string::npos);
  Load(server_.Url("/next"));
  EXPECT_NE(server_.Requests().at(3).Header("Cookie").find("dlsess=xyz"), std::string::npos);
  // A cookie set on a redirect's way reaches the page it leads to.
  server_.Route("/via", [this] {
    Reply r = WithCookie("moved", "hopsess=1; Path=/");
    r.status = 302;
    r.headers.emplace_back("Location", server_.Url("/next"));
    return r;
  }());
  Load(server_.Url("/via"));
  EXPECT_NE(server_.Requests().back().Header("Cookie").find("hopsess=1"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// --- Bad servers -----------------------------------------------------------------------------

TEST_F(Fetcher, AStalledServerEndsAfterTheIdleLimitWithoutBurningACore) {
  RawTestServer stall(Stall());
  program.pageText = "old page";
  const auto start = std::chrono::steady_clock::now();
  const double cpuBefore = CpuSeconds();
  FetchPage(stall.Url("/stall"));  // the program's own wait
  const double cpu = CpuSeconds() - cpuBefore;
  const double wall = Since(start);
  EXPECT_EQ(stall.ConnectionCount(), 1);
  EXPECT_EQ(WebViewBusy(kView), 0);
  EXPECT_EQ(End(), WebViewEnd::kTimedOut);
  EXPECT_EQ(WebViewSource(kView), "");
  EXPECT_EQ(program.pageText, "");
  EXPECT_GE(wall, kIdle - kIdleEarly);
  EXPECT_LT(wall, kTotal);  // the idle limit ended it
  EXPECT_LT(cpu, 0.05 * wall) << "cpu " << cpu << " s in " << wall << " s";
  std::printf("stalled load: %.3f s of wall time, %.4f s of CPU (%.2f%%)\n", wall, cpu,
              100.0 * cpu / wall);
  // Still usable.
  server_.Route("/ok", Page("ok"));
  EXPECT_EQ(Load(server_.Url("/ok")), "ok");
}

TEST_F(Fetcher, ADripOfOneByteASecondEndsAtTheLimitInAll) {
  RawTestServer drip(Drip());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Load(drip.Url("/drip")), "");
  const double wall = Since(start);
  EXPECT_EQ(WebViewBusy(kView), 0);
  EXPECT_EQ(End(), WebViewEnd::kTimedOut);
  // Each byte came before the idle limit; only the limit in all could end it.
  EXPECT_GE(wall, kTotal - kEarly);
  EXPECT_LT(wall, kTotal + kIdle);
  server_.Route("/ok", Page("ok"));
  EXPECT_EQ(Load(server_.Url("/ok")), "ok");
}

TEST_F(Fetcher, ABodyOverSixteenMegabytesFails) {
  const std::string twenty(20 * 1024 * 1024, 'a');
  const std::string sixteen(16 * 1024 * 1024, 'b');
  server_.Route("/twenty", Binary(twenty, "application/octet-stream"));
  server_.Route("/sixteen", Binary(sixteen, "application/octet-stream"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Load(server_.Url("/twenty")), "");
  EXPECT_LT(Since(start), kTotal);  // ended by its size, not by a timer
  EXPECT_EQ(End(), WebViewEnd::kTooBig);
  EXPECT_EQ(WebViewBusy(kView), 0);
  // Exactly the limit is still a document.
  EXPECT_EQ(Load(server_.Url("/sixteen")).size(), sixteen.size());
}

TEST_F(Fetcher, AResetRefusedOrCutShortConnectionEndsWithNoDocumentAndSaysHow) {
  RawTestServer reset(ResetMidBody());
  RawTestServer resetAtOnce([](RawTestServer::Connection& c, const RawTestServer&) {
    RawTestServer::Reset(c);
  });
  RawTestServer cut(CutShort());
  int closedPort = 0;
  {
    RawTestServer gone([](RawTestServer::Connection&, const RawTestServer&) {});
    closedPort = gone.Port();
  }
  const struct {
    std::string address;
    WebViewEnd end;
  } cases[] = {
      {reset.Url("/reset"), WebViewEnd::kCutOff},
      {resetAtOnce.Url("/reset"), WebViewEnd::kCutOff},
      {cut.Url("/cut"), WebViewEnd::kCutOff},
      {"http://127.0.0.1:" + std::to_string(closedPort) + "/", WebViewEnd::kRefused},
      {"http://cinevarta.invalid/", WebViewEnd::kNoSite},  // a name that never resolves
      {"http://", WebViewEnd::kNoSite},
      {"http://[", WebViewEnd::kBadAddress},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Load(c.address), "") << c.address;
    EXPECT_EQ(End(), c.end) << c.address;
    EXPECT_EQ(WebViewBusy(kView), 0);
  }
  server_.Route("/ok", Page("ok"));
  EXPECT_EQ(Load(server_.Url("/ok")), "ok");
}

// --- Downloads -------------------------------------------------------------------------------

class Download : public Fetcher {
 protected:
  void SetUp() override {
    Fetcher::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("cv_download_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    file_ = (dir_ / "portada.jpg").string();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    Fetcher::TearDown();
  }
  std::string Read() const {
    std::ifstream in(file_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void WriteOld() const { std::ofstream(file_, std::ios::binary) << "an older, longer file body"; }
  // Downloads over an older file and answers the seconds it took; last_ says how it ended.
  double Fetch(const std::string& url) {
    WriteOld();
    const auto start = std::chrono::steady_clock::now();
    last_ = DownloadToFile(url, file_);
    return Since(start);
  }

  std::filesystem::path dir_;
  std::string file_;
  WebViewOutcome last_;
};

TEST_F(Download, StoresTheBodyExactlyReplacingTheFile) {
  const std::string bytes = std::string("\xFF\xD8\xFF\0\r\n\x1A\n\r", 9) + "jpeg";
  server_.Route("/imatges/articulos/a.jpg", Binary(bytes, "image/jpeg"));
  Fetch(server_.Url("/imatges/articulos/a.jpg"));
  EXPECT_EQ(Read(), bytes);
  EXPECT_EQ(last_.end, WebViewEnd::kDocument);
  EXPECT_EQ(FileSizeOf(file_), static_cast<std::int64_t>(bytes.size()));
  // Through a redirect, and a big body, every byte.
  std::string big(3 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  server_.Route("/big.jpg", Binary(big, "image/jpeg"));
  server_.Redirect("/moved.jpg", "/big.jpg");
  Fetch(server_.Url("/moved.jpg"));
  EXPECT_EQ(Read() == big, true);
  // An empty body makes an empty file.
  server_.Route("/empty.jpg", Binary("", "image/jpeg"));
  Fetch(server_.Url("/empty.jpg"));
  EXPECT_EQ(FileSizeOf(file_), 0);
  // The fetcher's document is not touched by a download.
  EXPECT_EQ(WebViewSource(kView), "");
}

TEST_F(Download, AFailureLeavesNoFileBehind) {
  server_.Route("/gone", Page("<html>404</html>", 404));
  Fetch(server_.Url("/gone"));
  EXPECT_EQ(FileSizeOf(file_), -1) << "an error page is not the file";
  EXPECT_EQ(last_.end, WebViewEnd::kHttpError);
  EXPECT_EQ(last_.status, 404);

  RawTestServer stall(Stall());
  const double stalled = Fetch(stall.Url("/stall"));
  EXPECT_GE(stalled, kIdle - kIdleEarly);
  EXPECT_LT(stalled, kTotal);
  EXPECT_EQ(FileSizeOf(file_), -1);
  EXPECT_EQ(last_.end, WebViewEnd::kTimedOut);

  RawTestServer drip(Drip());
  const double dripped = Fetch(drip.Url("/drip"));
  EXPECT_GE(dripped, kTotal - kEarly);
  EXPECT_LT(dripped, kTotal + kIdle);
  EXPECT_EQ(FileSizeOf(file_), -1);

  server_.Route("/twenty", Binary(std::string(20 * 1024 * 1024, 'a'), "image/jpeg"));
  EXPECT_LT(Fetch(server_.Url("/twenty")), kTotal);
  EXPECT_EQ(FileSizeOf(file_), -1);

  RawTestServer reset(ResetMidBody());
  Fetch(reset.Url("/reset"));
  EXPECT_EQ(FileSizeOf(file_), -1);

  RawTestServer cut(CutShort());
  Fetch(cut.Url("/cut"));
  EXPECT_EQ(FileSizeOf(file_), -1) << "a body cut short is not a whole file";

  Fetch("http://");
  EXPECT_EQ(FileSizeOf(file_), -1);

  // A write that fails half way (a full disk; here a file size limit) leaves no file either.
  server_.Route("/cover.jpg", Binary(std::string(256 * 1024, 'c'), "image/jpeg"));
  WriteOld();
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  auto* const previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 10000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  DownloadToFile(server_.Url("/cover.jpg"), file_);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(FileSizeOf(file_), -1) << "a file cut short is not a download";
  // The session is still good after all that.
  server_.Route("/ok.jpg", Binary("ok", "image/jpeg"));
  Fetch(server_.Url("/ok.jpg"));
  EXPECT_EQ(Read(), "ok");
}

}  // namespace
