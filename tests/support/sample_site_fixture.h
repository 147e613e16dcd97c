#pragma once
// The whole program on the sample site that cinevarta-demo shows, served by the in-process test
// server with the sample server's file mapping. As in cinevarta-demo, every host of the sources
// is that server (so the web view's start page comes from it too) and the professional-site host
// is "pro.imdb.com", the name the sample IMDb film pages link to; it is never asked.
#include <memory>

#include "sources/hosts.h"
#include "tests/support/app_fixture.h"
#include "tests/support/test_server.h"

class SampleSiteFixture : public AppFixture {
 protected:
  // One server for the suite: the program's network session keeps its connections open for the
  // whole run, and a server that stops waits for them to time out.
  static void SetUpTestSuite() {
    server_ = std::make_unique<testsupport::TestServer>();
    server_->ServeSite(SAMPLE_SITE_DIR);
  }
  static void TearDownTestSuite() { server_.reset(); }

  // The hosts are set before start-up; the requests of start-up are forgotten after it.
  void SetUp() override {
    server_->UseForSources();
    sourceHosts().imdbPro = "pro.imdb.com";
    AppFixture::SetUp();
    server_->ClearRequests();
  }
  void TearDown() override {
    AppFixture::TearDown();
    testsupport::RestoreSourceHosts();
  }

  static inline std::unique_ptr<testsupport::TestServer> server_;
};
