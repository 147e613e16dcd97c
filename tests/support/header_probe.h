#pragma once
// What a person sees of a list's column headers: the sort arrow on a column, a click on a
// header's middle, and how much dark ink an area of a rendered picture holds.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QTest>
#include <QTreeWidget>

#include "services/columnsort/columnsort_qt.h"

namespace testsupport {

// 0 no arrow, 1 up, -1 down; any other picture fails the test.
inline int ArrowOn(QTreeWidget* list, int column) {
  const QIcon icon = list->headerItem()->icon(column);
  if (icon.isNull()) return 0;
  const QImage shown = icon.pixmap(12, 12).toImage().convertToFormat(QImage::Format_RGB32);
  if (shown == ColumnSorterArrow(0).convertToFormat(QImage::Format_RGB32)) return 1;
  if (shown == ColumnSorterArrow(1).convertToFormat(QImage::Format_RGB32)) return -1;
  ADD_FAILURE() << "column " << column << " shows a picture that is neither arrow";
  return 99;
}

inline void ClickHeader(QTreeWidget* list, int column) {
  QHeaderView* header = list->header();
  const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(x, header->height() / 2));
}

inline int DarkPixels(const QImage& image, const QRect& area) {
  int dark = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qGray(image.pixel(x, y)) < 96) ++dark;
  return dark;
}

}  // namespace testsupport
