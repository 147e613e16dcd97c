// Texts to and from QString, byte by byte through the Windows-1252 table of the text literals.
#include "services/text/qt_text.h"

QString TextToQString(std::string_view t) {
  QString s(static_cast<qsizetype>(t.size()), Qt::Uninitialized);
  QChar* out = s.data();
  // Every code point of the table lies in the basic plane, so one byte is one QChar.
  for (const char ch : t)
    *out++ = QChar(static_cast<char16_t>(cp1252::CodePointOf(static_cast<unsigned char>(ch))));
  return s;
}

Text TextFromQString(const QString& s) {
  Text out;
  out.reserve(static_cast<std::size_t>(s.size()));
  const QChar* in = s.constData();
  const qsizetype size = s.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t unit = in[i].unicode();
    if (unit == 0) break;  // a text never holds the byte 0: it ends there
    if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(in[i + 1].unicode())) {
      ++i;  // one character outside the basic plane: it has no byte
      out += '?';
      continue;
    }
    const int byte = cp1252::ByteOf(unit);
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}
