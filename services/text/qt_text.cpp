// Placeholder bodies, replaced when this part is built.
#include "services/text/qt_text.h"

QString TextToQString(std::string_view t) { return QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())); }
Text TextFromQString(const QString& s) { return s.toLatin1().toStdString(); }
