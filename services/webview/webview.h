#pragma once
// The page fetcher that stands in gadget 1's place: it loads an address, reports whether the
// load is still going, and hands the document's body back as single-byte text.
//
// It is not a browser: nothing is shown or run. It behaves like an ordinary desktop browser on
// the wire (redirects, cookies for the whole run, gzip, a desktop User-Agent, es-ES), and every
// load ends, successfully or not, within its time and size limits.
#include "services/gui/gui.h"

// Makes the fetcher as a hidden gadget of the current window and starts loading the initial
// address (when not empty) without waiting. Flag 0 is the only kind built.
NativeHandle GadgetCreateWebView(int number, int x, int y, int w, int h, const Text& initialAddress,
                                 int flag);
void WebViewNavigate(int number, const Text& address);  // returns at once; "" is ignored
int WebViewBusy(int number);                            // 1 from navigate until the load ends
Text WebViewSource(int number);                         // the body, cut at its first zero byte
