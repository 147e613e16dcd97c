// The column sorter on Qt: lists are QTreeWidget report views whose own sorting stays off; a
// sort takes every row out, orders the rows by precomputed keys and puts them back in one go,
// so a sort of n rows costs n log n comparisons and two linear passes over the list.
#include "services/columnsort/columnsort.h"

#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QSignalBlocker>
#include <QStyleOptionHeader>
#include <QTreeWidget>
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
  QPointer<QTreeWidget> list;
  int headerMark = kHeaderMarkArrowLeft;
  std::array<unsigned char, kColumnCount> kinds{};
  int nextDirection = kSortAscending;
  int lastColumn = -1;
  QPointer<QTreeWidget> lastList;
  bool numberedOnce = false;
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

// Every row from the end backwards gets its index as item data, up to the first row that
// already holds its own index: after one insertion or removal only the rows behind it moved,
// so appending a row costs one step, not one step per row. The model is kept quiet because
// the data is invisible and each change notice would search the list for the row.
void RenumberTail(QTreeWidget* list) {
  const QSignalBlocker quiet(list->model());
  for (int row = list->topLevelItemCount() - 1; row >= 0; --row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    const QVariant held = item->data(0, Qt::UserRole);
    if (held.isValid() && held.toInt() == row) break;
    item->setData(0, Qt::UserRole, row);
  }
}

void OnRowsChanged(int gadget, bool cleared) {
  auto found = attachedLists.find(gadget);
  if (found == attachedLists.end() || found->second.list.isNull()) return;
  if (cleared) {
    found->second.numberedOnce = false;
    return;
  }
  RenumberTail(found->second.list);
}

void InstallRowsHook() {
  if (hookInstalled) return;
  GuiSetListRowsChangedHook(&OnRowsChanged);
  hookInstalled = true;
}

void RemoveMark(AttachedList& record) {
  QTreeWidget* list = record.lastList;
  const int column = record.lastColumn;
  if (list == nullptr || column < 0 || column >= list->columnCount()) return;
  QTreeWidgetItem* header = list->headerItem();
  if (record.headerMark == kHeaderMarkGuillemets) {
    const QString marked = QChar(0x00AB) + record.unmarkedTitle + QChar(0x00BB);
    if (header->text(column) == marked) header->setText(column, record.unmarkedTitle);
  } else {
    header->setIcon(column, QIcon());
  }
}

void PutMark(AttachedList& record, QTreeWidget* list, int column, int direction) {
  if (column >= list->columnCount()) return;
  QTreeWidgetItem* header = list->headerItem();
  if (record.headerMark == kHeaderMarkGuillemets) {
    QString title = header->text(column);
    if (record.lastList == list && record.lastColumn == column && !record.unmarkedTitle.isNull() &&
        title == QChar(0x00AB) + record.unmarkedTitle + QChar(0x00BB))
      title = record.unmarkedTitle;
    record.unmarkedTitle = title;
    header->setText(column, QChar(0x00AB) + title + QChar(0x00BB));
  } else {
    header->setIcon(column, ArrowIcon(direction > 0 ? 0 : 1));
  }
}

struct SortEntry {
  std::string key;
  QTreeWidgetItem* row;
};

// The steps of a header click; `userClick` false is a sort now with its own direction.
void SortList(AttachedList& record, QTreeWidget* list, int column, int direction, bool userClick) {
  if (list->topLevelItemCount() == 0) return;
  if (record.kinds[static_cast<std::size_t>(column)] == kSortKindNotSorted) return;
  if (column != record.lastColumn || list != record.lastList) {
    if (userClick) record.nextDirection = kSortAscending;
    RemoveMark(record);
  }
  const bool wasUpdating = list->updatesEnabled();
  list->setUpdatesEnabled(false);
  if (userClick) direction = record.nextDirection;
  direction = direction < 0 ? kSortDescending : kSortAscending;
  record.numberedOnce = true;

  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  QTreeWidgetItem* current = list->currentItem();
  QList<QTreeWidgetItem*> rows = list->invisibleRootItem()->takeChildren();

  std::vector<SortEntry> entries;
  entries.reserve(static_cast<std::size_t>(rows.size()));
  for (QTreeWidgetItem* row : rows) entries.push_back({TextNoCaseKey(row->text(column)), row});
  if (direction > 0)
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SortEntry& a, const SortEntry& b) { return a.key < b.key; });
  else
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SortEntry& a, const SortEntry& b) { return b.key < a.key; });
  // The rows are out of the list here, so numbering them sends no change notices.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    rows[static_cast<qsizetype>(i)] = entries[i].row;
    entries[i].row->setData(0, Qt::UserRole, static_cast<int>(i));
  }
  list->insertTopLevelItems(0, rows);
  if (current != nullptr) list->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  for (QTreeWidgetItem* row : selected) row->setSelected(true);

  record.lastColumn = column;
  record.lastList = list;
  record.nextDirection = -direction;
  PutMark(record, list, column, direction);
  list->setUpdatesEnabled(wasUpdating);
}

void OnHeaderClicked(int gadget, int column) {
  auto found = attachedLists.find(gadget);
  if (found == attachedLists.end()) return;
  QTreeWidget* list = found->second.list;
  if (list == nullptr || column < 0 || column >= kColumnCount) return;
  SortList(found->second, list, column, kSortAscending, true);
}

// Checks shared by set-kind and sort-now; the record when all is well.
AttachedList* RecordFor(int gadget, int column, int& result) {
  QTreeWidget* list = GuiListWidget(gadget);
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
  QTreeWidget* list = GuiListWidget(gadget);
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
  if (record != nullptr) SortList(*record, record->list, column, direction, false);
  return result;
}

void ColumnSorterRelease() {
  arrowImages[0] = QImage();
  arrowImages[1] = QImage();
}
