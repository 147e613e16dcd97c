// Must not compile: the Greek capital omega has no Windows-1252 byte.
#include "services/text/cp1252_literal.h"

const std::string& Texts() { return "Ω"_t; }
