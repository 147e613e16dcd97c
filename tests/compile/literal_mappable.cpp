// Compiles: every character here has a Windows-1252 byte, the euro sign and the curly quotes too.
#include "services/text/cp1252_literal.h"

const std::string& Texts() { return "Películas Favoritas ¿Incluir la imágen? € “ ” … ‰"_t; }
