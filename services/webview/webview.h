#pragma once
// The page fetcher that stands in gadget 1's place: it loads an address, reports whether the
// load is still going and how it ended, and hands the document's body back as single-byte text,
// or writes it whole to a file. Also the download of a URL into a file, on the same network
// session.
//
// It is not a browser: nothing is shown or run. It behaves like an ordinary desktop browser on
// the wire: cookies and Strict-Transport-Security policies in memory for the whole run and shared
// with DownloadToFile, kept-alive connections (one per host while the loads come one at a time),
// a desktop User-Agent, Accept-Language es-ES. Bodies are asked for uncompressed, so that a body
// cut short of its length is a connection cut off. (A body without a length ends where the
// server closes the connection: nothing on the wire tells one cut short from a whole one. Chunks
// cut off by a close Qt 6.4 takes as whole now and then: tests/services/webview/
// test_qt_faults.cpp.) Up to 10 redirects are
// followed; one from https down to http is refused, unless its host's Strict-Transport-Security
// policy turns it into https again (a host whose https answer carried the header is asked over
// https from then on, its http addresses never go out as http again during the run). Every load
// ends, successfully or not, within the limits the executable is built with (FetchLimits below):
// for the program and the demo, 30 s in all, 15 s without a byte, 16 MB of body (a redirect's
// body counted with the page's).
//
// A load ends in one of the ways of WebViewEnd. Only an answer with a status below 400 is a
// document: a server's error page (404, 500) is not, and neither is anything of a load that
// failed on the way (refused, reset, timed out, too big); both leave no document and say why.
// WebViewBusy is 1 from the moment WebViewNavigate returns until that load has ended, never the
// previous document's state.
//
// Addresses are sent as they are given except for what a URL cannot hold, which goes
// percent-encoded as the Windows-1252 byte: blanks and control characters (tab too), bytes
// 0x80-0xFF, and " < > \ ^ ` { | } #. So "http://h/find?q=Blade Runner;tt=1" goes as
// "/find?q=Blade%20Runner;tt=1", and "&", ";", "=", "/", "?" stay as typed. An escape already in
// the address stays an escape (Qt sends an escaped letter or digit, "%41", as the letter); a "%"
// that starts none ("100%") goes as %25, or the whole address would be invalid and not sent.
//
// It says nothing to the user: what a failure means to a person is the caller's to tell. The
// loads make progress only while the GUI thread runs Qt's event loop (EventWaitFor does).
#include <cstdint>

#include "services/gui/gui.h"

// How a load or a download ended.
enum class WebViewEnd {
  kNone,              // none has ended: none was made, one is going, or there is no such view
  kDocument,          // the server answered with the page (a status below 400)
  kHttpError,         // the server answered with an error status (4xx, 5xx), in `status`
  kNoSite,            // the host name is unknown, or there is no network to reach it
  kRefused,           // nothing there accepts the connection
  kCutOff,            // the connection was reset or closed before the whole answer came
  kTimedOut,          // the time without a byte, or the time in all, ran out
  kTooBig,            // the body passed the size limit
  kRedirectRefused,   // a redirect from https down to http, or to an address that is no web page
  kRedirectWithoutTarget,  // a redirect that names no address to go to
  kTooManyRedirects,  // more redirects than a load follows
  kNoSecureChannel,   // the https handshake failed (a certificate not trusted, too)
  kBadAnswer,         // a malformed answer, or a page in an encoding that was not asked for
                      // (a compressed one: pages are asked for uncompressed)
  kBadAddress,        // the address is no URL
  kStopped,           // the desktop ended the session: no load waits for a server any more
};
struct WebViewOutcome {
  WebViewEnd end = WebViewEnd::kNone;
  int status = 0;  // the HTTP status of the last answer; 0 when none came
};

// Makes the fetcher as a hidden gadget of the current window and starts loading the initial
// address (when not empty) without waiting. Flag 0 is the only kind built; others fail.
NativeHandle GadgetCreateWebView(int number, int x, int y, int w, int h, const Text& initialAddress,
                                 int flag);
void WebViewNavigate(int number, const Text& address);  // returns at once; "" is ignored
int WebViewBusy(int number);                            // 1 from navigate until the load ends
WebViewOutcome WebViewResult(int number);               // how the last load ended
Text WebViewSource(int number);                         // the document, cut at its first zero
// Writes the current document to the file whole, as received (zero bytes included), replacing
// it; when the last load gave no document, or is still going, the file is deleted instead.
// Nonzero when the file holds the document.
int WebViewSaveDocument(int number, const Text& localPath);

// A synchronous HTTP GET of the URL into the local file, replacing it: the file is deleted
// first and written (FileWriteWhole) only from a document, so a failure or an error page leaves
// no file. Returns when the transfer has ended, with how it ended (a document that could not be
// written shows only in the file's absence). Meanwhile every event is processed, input too:
// callers lock their window first (WindowSetEnabled), which drops it.
WebViewOutcome DownloadToFile(const Text& url, const Text& localPath);

// The limits of every load and download.
struct WebViewLimits {
  int totalMilliseconds;  // from the request to the end of the body, redirects included
  int idleMilliseconds;   // without a byte or a header from the server
  std::int64_t maxBytes;  // of body, after decompression
};
// Defined by the build, one per executable (cmake/FetchLimits.cmake), not here: the program and
// the demo link the limits a person waits for, tests that stall a server on purpose shorter ones.
WebViewLimits FetchLimits();
