#pragma once
// How a request target names a file of a local site directory (the sample site), shared by the
// sample server and the tests' in-process server. Plain C++, no HTTP library.
//
// A path names a file below the site directory; a last segment without a dot gets ".html", so a
// film page and the folder of its plot-summary page can live side by side. A query is folded
// into the file name after "@", lower-cased and with its percent escapes and "+" undone, so
// searches are found whatever the case of the typed title. When no such file exists, the path's
// "@default" file answers (a search page with no hits, say). "/" is "index.html".
//
//   /find?q=Alien;tt=1                 -> find@q=alien;tt=1   (else find@default)
//   /bus/resu.php?texto=Blade Runner&donde=1
//                                      -> bus/resu.php@texto=blade runner&donde=1
//   /title/tt0078748                   -> title/tt0078748.html
//   /title/tt0078748/plotsummary       -> title/tt0078748/plotsummary.html
//   /art/ver.php?art=1234              -> art/ver.php@art=1234
//   /imatges/articulos/alien.jpg       -> imatges/articulos/alien.jpg
//
// A path with a ".." segment, a backslash or a zero byte names nothing.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace site {

inline std::string PercentDecode(std::string_view s, bool plusIsBlank) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2])));
      i += 2;
    } else if (s[i] == '+' && plusIsBlank) {
      out.push_back(' ');
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// The candidate file names (relative to the site directory), best first; empty when the target
// names nothing.
inline std::vector<std::string> CandidateFiles(std::string_view target) {
  std::string_view rawPath = target;
  std::string_view rawQuery;
  bool hasQuery = false;
  if (auto q = target.find('?'); q != std::string_view::npos) {
    rawPath = target.substr(0, q);
    rawQuery = target.substr(q + 1);
    hasQuery = true;
  }
  std::string path = PercentDecode(rawPath, false);
  if (path.empty() || path[0] != '/') return {};
  if (path.find('\0') != std::string::npos || path.find('\\') != std::string::npos) return {};
  path.erase(0, 1);
  std::vector<std::string> segments;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(start, end - start);
    if (segment == "..") return {};
    if (!segment.empty() && segment != ".") segments.push_back(segment);
    start = end + 1;
  }
  std::string base;
  for (const auto& segment : segments) base += (base.empty() ? "" : "/") + segment;
  if (base.empty()) base = "index";
  if (hasQuery) {
    std::string query = PercentDecode(rawQuery, true);
    if (query.find('\0') != std::string::npos || query.find('/') != std::string::npos) {
      return {base + "@default"};
    }
    for (char& c : query) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return {base + "@" + query, base + "@default"};
  }
  std::string last = segments.empty() ? base : segments.back();
  if (last.find('.') == std::string::npos) return {base + ".html", base + "@default"};
  return {base};
}

// The content type a file is served with: HTML pages in the sites' own Windows-1252.
inline std::string ContentTypeOf(std::string_view file) {
  auto endsWith = [&](std::string_view e) {
    return file.size() >= e.size() && file.substr(file.size() - e.size()) == e;
  };
  if (endsWith(".jpg") || endsWith(".jpeg")) return "image/jpeg";
  if (endsWith(".png")) return "image/png";
  if (endsWith(".gif")) return "image/gif";
  if (endsWith(".txt")) return "text/plain; charset=windows-1252";
  return "text/html; charset=windows-1252";
}

struct Found {
  std::string file;  // relative to the site directory
  std::string bytes;
  std::string contentType;
};

// Reads the file the target names, or nothing (the caller answers 404).
inline std::optional<Found> Lookup(const std::filesystem::path& siteDir, std::string_view target) {
  for (const auto& name : CandidateFiles(target)) {
    std::filesystem::path file = siteDir / name;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) continue;
    std::ifstream in(file, std::ios::binary);
    if (!in) continue;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Found{name, std::move(bytes), ContentTypeOf(name)};
  }
  return std::nullopt;
}

}  // namespace site
