#pragma once
// What a save of a file makes beside it and must never leave behind: its new files
// ("<name>.nuevo-XXXXXX") and its kept copies ("<name>.copia-XXXXXX"). Each save names its own,
// so a test cannot look for one fixed name: it lists every name that starts with "<name>.".
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

inline std::vector<std::string> SaveLeftovers(const std::filesystem::path& folder,
                                              const std::string& name = "favoritos.ini") {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string seen = entry.path().filename().string();
    if (seen.rfind(name + ".", 0) == 0) found.push_back(seen);
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace testsupport
