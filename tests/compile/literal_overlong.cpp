// Must not compile: "/" written in two bytes (an overlong form) is broken UTF-8, not a slash.
#include "services/text/cp1252_literal.h"

const std::string& Texts() { return "a\xC0\xAF"_t; }
