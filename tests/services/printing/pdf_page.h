#pragma once
// Reading back what Qt's PDF printer wrote: the number of pages, and a page rendered to a
// picture by pdftoppm (poppler-utils), for the printing and card tests. Header-only.
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace pdftest {

inline std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The page objects of the file ("/Type /Page", not the "/Type /Pages" tree).
inline int PageObjects(const std::filesystem::path& pdf) {
  const QString bytes = QString::fromLatin1(FileBytes(pdf));
  return static_cast<int>(bytes.count(QRegularExpression("/Type\\s*/Page(?![s\\w])")));
}

// What pdfinfo tells of the file ("Title:", "Pages:" ...), empty when it failed.
inline QString PdfInfo(const std::filesystem::path& pdf) {
  QProcess process;
  process.start("pdfinfo", {QString::fromStdString(pdf.string())});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The value of one line of pdfinfo's answer.
inline QString PdfInfoField(const QString& info, const QString& field) {
  for (const QString& line : info.split('\n'))
    if (line.startsWith(field + ":")) return line.mid(field.size() + 1).trimmed();
  return {};
}

// The first page at the given resolution, or a null picture when pdftoppm failed.
inline QImage RenderFirstPage(const std::filesystem::path& pdf, int dotsPerInch,
                              const std::filesystem::path& pngBase) {
  QProcess process;
  process.start("pdftoppm", {"-r", QString::number(dotsPerInch), "-f", "1", "-l", "1",
                             "-singlefile", "-png", QString::fromStdString(pdf.string()),
                             QString::fromStdString(pngBase.string())});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) return {};
  return QImage(QString::fromStdString(pngBase.string() + ".png"));
}

// The smallest rectangle holding every pixel that passes the test, or an empty one.
template <typename Test>
QRect InkBounds(const QImage& image, const QRect& area, Test test) {
  int left = area.right() + 1, right = area.left() - 1, top = area.bottom() + 1,
      bottom = area.top() - 1;
  for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
    for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
      if (test(image.pixelColor(x, y))) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right < left) return {};
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

inline bool Dark(const QColor& c) { return c.red() < 128 && c.green() < 128 && c.blue() < 128; }
inline bool Red(const QColor& c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; }

}  // namespace pdftest
