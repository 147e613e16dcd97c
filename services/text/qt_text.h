#pragma once
// The one conversion pair between texts and QString, for the services that talk to Qt.
// A QString character without a Windows-1252 byte becomes "?".
#include <QString>

#include "services/text/text.h"

QString TextToQString(std::string_view t);
Text TextFromQString(const QString& s);
