// The column sorter on a real list: kind 0's order, the directions of sort now and of header
// clicks made with the mouse, the arrow in the header, kind 7, the result codes and the rows'
// numbering.
#include <gtest/gtest.h>

#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QTest>
#include <QTreeView>
#include <string>
#include <vector>

#include "services/columnsort/columnsort.h"
#include "services/columnsort/columnsort_qt.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "tests/support/header_probe.h"

namespace {

constexpr int kWindow = 1;
constexpr int kList = 5;
constexpr int kOtherList = 4;
constexpr int kButton = 6;

void AddRow(const Text& title, const Text& id = "1", const Text& letter = "C") {
  ListAddRow(kList, -1, title + '\n' + id + '\n' + letter);
}

std::vector<Text> Column(int column) {
  std::vector<Text> cells;
  for (int i = 0; i < ListCount(kList); ++i) cells.push_back(ListCellText(kList, i, column));
  return cells;
}

GuiListRows* Rows() { return GuiListModel(kList); }

int ArrowOn(int column) { return testsupport::ArrowOn(kList, column); }

void ClickHeader(int column) { testsupport::ClickHeader(kList, column); }

using testsupport::DarkPixels;

void SaveRender(QWidget* widget, const char* name) {
  QDir().mkpath(TEST_OUTPUT_DIR);
  widget->grab().save(QString(TEST_OUTPUT_DIR) + "/" + name);
}

class ColumnSorterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowOpen(kWindow, 0, 0, 300, 260, "Cinevarta"_t, kWindowTitleBar | kWindowSystemMenu);
    const int flags = kListFullRowSelect | kListGridLines | kListKeepSelection;
    GadgetCreateList(kList, 10, 10, 230, 160, "Películas Favoritas"_t, 160, flags);
    ListAddColumn(kList, 1, "Indice"_t, 0);
    ListAddColumn(kList, 2, "bd"_t, 29);
    GadgetCreateList(kOtherList, 10, 180, 230, 60, "Títulos"_t, 160, flags);
    GadgetCreateButton(kButton, 250, 10, 40, 20, "B"_t);
    ColumnSorterInit();
    ASSERT_EQ(ColumnSorterAttach(kList, kHeaderMarkArrowLeft), kSorterDone);
    ASSERT_EQ(ColumnSorterSetKind(kList, 0, kSortKindTextNoCase), kSorterDone);
    while (EventPoll().kind != kEventNone) {
    }
  }
  void TearDown() override { WindowClose(kWindow); }
};

using ColumnSorterOrder = ColumnSorterTest;

TEST_F(ColumnSorterOrder, KindZeroFoldsAsciiCapitalsAndComparesOtherBytesByValue) {
  struct Case {
    Text first, second;  // ascending order
    bool equal;          // then both directions keep the rows as they were added
  };
  const std::vector<Case> cases = {
      {"alien", "Blade Runner", false},
      {"Blade", "blade runner", false},  // a prefix comes first
      {"alien", "Zoo", false},
      {"zz", "\xC9l", false},           // "Él": its first byte is above every ASCII letter
      {"\xC9l", "\xE9l", false},        // accented capitals are not folded
      {"a[", "aZ", false},              // "Z" compares as "z", above "["
      {"a_", "aB", false},              // "B" compares as "b", above "_"
      {"10", "9", false},               // texts, not numbers
      {"", "a", false},
      {"z", "\x80", false},             // "€"
      {"ALIEN", "alien", true},
      {std::string(254, 'x') + "a", std::string(254, 'x') + "b", false},
      {std::string(255, 'x') + "b", std::string(255, 'x') + "a", true},  // past 255: not looked at
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first.substr(0, 20) + " / " + c.second.substr(0, 20));
    ListClear(kList);
    AddRow(c.second);
    AddRow(c.first);
    const std::vector<Text> added = {c.second, c.first};
    ASSERT_EQ(ColumnSorterSortNow(kList, 0, kSortAscending), kSorterDone);
    EXPECT_EQ(Column(0), c.equal ? added : std::vector<Text>({c.first, c.second}));
    ASSERT_EQ(ColumnSorterSortNow(kList, 0, kSortDescending), kSorterDone);
    EXPECT_EQ(Column(0), c.equal ? added : std::vector<Text>({c.second, c.first}));
  }
}

TEST_F(ColumnSorterOrder, RowsMoveWholeAndTheSelectedRowStaysSelected) {
  AddRow("Zoo", "3", "I");
  AddRow("alien", "1", "C");
  AddRow("Blade Runner", "2", "C");
  ListSelectRow(kList, 0, true);  // "Zoo"
  ColumnSorterSortNow(kList, 0, kSortAscending);
  EXPECT_EQ(Column(0), (std::vector<Text>{"alien", "Blade Runner", "Zoo"}));
  EXPECT_EQ(Column(1), (std::vector<Text>{"1", "2", "3"}));
  EXPECT_EQ(Column(2), (std::vector<Text>{"C", "C", "I"}));
  EXPECT_EQ(GadgetGetState(kList), 2);
  EXPECT_EQ(GuiListWidget(kList)->currentIndex().row(), 2) << "the keys go on from there";
  ColumnSorterSortNow(kList, 0, kSortDescending);
  EXPECT_EQ(Column(0), (std::vector<Text>{"Zoo", "Blade Runner", "alien"}));
  EXPECT_EQ(GadgetGetState(kList), 0);
  EXPECT_EQ(GuiListWidget(kList)->currentIndex().row(), 0);
}

TEST_F(ColumnSorterOrder, EveryRowHoldsItsIndexAfterSortsInsertionsAndRemovals) {
  auto expectNumbered = [](const char* when) {
    SCOPED_TRACE(when);
    for (int i = 0; i < Rows()->rowCount(); ++i)
      EXPECT_EQ(Rows()->index(i, 0).data(Qt::UserRole), QVariant(i)) << "row " << i;
  };
  for (const char* title : {"d", "b", "e", "a", "c"}) AddRow(title);
  expectNumbered("after adding");
  ColumnSorterSortNow(kList, 0, kSortDescending);
  expectNumbered("after a sort");
  ListRemoveRow(kList, 1);
  expectNumbered("after removing a middle row");
  ListAddRow(kList, 0, "first\n9\nI");
  expectNumbered("after inserting at the top");
  ListClear(kList);
  AddRow("z");
  expectNumbered("after clearing and adding");
}

using ColumnSorterHeader = ColumnSorterTest;

TEST_F(ColumnSorterHeader, ArrowsAreTwelveByTwelveAndPointTheRightWay) {
  for (int index : {0, 1}) {
    const QImage arrow = ColumnSorterArrow(index);
    ASSERT_FALSE(arrow.isNull()) << index;
    EXPECT_EQ(arrow.size(), QSize(12, 12));
  }
  // An up arrow is narrow in its upper half and wide in its lower half; a down arrow the reverse.
  const QImage up = ColumnSorterArrow(0), down = ColumnSorterArrow(1);
  const QRect upper(0, 0, 12, 6), lower(0, 6, 12, 6);
  EXPECT_GT(DarkPixels(up, upper), 0);
  EXPECT_LT(DarkPixels(up, upper), DarkPixels(up, lower));
  EXPECT_GT(DarkPixels(down, upper), DarkPixels(down, lower));
  ColumnSorterRelease();
  EXPECT_TRUE(ColumnSorterArrow(0).isNull());
  ColumnSorterInit();
  EXPECT_FALSE(ColumnSorterArrow(0).isNull());
}

TEST_F(ColumnSorterHeader, ClicksAfterALoadSortDescendingThenByLetterWithTheArrowFollowing) {
  AddRow("Blade Runner", "2", "C");
  AddRow("Zoo", "3", "I");
  AddRow("alien", "1", "C");
  AddRow("Amélie"_t, "4", "I");
  ColumnSorterSortNow(kList, 0, kSortAscending);  // as after loading the favourites
  EXPECT_EQ(ArrowOn(0), 1);

  ClickHeader(0);
  EXPECT_EQ(Column(0), (std::vector<Text>{"Zoo", "Blade Runner", "Amélie"_t, "alien"}));
  EXPECT_EQ(ArrowOn(0), -1);

  ClickHeader(0);
  EXPECT_EQ(Column(0), (std::vector<Text>{"alien", "Amélie"_t, "Blade Runner", "Zoo"}));
  EXPECT_EQ(ArrowOn(0), 1);

  ClickHeader(2);  // "bd": a new column starts ascending
  EXPECT_EQ(Column(2), (std::vector<Text>{"C", "C", "I", "I"}));
  EXPECT_EQ(ArrowOn(0), 0);
  EXPECT_EQ(ArrowOn(2), 1);
  SaveRender(GuiWindowClient(kWindow), "columnsort_by_letter.png");

  ClickHeader(2);
  EXPECT_EQ(Column(2), (std::vector<Text>{"I", "I", "C", "C"}));
  EXPECT_EQ(ArrowOn(2), -1);

  ClickHeader(0);  // back to the titles: ascending again, whatever column 0 had before
  EXPECT_EQ(Column(0), (std::vector<Text>{"alien", "Amélie"_t, "Blade Runner", "Zoo"}));
  EXPECT_EQ(ArrowOn(0), 1);
  EXPECT_EQ(ArrowOn(2), 0);
}

TEST_F(ColumnSorterHeader, TitlesAndAlignmentStayBesideTheArrow) {
  AddRow("b");
  AddRow("a");
  const auto alignment = [](int column) {
    return Rows()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
  };
  const QVariant alignment0 = alignment(0);
  const QVariant alignment2 = alignment(2);
  ColumnSorterSortNow(kList, 0, kSortAscending);
  ClickHeader(2);
  EXPECT_EQ(ListCellText(kList, -1, 0), "Películas Favoritas"_t);
  EXPECT_EQ(ListCellText(kList, -1, 1), "Indice"_t);
  EXPECT_EQ(ListCellText(kList, -1, 2), "bd"_t);
  EXPECT_EQ(alignment(0), alignment0);
  EXPECT_EQ(alignment(2), alignment2);
  EXPECT_EQ(Rows()->columnCount(), 3);
}

TEST_F(ColumnSorterHeader, AnEmptyListIsLeftAloneWithoutAnyArrow) {
  EXPECT_EQ(ColumnSorterSortNow(kList, 0, kSortAscending), kSorterDone);
  ClickHeader(0);
  ClickHeader(2);
  for (int column : {0, 1, 2}) EXPECT_EQ(ArrowOn(column), 0) << column;
}

TEST_F(ColumnSorterHeader, AColumnOfKindSevenIsNeverSorted) {
  AddRow("b", "1", "I");
  AddRow("a", "2", "C");
  ColumnSorterSortNow(kList, 0, kSortAscending);
  ASSERT_EQ(ColumnSorterSetKind(kList, 2, kSortKindNotSorted), kSorterDone);
  ClickHeader(2);
  EXPECT_EQ(Column(0), (std::vector<Text>{"a", "b"}));
  EXPECT_EQ(ArrowOn(2), 0);
  EXPECT_EQ(ArrowOn(0), 1) << "the mark stays where the last sort put it";
  EXPECT_EQ(ColumnSorterSortNow(kList, 2, kSortAscending), kSorterDone);
  EXPECT_EQ(Column(0), (std::vector<Text>{"a", "b"}));
  // A kind beyond one byte must not turn into kind 7 by wrapping.
  ASSERT_EQ(ColumnSorterSetKind(kList, 2, 256 + kSortKindNotSorted), kSorterDone);
  ClickHeader(2);
  EXPECT_EQ(Column(2), (std::vector<Text>{"C", "I"}));
}

TEST_F(ColumnSorterHeader, AHeaderClickRaisesNoEventForTheProgram) {
  AddRow("b");
  AddRow("a");
  ListSelectRow(kList, 0, true);  // the sort moves it, but it stays the one selected
  while (EventPoll().kind != kEventNone) {
  }
  ClickHeader(0);
  ASSERT_EQ(GadgetGetState(kList), 1);
  for (Event e = EventPoll(); e.kind != kEventNone; e = EventPoll())
    EXPECT_FALSE(e.kind == GadgetActivity && e.number == kList) << "subtype " << e.subtype;
}

TEST_F(ColumnSorterHeader, AttachingAgainStartsOverAndTakesTheOldMarkAway) {
  AddRow("b");
  AddRow("a");
  ColumnSorterSortNow(kList, 0, kSortAscending);
  ASSERT_EQ(ColumnSorterAttach(kList, kHeaderMarkArrowLeft), kSorterDone);
  EXPECT_EQ(ArrowOn(0), 0);
  ClickHeader(0);  // the next direction is +1 again
  EXPECT_EQ(Column(0), (std::vector<Text>{"a", "b"}));
  EXPECT_EQ(ArrowOn(0), 1);
}

TEST_F(ColumnSorterHeader, GuillemetsMarkTheTitleAndGoWhenAnotherColumnIsSorted) {
  ASSERT_EQ(ColumnSorterAttach(kList, kHeaderMarkGuillemets), kSorterDone);
  AddRow("b", "1", "I");
  AddRow("a", "2", "C");
  ColumnSorterSortNow(kList, 0, kSortAscending);
  EXPECT_EQ(ListCellText(kList, -1, 0), "«Películas Favoritas»"_t);
  ClickHeader(0);
  EXPECT_EQ(ListCellText(kList, -1, 0), "«Películas Favoritas»"_t) << "marked once, not twice";
  ClickHeader(2);
  EXPECT_EQ(ListCellText(kList, -1, 0), "Películas Favoritas"_t);
  EXPECT_EQ(ListCellText(kList, -1, 2), "«bd»"_t);
  EXPECT_EQ(ArrowOn(0), 0);
  EXPECT_EQ(ArrowOn(2), 0);
}

TEST_F(ColumnSorterHeader, TheArrowStandsLeftOfTheTitleOrRightOfIt) {
  AddRow("b");
  AddRow("a");
  QHeaderView* header = GuiListWidget(kList)->header();
  const int width = header->sectionSize(0);
  const QRect leftEnd(1, 2, 16, header->height() - 4);
  const QRect rightEnd(width - 18, 2, 16, header->height() - 4);

  ColumnSorterSortNow(kList, 0, kSortAscending);
  const QImage left = header->grab().toImage();
  SaveRender(GuiWindowClient(kWindow), "columnsort_arrow_left.png");
  EXPECT_GT(DarkPixels(left, leftEnd), 0);
  EXPECT_EQ(DarkPixels(left, rightEnd), 0) << "the title is shorter than its column";

  ASSERT_EQ(ColumnSorterAttach(kList, kHeaderMarkArrowRight), kSorterDone);
  ColumnSorterSortNow(kList, 0, kSortDescending);
  const QImage right = header->grab().toImage();
  SaveRender(GuiWindowClient(kWindow), "columnsort_arrow_right.png");
  EXPECT_GT(DarkPixels(right, rightEnd), 0);
  EXPECT_EQ(ArrowOn(0), -1);
}

using ColumnSorterResults = ColumnSorterTest;

TEST_F(ColumnSorterResults, EachFailureHasItsCode) {
  EXPECT_EQ(ColumnSorterAttach(77, kHeaderMarkArrowLeft), kSorterNoGadget);
  EXPECT_EQ(ColumnSorterAttach(kButton, kHeaderMarkArrowLeft), kSorterNoGadget) << "not a list";
  EXPECT_EQ(ColumnSorterSetKind(77, 0, 0), kSorterNoGadget);
  EXPECT_EQ(ColumnSorterSortNow(77, 0, 1), kSorterNoGadget);
  EXPECT_EQ(ColumnSorterSetKind(kList, 256, 0), kSorterBadColumn);
  EXPECT_EQ(ColumnSorterSetKind(kList, -1, 0), kSorterBadColumn);
  EXPECT_EQ(ColumnSorterSortNow(kList, 256, 1), kSorterBadColumn);
  EXPECT_EQ(ColumnSorterSetKind(kOtherList, 0, 0), kSorterNotAttached);
  EXPECT_EQ(ColumnSorterSortNow(kOtherList, 0, 1), kSorterNotAttached);
  EXPECT_EQ(ColumnSorterSetKind(kList, 255, 0), kSorterDone);
  EXPECT_EQ(ColumnSorterSortNow(kList, 255, 1), kSorterDone) << "a column without cells";
}

TEST_F(ColumnSorterResults, AListMadeAgainUnderItsNumberMustBeAttachedAgain) {
  GadgetCreateList(kList, 10, 10, 230, 160, "Películas Favoritas"_t, 160, 0);
  EXPECT_EQ(ColumnSorterSortNow(kList, 0, 1), kSorterNotAttached);
  EXPECT_EQ(ColumnSorterAttach(kList, kHeaderMarkArrowLeft), kSorterDone);
  AddRow("b");
  AddRow("a");
  ClickHeader(0);
  EXPECT_EQ(Column(0), (std::vector<Text>{"a", "b"}));
}

}  // namespace
