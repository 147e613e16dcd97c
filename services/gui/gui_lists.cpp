// The GUI layer's lists: a QTreeWidget in report view, one top-level item a row, with the
// click subtypes of a desktop list and columns that can be inserted and removed anywhere.
#include <QFocusEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <limits>

#include "services/gui/gui_internal.h"
#include "services/text/qt_text.h"

namespace gui {
namespace {

// Draws the grid lines of a report view, in the button-face colour: each cell's right and bottom
// edge.
class GridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Active, QPalette::Button));
    const QRect r = option.rect;
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->restore();
  }
};

class ListView : public QTreeWidget {
 public:
  ListView(int number, QWidget* parent) : QTreeWidget(parent), number_(number) {}
  bool tellingInModelColumns() const { return telling_; }

  // A row takes a click anywhere along it: right of the last column as well, where the columns
  // do not reach the list's right edge (160 + 0 + 30 of 206 pixels). That strip answers as the
  // row's first cell, so pressing, double clicks and the selection all see the row.
  QModelIndex indexAt(const QPoint& point) const override {
    const QModelIndex at = QTreeWidget::indexAt(point);
    if (at.isValid() || columnCount() == 0) return at;
    const QHeaderView* h = header();
    if (point.x() < h->length() - h->offset()) return at;
    return QTreeWidget::indexAt(QPoint(h->sectionViewportPosition(h->logicalIndex(0)), point.y()));
  }

 protected:
  // Qt's view tells a screen reader of the current and the selected cell by the cell's index
  // among the list's accessible children, counted over all of its model's columns; the list's
  // accessible table counts the shown columns only, except while the view tells.
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
    const QScopedValueRollback telling(telling_, true);
    QTreeWidget::currentChanged(current, previous);
  }
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override {
    const QScopedValueRollback telling(telling_, true);
    QTreeWidget::selectionChanged(selected, deselected);
  }
  // The list with the keyboard focus is framed inside its edge in its text colour, so that the
  // focus shows on an empty list too (the style's own mark is on the current row only).
  void paintEvent(QPaintEvent* e) override {
    QTreeWidget::paintEvent(e);
    if (!hasFocus()) return;
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Text), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
  }
  void focusInEvent(QFocusEvent* e) override {
    QTreeWidget::focusInEvent(e);
    viewport()->update();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QTreeWidget::focusOutEvent(e);
    viewport()->update();
  }
  void mousePressEvent(QMouseEvent* e) override {
    const bool onRow = itemAt(e->position().toPoint()) != nullptr;
    QTreeWidget::mousePressEvent(e);
    if (inDoubleClick_) return;
    if (!onRow && (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)) {
      // A click below the last row clears the selection, as on a desktop list.
      clearSelection();
    }
    if (e->button() == Qt::LeftButton) QueueGadget(number_, kListLeftClick);
    if (e->button() == Qt::RightButton) QueueGadget(number_, kListRightClick);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    inDoubleClick_ = true;
    QTreeWidget::mouseDoubleClickEvent(e);
    inDoubleClick_ = false;
    if (e->button() == Qt::LeftButton) QueueGadget(number_, kListLeftDoubleClick);
    if (e->button() == Qt::RightButton) QueueGadget(number_, kListRightDoubleClick);
  }

 private:
  int number_;
  bool inDoubleClick_ = false;
  bool telling_ = false;
};

void SelectRow(QTreeWidget* list, int row, bool selected) {
  if (row < 0 || row >= list->topLevelItemCount()) return;
  QTreeWidgetItem* item = list->topLevelItem(row);
  if (selected) {
    // One row at a time: selecting one clears the other.
    list->selectionModel()->setCurrentIndex(list->indexFromItem(item),
                                            QItemSelectionModel::ClearAndSelect |
                                                QItemSelectionModel::Rows);
  } else {
    item->setSelected(false);
  }
}

// A list's state is the index of its selected row, -1 for none; its text is nothing (its
// cells have operations of their own). Its colours: the rows' text reads on the back colour the
// program gives the list, and the selection, which stays as visible without the focus as with
// it, keeps the palette's colour with text that reads on it.
class ListKind : public GadgetOf<QTreeWidget> {
 public:
  using GadgetOf::GadgetOf;
  void SetColours(const QColor& back) {
    back_ = back;
    QPalette p = widget()->palette();
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::AlternateBase, back);
    widget()->setPalette(p);
    FitColours(QColor());
  }
  void FitColours(const QColor&) override {
    QTreeWidget* list = widget();
    if (back_.isValid()) SetTextColour(list, {QPalette::Text}, ReadableOn(back_));
    if (back_.isValid()) FitHeader(list->header(), back_);
    QPalette p = list->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    list->setPalette(p);
    FitSelection(list);
  }
  void SetState(std::int64_t value) override {
    if (value < 0) {
      widget()->clearSelection();
    } else if (value <= std::numeric_limits<int>::max()) {
      SelectRow(widget(), static_cast<int>(value), true);
    }
  }
  std::int64_t GetState() const override {
    const auto selected = widget()->selectedItems();
    return selected.isEmpty() ? -1 : widget()->indexOfTopLevelItem(selected.first());
  }

 private:
  QColor back_;
};

ListKind* ListKindOf(int number) {
  GadgetEntry* e = Gadget(number);
  // The one place a gadget's kind is asked: the list operations take lists only.
  return e != nullptr ? dynamic_cast<ListKind*>(e->kind.get()) : nullptr;
}

QTreeWidget* ListOf(int number) {
  ListKind* list = ListKindOf(number);
  return list != nullptr ? list->widget() : nullptr;
}

// A column of width 0 is fixed, so that nobody can drag it open, and hidden, so that a screen
// reader does not read out what nobody sees; the others can be resized.
void SetColumnWidth(QTreeWidget* list, int column, int width) {
  QHeaderView* header = list->header();
  header->setSectionResizeMode(column, width <= 0 ? QHeaderView::Fixed : QHeaderView::Interactive);
  header->setSectionHidden(column, width <= 0);
  header->resizeSection(column, std::max(0, width));
}

void ShiftTexts(QTreeWidgetItem* item, int from, int count, int by) {
  // Moves the texts of columns [from, count) by one column left (by -1) or right (by +1).
  if (by > 0) {
    for (int c = count - 1; c > from; --c) item->setText(c, item->text(c - 1));
    item->setText(from, QString());
  } else {
    for (int c = from; c + 1 < count; ++c) item->setText(c, item->text(c + 1));
  }
}

// A screen reader names a list by its first column's heading.
void NameByFirstHeading(QTreeWidget* list) {
  list->setAccessibleName(list->columnCount() > 0 ? list->headerItem()->text(0) : QString());
}

}  // namespace

QTreeWidget* MakeList(QWidget* parent, int number) {
  auto* list = new ListView(number, parent);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setAllColumnsShowFocus(true);
  list->setSortingEnabled(false);
  list->setItemDelegate(new GridDelegate(list));
  list->setFrameShadow(QFrame::Sunken);
  QHeaderView* header = list->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  header->setSectionsClickable(true);  // the column sorter listens; the layer raises nothing
  header->setMinimumSectionSize(0);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QObject::connect(list, &QTreeWidget::itemSelectionChanged,
                   [number] { QueueGadget(number, kListSelectionChanged); });
  return list;
}

void ListAfterRowsChanged(int number, bool cleared) {
  if (state().rowsChanged) state().rowsChanged(number, cleared);
}

bool ListTellingInModelColumns(const QObject* list) {
  const auto* view = dynamic_cast<const ListView*>(list);
  return view != nullptr && view->tellingInModelColumns();
}

}  // namespace gui

using namespace gui;

NativeHandle GadgetCreateList(int number, int x, int y, int w, int h, const Text& column0Title,
                              int column0Width, int flags) {
  QWidget* parent = CurrentClient();
  if (parent == nullptr || number < 0) return nullptr;
  QTreeWidget* list = MakeList(parent, number);
  (void)flags;  // full-row select, grid lines and a kept selection are how every list is made
  list->setColumnCount(1);
  list->headerItem()->setText(0, TextToQString(column0Title));
  SetColumnWidth(list, 0, column0Width);
  NameByFirstHeading(list);
  return Register(number, std::make_unique<ListKind>(list), x, y, w, h);
}

QTreeWidget* GuiListWidget(int number) { return ListOf(number); }

void GuiSetListRowsChangedHook(ListRowsChanged hook) { state().rowsChanged = std::move(hook); }

void ListAddColumn(int number, int position, const Text& title, int width) {
  QTreeWidget* list = ListOf(number);
  if (list == nullptr) return;
  const int count = list->columnCount();
  const int at = (position < 0 || position > count) ? count : position;
  // Widths and kinds of the columns from `at` on move one place right with their texts.
  std::vector<int> widths;
  widths.reserve(static_cast<std::size_t>(count));
  QHeaderView* header = list->header();
  for (int c = 0; c < count; ++c) widths.push_back(header->sectionSize(c));
  list->setColumnCount(count + 1);
  ShiftTexts(list->headerItem(), at, count + 1, +1);
  for (int r = 0; r < list->topLevelItemCount(); ++r)
    ShiftTexts(list->topLevelItem(r), at, count + 1, +1);
  list->headerItem()->setText(at, TextToQString(title));
  for (int c = count; c > at; --c) SetColumnWidth(list, c, widths[static_cast<std::size_t>(c) - 1]);
  SetColumnWidth(list, at, width);
  NameByFirstHeading(list);
}

void ListRemoveColumn(int number, int position) {
  QTreeWidget* list = ListOf(number);
  if (list == nullptr) return;
  const int count = list->columnCount();
  if (position < 0 || position >= count) return;
  std::vector<int> widths;
  widths.reserve(static_cast<std::size_t>(count));
  QHeaderView* header = list->header();
  for (int c = 0; c < count; ++c) widths.push_back(header->sectionSize(c));
  ShiftTexts(list->headerItem(), position, count, -1);
  for (int r = 0; r < list->topLevelItemCount(); ++r)
    ShiftTexts(list->topLevelItem(r), position, count, -1);
  list->setColumnCount(count - 1);
  for (int c = position; c + 1 < count; ++c)
    SetColumnWidth(list, c, widths[static_cast<std::size_t>(c) + 1]);
  NameByFirstHeading(list);
}

void ListAddRow(int number, int position, const Text& text) {
  QTreeWidget* list = ListOf(number);
  if (list == nullptr) return;
  auto* item = new QTreeWidgetItem;
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  const QString all = TextToQString(text);
  const QStringList cells = all.split(QChar('\n'));
  for (int c = 0; c < cells.size() && c < list->columnCount(); ++c) item->setText(c, cells[c]);
  const int count = list->topLevelItemCount();
  if (position < 0 || position >= count) {
    list->addTopLevelItem(item);
  } else {
    list->insertTopLevelItem(position, item);
  }
  ListAfterRowsChanged(number, false);
}

void ListRemoveRow(int number, int row) {
  QTreeWidget* list = ListOf(number);
  if (list == nullptr || row < 0 || row >= list->topLevelItemCount()) return;
  delete list->takeTopLevelItem(row);
  ListAfterRowsChanged(number, false);
}

void ListClear(int number) {
  QTreeWidget* list = ListOf(number);
  if (list == nullptr) return;
  list->clear();
  ListAfterRowsChanged(number, true);
}

std::int64_t ListCount(int number) {
  QTreeWidget* list = ListOf(number);
  return list != nullptr ? list->topLevelItemCount() : 0;
}

void ListSelectRow(int number, int row, bool selected) {
  if (QTreeWidget* list = ListOf(number)) SelectRow(list, row, selected);
}

Text ListCellText(int number, int row, int column) {
  QTreeWidget* list = ListOf(number);
  if (list == nullptr || column < 0 || column >= list->columnCount()) return {};
  if (row == -1) return TextFromQString(list->headerItem()->text(column));
  if (row < 0 || row >= list->topLevelItemCount()) return {};
  return TextFromQString(list->topLevelItem(row)->text(column));
}

void ListSetColours(int number, Rgb colour) {
  if (ListKind* list = ListKindOf(number)) list->SetColours(QColor(colour.r, colour.g, colour.b));
}
