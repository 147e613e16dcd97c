// The faults of Qt 6.4's own redirect following that make the fetcher follow redirects itself
// (Transfer::Follow in services/webview/webview.cpp). Each test reproduces its fault with a
// plain QNetworkAccessManager that follows by Qt's no-less-safe policy, and fails once the fault
// is gone. When both fail, delete the hand-followed redirects: give each request
// NoLessSafeRedirectPolicy with setMaximumRedirectsAllowed(10) and drop Transfer::Follow.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <string>

#include "tests/support/test_server.h"

namespace {

constexpr int kHops = 10;
constexpr char kChildVariable[] = "CV_QT_FAULT_CHILD";

// A chain of `kHops` redirects, "/hop1" to "/end", whose answers have bodies of `contentType`
// (the test server compresses text/html when the client offers compression).
void ServeChain(testsupport::TestServer& server, const std::string& contentType) {
  for (int i = 1; i <= kHops; ++i) {
    testsupport::Reply reply;
    reply.status = 302;
    reply.body = "<html><body>Movido a otra direcci\xF3n, movido a otra direcci\xF3n.</body></html>";
    reply.contentType = contentType;
    reply.headers.emplace_back("Location", i == kHops ? "/end" : "/hop" + std::to_string(i + 1));
    server.Route("/hop" + std::to_string(i), reply);
  }
  server.Route("/end", {.body = "llegada", .contentType = contentType});
}

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
  ServeChain(server, "text/html");
  QNetworkAccessManager session;
  constexpr int kChains = 3;
  for (int i = 0; i < kChains; ++i) {
    // Uncompressed, which keeps the brotli fault below out of this test.
    EXPECT_EQ(FollowByQt(session, server, "identity"), "llegada");
  }
  EXPECT_GT(server.RequestCount(), static_cast<std::size_t>(kChains * (kHops + 1)))
      << "Qt 6.4 sent some requests of each chain twice; this Qt sends each once. If "
         "QtFaults.FollowingACompressedRedirectCrashes fails too, delete the hand-followed "
         "redirects of services/webview/webview.cpp (see the top of this file).";
  session.clearConnectionCache();
}

// Runs in a child process started by the test below, which it may crash.
TEST(QtFaultChild, FollowsCompressedRedirects) {
  if (std::getenv(kChildVariable) == nullptr) GTEST_SKIP() << "run by QtFaults only";
  testsupport::TestServer server;
  ServeChain(server, "text/html");
  QNetworkAccessManager session;
  for (int i = 0; i < 20; ++i) EXPECT_EQ(FollowByQt(session, server, {}), "llegada");
  session.clearConnectionCache();
}

TEST(QtFaults, FollowingACompressedRedirectCrashes) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer keeps freed memory out of use, which hides the crash";
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
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit)
      << "Qt 6.4 crashed in its brotli decoder following twenty chains of compressed "
         "redirects; this Qt follows them (exit code "
      << child.exitCode() << "). If QtFaults.FollowingRedirectsSendsRequestsTwiceOverAReused"
         "Connection fails too, delete the hand-followed redirects of "
         "services/webview/webview.cpp (see the top of this file).";
}

}  // namespace
