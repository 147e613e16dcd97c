// Placeholder bodies, replaced when this part is built.
#include "app/embedded_pictures.h"

EmbeddedPicture PrinterIconPicture() { return {nullptr, 0}; }
EmbeddedPicture PowerIconPicture() { return {nullptr, 0}; }
EmbeddedPicture NoCoverPicture() { return {nullptr, 0}; }
