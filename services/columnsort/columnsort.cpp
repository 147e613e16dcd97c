// The column sorter on Qt: a list's rows are the GUI layer's table model, shown by a view whose
// own sorting stays off. A sort orders the rows by precomputed keys and has the model put them
// in that order in one go, so a sort of n rows costs n log n comparisons and a few linear passes
// over the list.
#include "services/columnsort/columnsort.h"

#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <algorithm>
#include <array>
#include <map>
#include <numeric>
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
  QPointer<GuiListRows> rows;
  int headerMark = kHeaderMarkArrowLeft;
  std::array<unsigned char, kColumnCount> kinds{};
  int nextDirection = kSortAscending;
  int lastColumn = -1;
  QPointer<GuiListRows> lastList;
  QString unmarkedTitle;  // mark 1: the marked column's title without its guillemets
  QMetaObject::Connection headerClicks;
};

// Keyed by gadget number; std::map keeps each record at one address for the lambdas' lookups.
std::map<int, AttachedList> attachedLists;
std::array<QImage, 2> arrowImages;

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

QString Title(const GuiListRows* rows, int column) {
  return rows->headerData(column, Qt::Horizontal).toString();
}

void RemoveMark(AttachedList& record) {
  GuiListRows* rows = record.lastList;
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

void PutMark(AttachedList& record, GuiListRows* rows, int column, int direction) {
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

// The steps of a header click; `userClick` false is a sort now with its own direction.
void SortList(AttachedList& record, int column, int direction, bool userClick) {
  GuiListRows* rows = record.rows;
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
  const bool hasCells = column < rows->columnCount();
  std::vector<std::string> keys;
  keys.reserve(static_cast<std::size_t>(rows->rowCount()));
  for (int row = 0; row < rows->rowCount(); ++row)
    keys.push_back(hasCells ? TextNoCaseKey(rows->Cell(row, column)) : std::string());
  std::vector<int> from(keys.size());
  std::iota(from.begin(), from.end(), 0);
  std::stable_sort(from.begin(), from.end(), [&keys, direction](int a, int b) {
    return direction > 0 ? keys[a] < keys[b] : keys[b] < keys[a];
  });
  rows->Reorder(from);

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
  GuiListRows* rows = found->second.rows;
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
}

int ColumnSorterAttach(int gadget, int headerMark) {
  QTreeView* list = GuiListWidget(gadget);
  if (list == nullptr) return kSorterNoGadget;
  AttachedList& record = attachedLists[gadget];
  RemoveMark(record);
  QHeaderView* header = list->header();
  if (record.list != list || !record.headerClicks) {
    QObject::disconnect(record.headerClicks);
    const auto clicked = [gadget](int section) { OnHeaderClicked(gadget, section); };
    record.headerClicks = QObject::connect(header, &QHeaderView::sectionClicked, list, clicked);
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
