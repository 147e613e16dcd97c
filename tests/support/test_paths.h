#pragma once
// Where tests read their data and write their pictures. The build's own folders by default; a
// run that cannot use them (the unprivileged run of scripts/test.sh, which may not write the
// build tree nor reach the source tree) names others in CINEVARTA_TEST_DATA_DIR and
// CINEVARTA_TEST_OUTPUT_DIR. Working folders come from temp_directory_path(), that is TMPDIR.
#include <cstdlib>
#include <filesystem>

namespace testsupport {

inline std::filesystem::path FolderFromEnvironment(const char* variable, const char* built) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0' ? std::filesystem::path(value) : std::filesystem::path(built);
}

inline std::filesystem::path TestDataDir() {
  return FolderFromEnvironment("CINEVARTA_TEST_DATA_DIR", TEST_DATA_DIR);
}

inline std::filesystem::path TestOutputDir() {
  return FolderFromEnvironment("CINEVARTA_TEST_OUTPUT_DIR", TEST_OUTPUT_DIR);
}

}  // namespace testsupport
