#pragma once
// The page fetcher that stands in gadget 1's place: it loads an address, reports whether the
// load is still going, and hands the document's body back as single-byte text.
//
// It is not a browser: nothing is shown or run. It behaves like an ordinary desktop browser on
// the wire (up to 10 redirects, cookies in memory for the whole run and shared with
// DownloadToFile, gzip, a desktop User-Agent, Accept-Language es-ES), and every load ends,
// successfully or not, within its limits: 30 s in all, 15 s without a byte, 16 MB of body.
//
// A server's error page (404, 500) is a document like any other; a load that fails on the way
// (refused, reset, timed out, too big) leaves an empty document. WebViewBusy is 1 from the
// moment WebViewNavigate returns until that load has ended, never the previous document's state.
//
// Addresses are sent as they are given except for what a URL cannot hold, which goes
// percent-encoded as the Windows-1252 byte: blanks and control characters (tab too), bytes
// 0x80-0xFF, and " < > \ ^ ` { | } #. So "http://h/find?q=Blade Runner;tt=1" goes as
// "/find?q=Blade%20Runner;tt=1", and "&", ";", "=", "/", "?" stay as typed. An escape already in
// the address stays an escape (Qt sends an escaped letter or digit, "%41", as the letter); a "%"
// that starts none ("100%") goes as %25, or the whole address would be invalid and not sent.
//
// The loads make progress only while the GUI thread runs Qt's event loop (EventWaitFor does).
#include <cstdint>

#include "services/gui/gui.h"

// Makes the fetcher as a hidden gadget of the current window and starts loading the initial
// address (when not empty) without waiting. Flag 0 is the only kind built; others fail.
NativeHandle GadgetCreateWebView(int number, int x, int y, int w, int h, const Text& initialAddress,
                                 int flag);
void WebViewNavigate(int number, const Text& address);  // returns at once; "" is ignored
int WebViewBusy(int number);                            // 1 from navigate until the load ends
Text WebViewSource(int number);                         // the body, cut at its first zero byte

// The limits of every load and download.
struct WebViewLimits {
  int totalMilliseconds = 30000;
  int idleMilliseconds = 15000;
  std::int64_t maxBytes = std::int64_t{16} * 1024 * 1024;
};
// For tests only: lower the limits so that a stalled server does not cost half a minute. The
// program never calls it; tests put the default WebViewLimits{} back when they are done.
void WebViewSetLimitsForTests(const WebViewLimits& limits);
WebViewLimits WebViewCurrentLimits();
