// The column sorter on Qt: a list's rows are a QStandardItemModel shown by a view whose own
// sorting stays off. A sort orders the rows by precomputed keys and puts them back in that order
// in one go, so a sort of n rows costs n log n comparisons and a few linear passes over the
// list.
#include "services/columnsort/columnsort.h"

#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QSignalBlocker>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "services/columnsort/arrow_pictures.h"
#include "services/columnsort/columnsort_qt.h"
#include "services/gui/gui_qt.h"
#include "services/images/image_decoders.h"
#include "services/text/qt_text.h"

namespace {

constexpr int kColumnCount = 256;
constexpr int kKeyCharacters = 255;

// Draws a header section's picture right of its title instead of left of it (header mark 3).
class ArrowRightHeaderStyle : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (element != CE_HeaderLabel || header == nullptr || header->icon.isNull()) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    QStyleOptionHeader plain(*header);
    plain.icon = QIcon();
    const int side = 12;
    QRect iconRect(plain.rect.right() - side - 3, plain.rect.center().y() - side / 2, side, side);
    plain.rect.setRight(iconRect.left() - 3);
    QProxyStyle::drawControl(element, &plain, painter, widget);
    header->icon.paint(painter, iconRect);
  }
};

struct AttachedList {
  QPointer<QTreeView> list;
  QPointer<QStandardItemModel> rows;
  int headerMark = kHeaderMarkArrowLeft;
  std::array<unsigned char, kColumnCount> kinds{};
  int nextDirection = kSortAscending;
  int lastColumn = -1;
  QPointer<QStandardItemModel> lastList;
  QString unmarkedTitle;  // mark 1: the marked column's title without its guillemets
  QMetaObject::Connection headerClicks;
};

// Keyed by gadget number; std::map keeps each record at one address for the lambdas' lookups.
std::map<int, AttachedList> attachedLists;
std::array<QImage, 2> arrowImages;
bool hookInstalled = false;

QIcon ArrowIcon(int index) {
  const QImage& image = arrowImages[static_cast<std::size_t>(index)];
  if (image.isNull()) return QIcon();
  return QIcon(QPixmap::fromImage(image));
}

// Kind 0's key: the first 255 characters as Windows-1252 bytes, ASCII capitals in lower case.
// std::string compares its bytes as unsigned values, which is the rest of the rule.
std::string TextNoCaseKey(const QString& cell) {
  std::string key = TextFromQString(cell.left(kKeyCharacters));
  if (key.size() > static_cast<std::size_t>(kKeyCharacters)) key.resize(kKeyCharacters);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

// Every row from the end backwards gets its index, up to the first row that already holds its
// own: after one insertion or removal only the rows behind it moved, so appending a row costs
// one step, not one step per row.
void RenumberTail(QStandardItemModel* rows) {
  for (int row = rows->rowCount() - 1; row >= 0; --row) {
    GuiListCell* first = GuiListCellAt(rows, row, 0);
    if (first == nullptr || first->rowNumber == row) break;
    first->rowNumber = row;
  }
}

void OnRowsChanged(int gadget, bool cleared) {
  auto found = attachedLists.find(gadget);
  if (found == attachedLists.end() || found->second.rows.isNull()) return;
  // A cleared list has no rows to number; the rows added next are numbered as they come.
  if (!cleared) RenumberTail(found->second.rows);
}

void InstallRowsHook() {
  if (hookInstalled) return;
  GuiSetListRowsChangedHook(&OnRowsChanged);
  hookInstalled = true;
}

QString Title(const QStandardItemModel* rows, int column) {
  return rows->headerData(column, Qt::Horizontal).toString();
}

void RemoveMark(AttachedList& record) {
  QStandardItemModel* rows = record.lastList;
  const int column = record.lastColumn;
  if (rows == nullptr || column < 0 || column >= rows->columnCount()) return;
  if (record.headerMark == kHeaderMarkGuillemets) {
    const QString marked = QChar(0x00AB) + record.unmarkedTitle + QChar(0x00BB);
    if (Title(rows, column) == marked)
      rows->setHeaderData(column, Qt::Horizontal, record.unmarkedTitle);
  } else {
    rows->setHeaderData(column, Qt::Horizontal, QIcon(), Qt::DecorationRole);
  }
}

void PutMark(AttachedList& record, QStandardItemModel* rows, int column, int direction) {
  if (column >= rows->columnCount()) return;
  if (record.headerMark == kHeaderMarkGuillemets) {
    QString title = Title(rows, column);
    if (record.lastList == rows && record.lastColumn == column && !record.unmarkedTitle.isNull() &&
        title == QChar(0x00AB) + record.unmarkedTitle + QChar(0x00BB))
      title = record.unmarkedTitle;
    record.unmarkedTitle = title;
    rows->setHeaderData(column, Qt::Horizontal, QChar(0x00AB) + title + QChar(0x00BB));
  } else {
    rows->setHeaderData(column, Qt::Horizontal, ArrowIcon(direction > 0 ? 0 : 1),
                        Qt::DecorationRole);
  }
}

struct SortEntry {
  std::string key;
  int row;
};

// Puts the rows in the order of the entries, numbered, with the selected and the current row
// where they went. Not the model's own sort: Qt 6.4's QStandardItemModel::sort moves the items
// without telling them their new places, and each item taken out of the model later (a cleared
// list) is then searched for, which costs time in the square of the rows (BM_ClearAfterQtSort in
// bench/favourites.cpp). The rows are made again in their new order instead, as copies that
// know their places: the old ones go out in one step, the first cells come in in one step, and
// the other cells are set quietly, as the views read them only when they next paint.
void PutInOrder(QTreeView* view, QStandardItemModel* rows, const std::vector<SortEntry>& order) {
  QItemSelectionModel* selection = view->selectionModel();
  const QModelIndexList selected = selection->selectedRows();  // the view's rows are the model's
  const QModelIndex current = selection->currentIndex();
  const int columns = rows->columnCount();
  if (columns == 0) return;  // rows without cells: nothing to show in any order
  std::vector<int> placeOf(order.size());
  QList<QStandardItem*> firsts;
  std::vector<QStandardItem*> others;
  firsts.reserve(static_cast<qsizetype>(order.size()));
  others.reserve(order.size() * static_cast<std::size_t>(std::max(columns - 1, 0)));
  for (std::size_t i = 0; i < order.size(); ++i) {
    placeOf[static_cast<std::size_t>(order[i].row)] = static_cast<int>(i);
    for (int c = 0; c < columns; ++c) {
      auto* copy = static_cast<GuiListCell*>(GuiListCellAt(rows, order[i].row, c)->clone());
      if (c == 0) {
        copy->rowNumber = static_cast<int>(i);
        firsts.append(copy);
      } else {
        others.push_back(copy);
      }
    }
  }
  rows->removeRows(0, rows->rowCount());
  rows->invisibleRootItem()->insertRows(0, firsts);
  {
    const QSignalBlocker quiet(rows);
    std::size_t next = 0;
    for (int r = 0; r < static_cast<int>(order.size()); ++r)
      for (int c = 1; c < columns; ++c) rows->setItem(r, c, others[next++]);
  }
  view->viewport()->update();
  const auto at = [&](const QModelIndex& old) {
    return view->model()->index(placeOf[static_cast<std::size_t>(old.row())], old.column());
  };
  if (!selected.isEmpty())
    selection->select(at(selected.first()),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (current.isValid()) selection->setCurrentIndex(at(current), QItemSelectionModel::NoUpdate);
}

// The steps of a header click; `userClick` false is a sort now with its own direction.
void SortList(AttachedList& record, int column, int direction, bool userClick) {
  QStandardItemModel* rows = record.rows;
  if (rows->rowCount() == 0) return;
  if (record.kinds[static_cast<std::size_t>(column)] == kSortKindNotSorted) return;
  if (column != record.lastColumn || rows != record.lastList) {
    if (userClick) record.nextDirection = kSortAscending;
    RemoveMark(record);
  }
  if (userClick) direction = record.nextDirection;
  direction = direction < 0 ? kSortDescending : kSortAscending;

  // Equal keys keep their rows' order, in either direction; a column without cells (beyond the
  // model's) has every key empty.
  std::vector<SortEntry> entries;
  entries.reserve(static_cast<std::size_t>(rows->rowCount()));
  for (int row = 0; row < rows->rowCount(); ++row) {
    const GuiListCell* cell = GuiListCellAt(rows, row, column);
    entries.push_back({cell != nullptr ? TextNoCaseKey(cell->text()) : std::string(), row});
  }
  if (direction > 0)
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SortEntry& a, const SortEntry& b) { return a.key < b.key; });
  else
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SortEntry& a, const SortEntry& b) { return b.key < a.key; });
  PutInOrder(record.list, rows, entries);

  record.lastColumn = column;
  record.lastList = rows;
  record.nextDirection = -direction;
  PutMark(record, rows, column, direction);
}

// A click on a header section: the section of a column that shows, which the list maps back to
// the model's column.
void OnHeaderClicked(int gadget, int section) {
  auto found = attachedLists.find(gadget);
  if (found == attachedLists.end()) return;
  QStandardItemModel* rows = found->second.rows;
  const int column = GuiListColumn(gadget, section);
  if (rows == nullptr || column < 0 || column >= kColumnCount) return;
  SortList(found->second, column, kSortAscending, true);
}

// Checks shared by set-kind and sort-now; the record when all is well.
AttachedList* RecordFor(int gadget, int column, int& result) {
  QTreeView* list = GuiListWidget(gadget);
  if (list == nullptr) {
    result = kSorterNoGadget;
    return nullptr;
  }
  if (column < 0 || column >= kColumnCount) {
    result = kSorterBadColumn;
    return nullptr;
  }
  auto found = attachedLists.find(gadget);
  if (found == attachedLists.end() || found->second.list != list) {
    result = kSorterNotAttached;
    return nullptr;
  }
  result = kSorterDone;
  return &found->second;
}

}  // namespace

QImage ColumnSorterArrow(int index) {
  if (index < 0 || index > 1) return QImage();
  return arrowImages[static_cast<std::size_t>(index)];
}

void ColumnSorterInit() {
  const auto up = SortArrowUpPicture();
  const auto down = SortArrowDownPicture();
  arrowImages[0] = ReadBmp(static_cast<const unsigned char*>(up.data), up.size);
  arrowImages[1] = ReadBmp(static_cast<const unsigned char*>(down.data), down.size);
  InstallRowsHook();
}

int ColumnSorterAttach(int gadget, int headerMark) {
  QTreeView* list = GuiListWidget(gadget);
  if (list == nullptr) return kSorterNoGadget;
  InstallRowsHook();
  AttachedList& record = attachedLists[gadget];
  RemoveMark(record);
  QHeaderView* header = list->header();
  if (record.list != list || !record.headerClicks) {
    QObject::disconnect(record.headerClicks);
    record.headerClicks = QObject::connect(header, &QHeaderView::sectionClicked, list,
                                           [gadget](int column) { OnHeaderClicked(gadget, column); });
  }
  list->setSortingEnabled(false);
  header->setSortIndicatorShown(false);
  header->setSectionsClickable(true);
  headerMark = std::clamp(headerMark, kHeaderMarkGuillemets, kHeaderMarkArrowRight);
  if (headerMark == kHeaderMarkArrowRight) {
    if (dynamic_cast<ArrowRightHeaderStyle*>(header->style()) == nullptr) {
      auto* style = new ArrowRightHeaderStyle;
      style->setParent(header);
      header->setStyle(style);
    }
  } else if (auto* style = dynamic_cast<ArrowRightHeaderStyle*>(header->style())) {
    header->setStyle(nullptr);
    style->deleteLater();
  }
  record.list = list;
  record.rows = GuiListModel(gadget);
  record.headerMark = headerMark;
  record.nextDirection = kSortAscending;
  record.lastColumn = -1;
  record.lastList = nullptr;
  record.unmarkedTitle = QString();
  return kSorterDone;
}

int ColumnSorterSetKind(int gadget, int column, int kind) {
  int result = kSorterDone;
  AttachedList* record = RecordFor(gadget, column, result);
  if (record != nullptr) {
    // Only the byte's worth of kinds exists; a kind beyond it must not wrap round to 7.
    const int stored = (kind < 0 || kind > 255) ? kSortKindTextNoCase : kind;
    record->kinds[static_cast<std::size_t>(column)] = static_cast<unsigned char>(stored);
  }
  return result;
}

int ColumnSorterSortNow(int gadget, int column, int direction) {
  int result = kSorterDone;
  AttachedList* record = RecordFor(gadget, column, result);
  if (record != nullptr) SortList(*record, column, direction, false);
  return result;
}

void ColumnSorterRelease() {
  arrowImages[0] = QImage();
  arrowImages[1] = QImage();
}
