// The GUI layer's lists on a real model and view: the event subtypes that real clicks and keys
// raise, selection, rows split at line feeds, columns inserted, removed and kept invisible.
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QTreeView>

#include <algorithm>

#include "tests/services/gui/gui_test_support.h"

using guitest::GuiTest;
using guitest::OpenShown;
using guitest::Subtypes;
using guitest::TakeAll;

namespace {

constexpr int kList = 4;

class GuiLists : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    window_ = OpenShown(1, 300, 300);
    GadgetCreateList(kList, 5, 5, 210, 200, "ListIcon5"_t, 100,
                     kListFullRowSelect | kListGridLines | kListKeepSelection);
    // As the program sets its lists up: the placeholder goes, three columns come.
    ListRemoveColumn(kList, 0);
    ListAddColumn(kList, 0, "TITULOS ENCONTRADOS"_t, 160);
    ListAddColumn(kList, 1, "Indice"_t, 0);
    ListAddColumn(kList, 2, "bd"_t, 30);
    ListAddRow(kList, -1, "Alien\n123\nC"_t);
    ListAddRow(kList, -1, "Brazil\n77\nI"_t);
    ListAddRow(kList, -1, "Casablanca\n9\nC"_t);
    TakeAll();
  }
  QTreeView* list() const { return GuiListWidget(kList); }
  QRect RowRect(int row) const { return list()->visualRect(list()->model()->index(row, 0)); }
  QPoint RowPoint(int row) const {
    return QPoint(RowRect(row).left() + 20, RowRect(row).center().y());
  }
  QPoint BelowTheRows() const {
    return QPoint(40, RowRect(static_cast<int>(ListCount(kList)) - 1).bottom() + 30);
  }
  // Where a column of the list starts in the viewport, and how wide a person sees it: 0 for one
  // that has no header section.
  int ColumnX(int column) const {
    return list()->header()->sectionViewportPosition(GuiListSection(kList, column));
  }
  int Width(int column) const {
    const int section = GuiListSection(kList, column);
    return section < 0 ? 0 : list()->header()->sectionSize(section);
  }
  void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(list()->viewport(), button, Qt::NoModifier, at);
  }
  // A person's double click: a click, then the second press that the toolkit calls a double.
  void DoubleClick(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(list()->viewport(), button, Qt::NoModifier, at);
    QTest::mouseDClick(list()->viewport(), button, Qt::NoModifier, at);
  }
  QWidget* window_ = nullptr;
};

int Count(const std::vector<int>& v, int value) {
  return static_cast<int>(std::count(v.begin(), v.end(), value));
}

}  // namespace

TEST_F(GuiLists, RowsAreSplitAtLineFeedsIntoTheirCells) {
  EXPECT_EQ(ListCount(kList), 3);
  EXPECT_EQ(ListCellText(kList, 0, 0), "Alien");
  EXPECT_EQ(ListCellText(kList, 0, 1), "123");
  EXPECT_EQ(ListCellText(kList, 0, 2), "C");
  // Row -1 answers the columns' titles.
  EXPECT_EQ(ListCellText(kList, -1, 0), "TITULOS ENCONTRADOS");
  EXPECT_EQ(ListCellText(kList, -1, 1), "Indice");
  EXPECT_EQ(ListCellText(kList, -1, 2), "bd");
  // Missing cells stay empty; cells beyond the columns are dropped; empty cells are kept.
  ListAddRow(kList, -1, "Solo"_t);
  ListAddRow(kList, -1, "a\n\nI\nsobra"_t);
  EXPECT_EQ(ListCellText(kList, 3, 0), "Solo");
  EXPECT_EQ(ListCellText(kList, 3, 1), "");
  EXPECT_EQ(ListCellText(kList, 3, 2), "");
  EXPECT_EQ(ListCellText(kList, 4, 1), "");
  EXPECT_EQ(ListCellText(kList, 4, 2), "I");
  EXPECT_EQ(ListCellText(kList, 4, 3), "");
  // Positions: 0 is the top; one past the end or -1 appends.
  ListAddRow(kList, 0, "Primero"_t);
  ListAddRow(kList, 99, "Ultimo"_t);
  EXPECT_EQ(ListCellText(kList, 0, 0), "Primero");
  EXPECT_EQ(ListCellText(kList, 1, 0), "Alien");
  EXPECT_EQ(ListCellText(kList, 6, 0), "Ultimo");
  EXPECT_EQ(ListCount(kList), 7);
  // Cells out of range answer empty.
  EXPECT_EQ(ListCellText(kList, 7, 0), "");
  EXPECT_EQ(ListCellText(kList, 0, 3), "");
  EXPECT_EQ(ListCellText(kList, -2, 0), "");
  // Removing rows that do not exist removes nothing.
  ListRemoveRow(kList, -1);
  ListRemoveRow(kList, 7);
  EXPECT_EQ(ListCount(kList), 7);
  ListRemoveRow(kList, 0);
  EXPECT_EQ(ListCellText(kList, 0, 0), "Alien");
  ListClear(kList);
  EXPECT_EQ(ListCount(kList), 0);
  EXPECT_EQ(GadgetGetState(kList), -1);
  EXPECT_EQ(ListCellText(kList, -1, 2), "bd");  // the columns stay
}

TEST_F(GuiLists, ColumnsMoveWithTheirCellsAndWidths) {
  ListAddColumn(kList, 1, "Nuevo"_t, 50);
  EXPECT_EQ(GuiListModel(kList)->columnCount(), 4);
  EXPECT_EQ(ListCellText(kList, -1, 1), "Nuevo");
  EXPECT_EQ(ListCellText(kList, -1, 2), "Indice");
  EXPECT_EQ(ListCellText(kList, 0, 1), "");
  EXPECT_EQ(ListCellText(kList, 0, 2), "123");
  EXPECT_EQ(ListCellText(kList, 0, 3), "C");
  EXPECT_EQ(Width(0), 160);
  EXPECT_EQ(Width(1), 50);
  EXPECT_EQ(Width(2), 0);
  EXPECT_EQ(Width(3), 30);
  ListRemoveColumn(kList, 1);
  EXPECT_EQ(GuiListModel(kList)->columnCount(), 3);
  EXPECT_EQ(ListCellText(kList, 0, 1), "123");
  EXPECT_EQ(Width(1), 0);
  EXPECT_EQ(Width(2), 30);
  ListRemoveColumn(kList, 5);  // no such column
  EXPECT_EQ(GuiListModel(kList)->columnCount(), 3);
}

TEST_F(GuiLists, AColumnOfWidthZeroCannotBeDraggedOpen) {
  QHeaderView* header = list()->header();
  ASSERT_EQ(Width(1), 0);
  // Drag from the edge where the invisible column lies, as a person grabbing it would.
  const int edge = ColumnX(2);
  QWidget* port = header->viewport();
  const int y = header->height() / 2;
  QTest::mousePress(port, Qt::LeftButton, Qt::NoModifier, QPoint(edge, y));
  QTest::mouseMove(port, QPoint(edge + 40, y));
  QTest::mouseRelease(port, Qt::LeftButton, Qt::NoModifier, QPoint(edge + 40, y));
  EXPECT_EQ(Width(1), 0);
  EXPECT_EQ(header->count(), 2);
  EXPECT_TRUE(Subtypes(TakeAll(), kList).empty());  // a header raises nothing
}

TEST_F(GuiLists, ALeftClickOnARowSelectsItThenRaisesZero) {
  Click(RowPoint(1));
  const std::vector<int> subtypes = Subtypes(TakeAll(), kList);
  // The selection changed, then the click: when subtype 0 is handled, the row is selected.
  EXPECT_EQ(subtypes, (std::vector<int>{768, 0}));
  EXPECT_EQ(GadgetGetState(kList), 1);
  // A click on the row already selected raises 0 alone.
  Click(RowPoint(1));
  EXPECT_EQ(Subtypes(TakeAll(), kList), (std::vector<int>{0}));
  // A click on the hidden and the last column selects the whole row as well.
  Click(QPoint(ColumnX(2) + 10, RowRect(2).center().y()));
  EXPECT_EQ(GadgetGetState(kList), 2);
  EXPECT_EQ(Subtypes(TakeAll(), kList), (std::vector<int>{768, 0}));
  EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 1);
  // Right of the last column, where the columns (190 pixels) stop short of the list's edge, the
  // click is on the row all the same: it selects it, and a double click there is one as well.
  const int strip = list()->viewport()->width() - 3;
  ASSERT_GT(strip, list()->header()->length());
  const QPoint right(strip, RowRect(0).center().y());
  Click(right);
  EXPECT_EQ(GadgetGetState(kList), 0);
  EXPECT_EQ(Subtypes(TakeAll(), kList), (std::vector<int>{768, 0}));
  DoubleClick(right);
  const std::vector<int> twice = Subtypes(TakeAll(), kList);
  EXPECT_EQ(Count(twice, 2), 1);
  EXPECT_EQ(Count(twice, 768), 0);
  EXPECT_EQ(twice.back(), 2);
  EXPECT_EQ(GadgetGetState(kList), 0);
}

TEST_F(GuiLists, AClickBelowTheLastRowClearsTheSelectionAndStillRaisesZero) {
  ListSelectRow(kList, 2, true);
  TakeAll();
  Click(BelowTheRows());
  const std::vector<int> subtypes = Subtypes(TakeAll(), kList);
  EXPECT_EQ(GadgetGetState(kList), -1);
  EXPECT_EQ(Count(subtypes, 0), 1);
  EXPECT_EQ(Count(subtypes, 768), 1);
  EXPECT_EQ(subtypes.back(), 0);  // after the selection was cleared
  // On an empty list, too.
  ListClear(kList);
  TakeAll();
  Click(QPoint(40, 40));
  EXPECT_EQ(Subtypes(TakeAll(), kList), (std::vector<int>{0}));
  EXPECT_EQ(GadgetGetState(kList), -1);
}

TEST_F(GuiLists, RightClicksAndDoubleClicks) {
  Click(RowPoint(0), Qt::RightButton);
  std::vector<int> subtypes = Subtypes(TakeAll(), kList);
  EXPECT_EQ(Count(subtypes, 1), 1);
  EXPECT_EQ(Count(subtypes, 0), 0);

  DoubleClick(RowPoint(2));
  subtypes = Subtypes(TakeAll(), kList);
  EXPECT_EQ(Count(subtypes, 2), 1);
  EXPECT_GE(Count(subtypes, 0), 1);  // its first click is a left click
  EXPECT_EQ(subtypes.back(), 2);
  EXPECT_EQ(Count(subtypes, 3), 0);
  EXPECT_EQ(GadgetGetState(kList), 2);

  DoubleClick(RowPoint(1), Qt::RightButton);
  subtypes = Subtypes(TakeAll(), kList);
  EXPECT_EQ(Count(subtypes, 3), 1);
  EXPECT_EQ(Count(subtypes, 2), 0);
  EXPECT_EQ(Count(subtypes, 0), 0);
}

TEST_F(GuiLists, HeaderClicksRaiseNothingAndKeysChangeTheSelection) {
  QHeaderView* header = list()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(ColumnX(0) + 20, header->height() / 2));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(ColumnX(2) + 10, header->height() / 2));
  EXPECT_TRUE(TakeAll().empty());
  EXPECT_EQ(GadgetGetState(kList), -1);
  EXPECT_EQ(ListCellText(kList, 0, 0), "Alien");  // and sorted nothing

  Click(RowPoint(0));
  TakeAll();
  QTest::keyClick(list(), Qt::Key_Down);
  EXPECT_EQ(GadgetGetState(kList), 1);
  EXPECT_EQ(Subtypes(TakeAll(), kList), (std::vector<int>{768}));
}

TEST_F(GuiLists, SelectingByTheProgramKeepsOneRowAndRaisesOnlyTheChange) {
  ListSelectRow(kList, 0, true);
  ListSelectRow(kList, 2, true);
  EXPECT_EQ(GadgetGetState(kList), 2);
  EXPECT_EQ(list()->selectionModel()->selectedRows().size(), 1);
  for (const Event& e : TakeAll()) EXPECT_EQ(e.subtype, 768);
  ListSelectRow(kList, 2, false);
  EXPECT_EQ(GadgetGetState(kList), -1);
  ListSelectRow(kList, 3, true);  // no such row
  ListSelectRow(kList, -1, true);
  EXPECT_EQ(GadgetGetState(kList), -1);
  GadgetSetState(kList, std::int64_t{1});
  EXPECT_EQ(GadgetGetState(kList), 1);
  GadgetSetState(kList, std::int64_t{-1});
  EXPECT_EQ(GadgetGetState(kList), -1);
  GadgetSetState(kList, (std::int64_t{1} << 32) + 2);  // no such row: not row 2 cut to an int
  EXPECT_EQ(GadgetGetState(kList), -1);
  ListSelectRow(kList, 1, true);
  ListRemoveRow(kList, 1);
  EXPECT_EQ(ListCount(kList), 2);
  EXPECT_EQ(ListCellText(kList, 1, 0), "Casablanca");
}

TEST_F(GuiLists, NeverEditedInPlace) {
  Click(RowPoint(0));
  DoubleClick(RowPoint(0));
  QTest::keyClick(list(), Qt::Key_F2);
  QTest::keyClicks(list(), "zz");
  QTest::keyClick(list(), Qt::Key_Return);
  EXPECT_EQ(ListCellText(kList, 0, 0), "Alien");
  EXPECT_EQ(list()->viewport()->findChild<QLineEdit*>(), nullptr);  // no editor was opened
}

TEST_F(GuiLists, SelectionStaysVisibleWithoutTheFocusAndRendersWithGridLines) {
  ListSetColours(kList, Rgb{255, 255, 191});
  GadgetCreateButton(9, 220, 5, 70, 25, "otro"_t);
  ListSelectRow(kList, 1, true);
  GadgetFocus(9);
  QApplication::processEvents();
  ASSERT_FALSE(list()->hasFocus());
  const QImage shot = window_->grab().toImage();
  QDir().mkpath(TEST_OUTPUT_DIR);
  shot.save(QStringLiteral(TEST_OUTPUT_DIR) + "/gui_list.png");
  // The selected row is painted in the highlight colour although the list lost the focus.
  // Looked at right of the titles' text, left of the grid line that ends column 0.
  const int x = ColumnX(2) - 5;
  const QPoint selected = list()->viewport()->mapTo(window_, QPoint(x, RowPoint(1).y()));
  const QColor highlight = list()->palette().color(QPalette::Active, QPalette::Highlight);
  EXPECT_EQ(shot.pixelColor(selected), highlight);
  // An unselected row shows the list's own background.
  const QPoint plain = list()->viewport()->mapTo(window_, QPoint(x, RowPoint(2).y()));
  EXPECT_EQ(shot.pixelColor(plain), QColor(255, 255, 191));
  // Grid lines are the button face's colour, exactly: the line that ends column 0 of a row.
  const QPoint line = list()->viewport()->mapTo(
      window_, QPoint(ColumnX(2) - 1, RowPoint(2).y()));
  EXPECT_EQ(shot.pixelColor(line), list()->palette().color(QPalette::Active, QPalette::Button));
}
