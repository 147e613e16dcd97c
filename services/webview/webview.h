#pragma once
// The page fetcher that stands in gadget 1's place: it loads an address, reports whether the
// load is still going, and hands the document's body back as single-byte text, or writes it
// whole to a file. Also the download of a URL into a file, on the same network session.
//
// It is not a browser: nothing is shown or run. It behaves like an ordinary desktop browser on
// the wire (up to 10 redirects, cookies and Strict-Transport-Security policies in memory for the
// whole run and shared with DownloadToFile, kept-alive connections, gzip, a desktop User-Agent,
// Accept-Language es-ES), and every load ends, successfully or not, within the limits the
// executable is built with (FetchLimits below): for the program and the demo, 30 s in all, 15 s
// without a byte, 16 MB of body. A host whose https answer carried the Strict-Transport-Security
// header is asked over https from then on, redirects included: its http addresses never go out as
// http again during the run.
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
// Writes the current document to the file whole, as received (zero bytes included), replacing
// it; when the last load gave no document, or is still going, the file is deleted instead.
// Nonzero when the file holds the document.
int WebViewSaveDocument(int number, const Text& localPath);

// A synchronous HTTP GET of the URL into the local file, replacing it: the file is deleted
// first and written (FileWriteWhole) only from a successful answer, so a failure leaves no file.
// Returns when the transfer has ended. Meanwhile every event is processed, input too: callers
// lock their window first (WindowSetEnabled), which drops it.
void DownloadToFile(const Text& url, const Text& localPath);

// The limits of every load and download.
struct WebViewLimits {
  int totalMilliseconds;  // from the request to the end of the body, redirects included
  int idleMilliseconds;   // without a byte or a header from the server
  std::int64_t maxBytes;  // of body, after gzip is undone
};
// Defined by the build, one per executable (cmake/FetchLimits.cmake), not here: the program and
// the demo link the limits a person waits for, tests that stall a server on purpose shorter ones.
WebViewLimits FetchLimits();
