// Texts to and from QString, through the Windows-1252 table of the text primitives.
#include "services/text/qt_text.h"

QString TextToQString(std::string_view t) {
  const std::string utf8 = TextToUtf8(t);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text TextFromQString(const QString& s) {
  const QByteArray utf8 = s.toUtf8();
  return TextFromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}
