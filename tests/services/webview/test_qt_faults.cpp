// The faults of Qt 6.4's own redirect following that make the fetcher follow redirects itself
// (Transfer::Follow in services/webview/webview.cpp), each reproduced with a plain
// QNetworkAccessManager that follows by Qt's no-less-safe policy; and one fault the fetcher
// cannot mend: chunks cut off by a closed connection taken as whole.
//
// The faults are races between Qt's HTTP thread and the thread that owns the reply. How often
// they show depends on the machine and on what else it runs: on one machine, from most chains
// to none in 100 between two runs. The tests make the machine busy themselves, with threads that
// spin meanwhile, and try until the fault shows. One that does not show within its tries is not
// proof that it is gone, so the test is then skipped with what to do, rather than failed: when
// both redirect faults are skipped in several runs on a busy machine, delete the hand-followed
// redirects (give each request NoLessSafeRedirectPolicy with setMaximumRedirectsAllowed(10) and
// drop Transfer::Follow), and run the fetcher's tests.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "services/gui/gui.h"
#include "services/webview/webview.h"
#include "tests/support/test_server.h"

namespace {

constexpr int kHops = 10;
constexpr char kChildVariable[] = "CV_QT_FAULT_CHILD";

// A chain of `kHops` redirects, "/hop1" to "/end", whose answers are HTML, which the test server
// compresses when the client offers compression.
void ServeChain(testsupport::TestServer& server) {
  for (int i = 1; i <= kHops; ++i) {
    testsupport::Reply reply;
    reply.status = 302;
    reply.body = "<html><body>Movido a otra direcci\xF3n.</body></html>";
    reply.headers.emplace_back("Location", i == kHops ? "/end" : "/hop" + std::to_string(i + 1));
    server.Route("/hop" + std::to_string(i), reply);
  }
  server.Route("/end", {.body = "llegada"});
}

// Threads that keep every core busy while they live.
class BusyCores {
 public:
  BusyCores() {
    const unsigned count = std::max(4u, 2 * std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) {
      threads_.emplace_back([this] {
        while (!stop_.load(std::memory_order_relaxed)) {
        }
      });
    }
  }
  ~BusyCores() {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
  }
  BusyCores(const BusyCores&) = delete;
  BusyCores& operator=(const BusyCores&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

// Follows the chain from "/hop1" with Qt's own policy; the body that arrived.
QByteArray FollowByQt(QNetworkAccessManager& session, const testsupport::TestServer& server,
                      const QByteArray& acceptEncoding) {
  QNetworkRequest request(QUrl(QString::fromStdString(server.Url("/hop1"))));
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  request.setMaximumRedirectsAllowed(kHops);
  if (!acceptEncoding.isEmpty()) request.setRawHeader("Accept-Encoding", acceptEncoding);
  QNetworkReply* reply = session.get(request);
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  if (!reply->isFinished()) loop.exec();
  const QByteArray body = reply->readAll();
  delete reply;
  return body;
}

TEST(QtFaults, FollowingRedirectsSendsRequestsTwiceOverAReusedConnection) {
  testsupport::TestServer server;
  ServeChain(server);
  QNetworkAccessManager session;
  BusyCores busy;
  // Chains until one costs more requests than its hops (Qt 6.4: most of them), or 100 have not.
  std::size_t chains = 0;
  while (chains < 100 && server.RequestCount() == chains * (kHops + 1)) {
    // Uncompressed, which keeps the brotli fault below out of this test.
    EXPECT_EQ(FollowByQt(session, server, "identity"), "llegada");
    ++chains;
  }
  session.clearConnectionCache();
  if (server.RequestCount() == chains * (kHops + 1)) {
    GTEST_SKIP() << "Qt 6.4 sends requests of a chain twice now and then; this run sent each of "
                 << chains << " chains once (see the top of this file).";
  }
}

// Runs in a child process started by the test below, which it may crash.
TEST(QtFaultChild, FollowsCompressedRedirects) {
  if (std::getenv(kChildVariable) == nullptr) GTEST_SKIP() << "run by QtFaults only";
  testsupport::TestServer server;
  ServeChain(server);
  QNetworkAccessManager session;
  BusyCores busy;
  for (int i = 0; i < 200; ++i) EXPECT_EQ(FollowByQt(session, server, {}), "llegada");
  session.clearConnectionCache();
}

TEST(QtFaults, FollowingACompressedRedirectCrashes) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer holds freed memory back from reuse, which hides the crash "
                  "most of the time";
#endif
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(kChildVariable, "1");
  child.setProcessEnvironment(environment);
  child.setStandardOutputFile(QProcess::nullDevice());
  child.setStandardErrorFile(QProcess::nullDevice());
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=QtFaultChild.*")});
  ASSERT_TRUE(child.waitForFinished(120000));
  if (child.exitStatus() != QProcess::CrashExit) {
    ASSERT_EQ(child.exitCode(), 0) << "the child's chains did not all arrive";
    GTEST_SKIP() << "Qt 6.4 crashes in its brotli decoder following compressed redirects now "
                    "and then; this run followed 200 chains (see the top of this file).";
  }
}

// Qt 6.4 finishes a chunked reply whose connection closed before the last chunk without an
// error, now and then, as if the close had ended a body without length. The fetcher cannot see
// the chunks, so it takes such a page as whole too.
TEST(QtFaults, ChunksCutOffByAClosedConnectionAreNowAndThenTakenAsWhole) {
  testsupport::RawTestServer cut([](testsupport::RawTestServer::Connection& c,
                                    const testsupport::RawTestServer&) {
    testsupport::RawTestServer::SendAll(c.fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                                              "\r\n6\r\n<html>\r\n5\r\nshort\r\n");
  });
  QNetworkAccessManager session;
  BusyCores busy;
  int tries = 0;
  bool whole = false;
  while (tries < 200 && !whole) {
    QNetworkRequest request(QUrl(QString::fromStdString(cut.Url("/cut"))));
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = session.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) loop.exec();
    whole = reply->error() == QNetworkReply::NoError;
    delete reply;
    ++tries;
  }
  if (!whole) {
    GTEST_SKIP() << "Qt 6.4 takes chunks cut off by a close as a whole body now and then; this "
                    "run reported each of " << tries << " tries as an error. When it does in "
                    "several runs on a busy machine, drop the note in services/webview/webview.h.";
  }
}

// The fetcher, on the same chains and just as busy a machine: one request a hop, and no crash.
TEST(QtFaults, TheFetcherFollowsTheSameChainsWithOneRequestAHop) {
  testsupport::TestServer server;
  ServeChain(server);
  ASSERT_NE(WindowOpen(1, 0, 0, 400, 300, "fetcher", kWindowInvisible), nullptr);
  ASSERT_NE(GadgetCreateWebView(1, 385, 5, 200, 150, "", 0), nullptr);
  BusyCores busy;
  for (std::size_t chain = 1; chain <= 20; ++chain) {
    WebViewNavigate(1, server.Url("/hop1"));
    while (WebViewBusy(1) == 1) EventWaitFor(10);
    ASSERT_EQ(WebViewSource(1), "llegada");
    ASSERT_EQ(server.RequestCount(), chain * (kHops + 1));
  }
  WindowClose(1);
  // The session keeps its connection open; the server would wait for it before it stops.
  for (auto* session : QCoreApplication::instance()->findChildren<QNetworkAccessManager*>()) {
    session->clearConnectionCache();
  }
}

}  // namespace
