#pragma once
// The fetcher's address encoding, for the services and tests that speak Qt.
#include <QByteArray>
#include <QUrl>

#include "services/text/text.h"

// The address with what a URL cannot hold percent-encoded (see webview.h); the bytes sent.
QByteArray WebViewWireAddress(const Text& address);
// The address as the QUrl every load and download is made with.
QUrl WebViewUrl(const Text& address);
