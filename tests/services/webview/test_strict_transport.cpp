// Strict Transport Security: once a host has answered over https with the header, the fetcher
// and DownloadToFile ask its http addresses over https straight away, redirects included, as a
// desktop browser does. The server speaks plain HTTP and TLS on one port (as a site's http and
// https addresses meet on one host), with a certificate the test makes and trusts.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <QByteArray>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/gui/gui.h"
#include "services/webview/webview.h"
#include "sources/sources.h"
#include "tests/support/test_server.h"

namespace {

constexpr int kWindow = 1;
constexpr int kView = 1;

// A self-signed certificate for "localhost", made now.
struct Certificate {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  Certificate() {
    key = EVP_EC_gen("P-256");
    cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* san =
        X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "DNS:localhost");
    X509_add_ext(cert, san, -1);
    X509_EXTENSION_free(san);
    X509_sign(cert, key, EVP_sha256());
  }
  ~Certificate() {
    X509_free(cert);
    EVP_PKEY_free(key);
  }
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;

  QByteArray Pem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, static_cast<qsizetype>(size));
    BIO_free(bio);
    return pem;
  }
};

// One loopback port for both schemes: a connection whose first byte opens a TLS handshake is
// served over TLS, any other as plain HTTP. Plain requests are sent to https on the same port;
// TLS answers carry the Strict-Transport-Security header; "/hop" redirects to the plain
// address of "/second" on this host, "/down" to the same on 127.0.0.1, a host no policy covers.
// One request per connection.
class TwoSchemeServer {
 public:
  explicit TwoSchemeServer(const Certificate& certificate) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx_, certificate.cert);
    SSL_CTX_use_PrivateKey(ctx_, certificate.key);
    listenFd_ = testsupport::ListenOnLoopback(16, port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TwoSchemeServer() {
    stopping_ = true;
    thread_.join();
    ::close(listenFd_);
    SSL_CTX_free(ctx_);
  }
  TwoSchemeServer(const TwoSchemeServer&) = delete;
  TwoSchemeServer& operator=(const TwoSchemeServer&) = delete;

  std::string Address(const std::string& scheme, const std::string& target) const {
    return scheme + "://localhost:" + std::to_string(port_) + target;
  }
  std::vector<std::string> Plain() const {
    std::lock_guard lock(mutex_);
    return plain_;
  }
  std::vector<std::string> Secure() const {
    std::lock_guard lock(mutex_);
    return secure_;
  }

 private:
  void Serve() {
    while (!stopping_) {
      pollfd p{listenFd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      timeval wait{5, 0};  // a client that stops talking does not hold the server
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
      ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
      unsigned char first = 0;
      if (::recv(fd, &first, 1, MSG_PEEK) == 1) {
        if (first == 0x16) {
          ServeTls(fd);
        } else {
          ServePlain(fd);
        }
      }
      ::close(fd);
    }
  }

  static std::string TargetOf(const std::string& head) {
    const auto a = head.find(' ');
    const auto b = head.find(' ', a + 1);
    return a == std::string::npos || b == std::string::npos ? "" : head.substr(a + 1, b - a - 1);
  }

  static std::string Answer(const std::string& status, const std::string& headers,
                            const std::string& body) {
    return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Type: text/html\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  }

  void ServePlain(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      head.append(buffer, static_cast<std::size_t>(n));
    }
    const std::string target = TargetOf(head);
    {
      std::lock_guard lock(mutex_);
      plain_.push_back(target);
    }
    const std::string reply = Answer(
        "301 Moved Permanently", "Location: " + Address("https", target) + "\r\n", "moved");
    ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
  }

  void ServeTls(int fd) {
    SSL* ssl = SSL_new(ctx_);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
      std::string head;
      char buffer[4096];
      int n = 0;
      while (head.find("\r\n\r\n") == std::string::npos &&
             (n = SSL_read(ssl, buffer, sizeof buffer)) > 0) {
        head.append(buffer, static_cast<std::size_t>(n));
      }
      const std::string target = TargetOf(head);
      {
        std::lock_guard lock(mutex_);
        secure_.push_back(target);
      }
      const std::string sts = "Strict-Transport-Security: max-age=600\r\n";
      const std::string down = "http://127.0.0.1:" + std::to_string(port_) + "/second";
      const std::string to = target == "/hop"    ? Address("http", "/second")
                             : target == "/down" ? down
                                                 : "";
      const std::string reply = to.empty()
                                    ? Answer("200 OK", sts, "secure " + target)
                                    : Answer("302 Found", sts + "Location: " + to + "\r\n", "");
      SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ERR_clear_error();
  }

  SSL_CTX* ctx_ = nullptr;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> plain_;
  std::vector<std::string> secure_;
};

Text Load(const std::string& address) {
  WebViewNavigate(kView, address);
  while (WebViewBusy(kView) == 1) EventWaitFor(10);
  return WebViewSource(kView);
}

std::string ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The policy learnt here stays in the session for the rest of the run; no other test of this
// program asks "localhost" by name.
TEST(StrictTransport, AKnownHostIsAskedOverHttpsOnly) {
  Certificate certificate;
  const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
  QSslConfiguration trusting = before;
  trusting.addCaCertificate(QSslCertificate(certificate.Pem()));
  QSslConfiguration::setDefaultConfiguration(trusting);
  ASSERT_NE(WindowOpen(kWindow, 0, 0, 400, 300, "fetcher", kWindowInvisible), nullptr);
  ASSERT_NE(GadgetCreateWebView(kView, 385, 5, 200, 150, "", 0), nullptr);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("cinevarta_sts_" + std::to_string(::getpid()));
  {
    TwoSchemeServer server(certificate);

    // The first address goes over http, as nothing is known of the host yet: redirected.
    EXPECT_EQ(Load(server.Address("http", "/first")), "secure /first");
    // From now on no http request reaches the host: not for a page, not for a redirect to an
    // http address, not for a download.
    EXPECT_EQ(Load(server.Address("http", "/second")), "secure /second");
    EXPECT_EQ(Load(server.Address("https", "/hop")), "secure /second");
    DownloadToFile(server.Address("http", "/third"), file.string());
    EXPECT_EQ(ReadFileBytes(file), "secure /third");
    // A redirect from https down to http on a host no policy covers is refused.
    EXPECT_EQ(Load(server.Address("https", "/down")), "");
    EXPECT_EQ(WebViewResult(kView).end, WebViewEnd::kRedirectRefused);

    EXPECT_EQ(server.Plain(), std::vector<std::string>{"/first"});
    EXPECT_EQ(server.Secure(), (std::vector<std::string>{"/first", "/second", "/hop", "/second",
                                                         "/third", "/down"}));
  }
  std::filesystem::remove(file);
  WindowClose(kWindow);
  QSslConfiguration::setDefaultConfiguration(before);
}

}  // namespace
