#pragma once
// Stands in for the desktop's browser in tests: installed with
// QDesktopServices::setUrlHandler("http", &recorder, "Open"), it records the addresses handed
// to it instead of opening them.
#include <QList>
#include <QObject>
#include <QUrl>

namespace testsupport {

class DesktopRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened << url; }
};

}  // namespace testsupport
