// Placeholder bodies, replaced when this part is built.
#include "services/webview/webview.h"
#include "services/files/files.h"

NativeHandle GadgetCreateWebView(int, int, int, int, int, const Text&, int) { return nullptr; }
void WebViewNavigate(int, const Text&) {}
int WebViewBusy(int) { return 0; }
Text WebViewSource(int) { return {}; }
void DownloadToFile(const Text&, const Text&) {}
