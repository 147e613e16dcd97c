// Fuzzes DecodeEntities on arbitrary text. The result never holds a zero byte (a reference to
// code 0 or 256 is deleted) and the text is never longer than the input: every pass shortens it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sources/extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));
  const Text decoded = DecodeEntities(text);
  if (decoded.size() > text.size()) __builtin_trap();
  if (decoded.find('\0') != Text::npos) __builtin_trap();
  if (text.find("&#") == std::string_view::npos && text.find('%') == std::string_view::npos &&
      decoded != text)
    __builtin_trap();
  return 0;
}
