#pragma once
// What a person sees of a list's column headers: the sort arrow on a column, a click on a
// header's middle, and how much dark ink an area of a rendered picture holds. Columns are the
// list's own, numbered as the program numbers them; the header has sections for those that show.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QTest>
#include <QTreeView>

#include "services/columnsort/columnsort_qt.h"
#include "services/gui/gui_qt.h"

namespace testsupport {

// 0 no arrow, 1 up, -1 down; any other picture fails the test.
inline int ArrowOn(int list, int column) {
  const QIcon icon =
      GuiListModel(list)->headerData(column, Qt::Horizontal, Qt::DecorationRole).value<QIcon>();
  if (icon.isNull()) return 0;
  const QImage shown = icon.pixmap(12, 12).toImage().convertToFormat(QImage::Format_RGB32);
  if (shown == ColumnSorterArrow(0).convertToFormat(QImage::Format_RGB32)) return 1;
  if (shown == ColumnSorterArrow(1).convertToFormat(QImage::Format_RGB32)) return -1;
  ADD_FAILURE() << "column " << column << " shows a picture that is neither arrow";
  return 99;
}

inline void ClickHeader(int list, int column) {
  QHeaderView* header = GuiListWidget(list)->header();
  const int section = GuiListSection(list, column);
  ASSERT_GE(section, 0) << "column " << column << " has no header section";
  const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
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
