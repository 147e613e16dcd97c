// The GUI layer's lists: the rows in a table model of the layer's own (GuiListRows), shown by a
// QTreeView in report view through a proxy that leaves out the columns the program made of width
// 0. The list operations act on the model, whose columns are inserted and removed anywhere; the
// view, and through it a screen reader, sees the shown columns only.
#include <QFocusEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <limits>

#include "services/gui/gui_internal.h"
#include "services/text/qt_text.h"

namespace gui {
namespace {

// The width the program gave a column, kept in the model's header so that it moves with the
// column when others are inserted or removed before it.
constexpr int kWidthRole = Qt::UserRole + 1;

// Leaves out the columns of width 0: the film's id lives in one, which nobody sees, so the view
// has no section for it and a screen reader is given neither its heading nor its cells, while
// the layer reads it from the model.
class ShownColumnsFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  bool Shown(int column) const {
    return sourceModel()->headerData(column, Qt::Horizontal, kWidthRole).toInt() > 0;
  }
  // The header section of a model column, -1 for a column left out; and back.
  int SectionOf(int column) const {
    if (column < 0 || column >= sourceModel()->columnCount() || !Shown(column)) return -1;
    int section = 0;
    for (int c = 0; c < column; ++c) section += Shown(c) ? 1 : 0;
    return section;
  }
  int ColumnOf(int section) const {
    for (int c = 0, seen = 0; c < sourceModel()->columnCount(); ++c)
      if (Shown(c) && seen++ == section) return c;
    return -1;
  }
  // Asks the filter again after a column's width was set.
  void WidthsChanged() { invalidateColumnsFilter(); }

 protected:
  bool filterAcceptsColumn(int column, const QModelIndex&) const override { return Shown(column); }
};

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

class ListView : public QTreeView {
 public:
  ListView(int number, QWidget* parent)
      : QTreeView(parent), number_(number), rows_(new GuiListRows(this)),
        shown_(new ShownColumnsFilter(this)) {
    shown_->setSourceModel(rows_);
    setModel(shown_);
  }
  GuiListRows* rows() const { return rows_; }
  ShownColumnsFilter* shown() const { return shown_; }
  // The view's index of a model row's first shown cell; invalid for none.
  QModelIndex ShownIndex(int row) const {
    return shown_->index(row, 0);  // the filter keeps every row, in the model's order
  }

  // A row takes a click anywhere along it: right of the last column as well, where the columns
  // do not reach the list's right edge (160 + 30 of 206 pixels). That strip answers as the
  // row's first cell, so pressing, double clicks and the selection all see the row.
  QModelIndex indexAt(const QPoint& point) const override {
    const QModelIndex at = QTreeView::indexAt(point);
    if (at.isValid() || header()->count() == 0) return at;
    const QHeaderView* h = header();
    if (point.x() < h->length() - h->offset()) return at;
    return QTreeView::indexAt(QPoint(h->sectionViewportPosition(h->logicalIndex(0)), point.y()));
  }

 protected:
  // The list with the keyboard focus is framed inside its edge in its text colour, so that the
  // focus shows on an empty list too (the style's own mark is on the current row only).
  void paintEvent(QPaintEvent* e) override {
    QTreeView::paintEvent(e);
    if (!hasFocus()) return;
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Text), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
  }
  void focusInEvent(QFocusEvent* e) override {
    QTreeView::focusInEvent(e);
    viewport()->update();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QTreeView::focusOutEvent(e);
    viewport()->update();
  }
  void mousePressEvent(QMouseEvent* e) override {
    const bool onRow = indexAt(e->position().toPoint()).isValid();
    QTreeView::mousePressEvent(e);
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
    QTreeView::mouseDoubleClickEvent(e);
    inDoubleClick_ = false;
    if (e->button() == Qt::LeftButton) QueueGadget(number_, kListLeftDoubleClick);
    if (e->button() == Qt::RightButton) QueueGadget(number_, kListRightDoubleClick);
  }

 private:
  int number_;
  GuiListRows* rows_;
  ShownColumnsFilter* shown_;
  bool inDoubleClick_ = false;
};

void SelectRow(ListView* list, int row, bool selected) {
  if (row < 0 || row >= list->rows()->rowCount()) return;
  const QModelIndex at = list->ShownIndex(row);
  if (selected) {
    // One row at a time: selecting one clears the other.
    list->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
  } else {
    list->selectionModel()->select(at, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  }
}

// A list's state is the index of its selected row, -1 for none; its text is nothing (its
// cells have operations of their own). Its colours: the rows' text reads on the back colour the
// program gives the list, and the selection, which stays as visible without the focus as with
// it, keeps the palette's colour with text that reads on it.
class ListKind : public GadgetOf<ListView> {
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
    ListView* list = widget();
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
    const QModelIndexList selected = widget()->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : widget()->shown()->mapToSource(selected.first()).row();
  }

 private:
  QColor back_;
};

ListKind* ListKindOf(int number) {
  GadgetEntry* e = Gadget(number);
  // The one place a gadget's kind is asked: the list operations take lists only.
  return e != nullptr ? dynamic_cast<ListKind*>(e->kind.get()) : nullptr;
}

ListView* ListOf(int number) {
  ListKind* list = ListKindOf(number);
  return list != nullptr ? list->widget() : nullptr;
}

// A column's title and width; a column of width 0 leaves the view (ShownColumnsFilter), the
// others can be resized by dragging their header's edge.
void SetColumn(ListView* list, int column, const QString& title, int width) {
  GuiListRows* rows = list->rows();
  rows->setHeaderData(column, Qt::Horizontal, title);
  rows->setHeaderData(column, Qt::Horizontal, std::max(0, width), kWidthRole);
  list->shown()->WidthsChanged();
  const int section = list->shown()->SectionOf(column);
  if (section >= 0) list->header()->resizeSection(section, width);
}

// A screen reader names a list by its first column's heading.
void NameByFirstHeading(ListView* list) {
  list->setAccessibleName(list->rows()->headerData(0, Qt::Horizontal).toString());
}

ListView* MakeList(QWidget* parent, int number) {
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
  QObject::connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, list,
                   [number] { QueueGadget(number, kListSelectionChanged); });
  return list;
}

}  // namespace
}  // namespace gui

using namespace gui;

int GuiListRows::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int GuiListRows::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant GuiListRows::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole) return Cell(index.row(), index.column());
  if (role == Qt::UserRole && index.column() == 0) return index.row();
  return {};
}

QVariant GuiListRows::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  return headers_[section].value(role == Qt::EditRole ? Qt::DisplayRole : role);
}

bool GuiListRows::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                int role) {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return false;
  headers_[section][role == Qt::EditRole ? Qt::DisplayRole : role] = value;
  emit headerDataChanged(orientation, section, section);
  return true;
}

void GuiListRows::InsertRow(int at, QStringList cells) {
  cells.resize(columnCount());
  beginInsertRows(QModelIndex(), at, at);
  rows_.insert(at, std::move(cells));
  endInsertRows();
}

void GuiListRows::RemoveRows(int first, int count) {
  if (count <= 0) return;
  beginRemoveRows(QModelIndex(), first, first + count - 1);
  rows_.remove(first, count);
  endRemoveRows();
}

void GuiListRows::InsertColumn(int at) {
  beginInsertColumns(QModelIndex(), at, at);
  headers_.insert(at, QHash<int, QVariant>());
  for (QStringList& row : rows_) row.insert(at, QString());
  endInsertColumns();
}

void GuiListRows::RemoveColumn(int at) {
  beginRemoveColumns(QModelIndex(), at, at);
  headers_.remove(at);
  for (QStringList& row : rows_) row.removeAt(at);
  endRemoveColumns();
}

void GuiListRows::Reorder(const std::vector<int>& from) {
  emit layoutAboutToBeChanged({}, VerticalSortHint);
  QList<int> placeOf(rows_.size());
  QList<QStringList> ordered;
  ordered.reserve(rows_.size());
  for (int i = 0; i < static_cast<int>(from.size()); ++i) {
    placeOf[from[i]] = i;
    ordered.append(std::move(rows_[from[i]]));
  }
  rows_ = std::move(ordered);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  for (const QModelIndex& old : before) after.append(index(placeOf[old.row()], old.column()));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, VerticalSortHint);
}

NativeHandle GadgetCreateList(int number, int x, int y, int w, int h, const Text& column0Title,
                              int column0Width, int flags) {
  QWidget* parent = CurrentClient();
  if (parent == nullptr || number < 0) return nullptr;
  ListView* list = MakeList(parent, number);
  (void)flags;  // full-row select, grid lines and a kept selection are how every list is made
  list->rows()->InsertColumn(0);
  SetColumn(list, 0, TextToQString(column0Title), column0Width);
  NameByFirstHeading(list);
  return Register(number, std::make_unique<ListKind>(list), x, y, w, h);
}

QTreeView* GuiListWidget(int number) { return ListOf(number); }

GuiListRows* GuiListModel(int number) {
  ListView* list = ListOf(number);
  return list != nullptr ? list->rows() : nullptr;
}

int GuiListSection(int number, int column) {
  ListView* list = ListOf(number);
  return list != nullptr ? list->shown()->SectionOf(column) : -1;
}

int GuiListColumn(int number, int section) {
  ListView* list = ListOf(number);
  return list != nullptr ? list->shown()->ColumnOf(section) : -1;
}

void ListAddColumn(int number, int position, const Text& title, int width) {
  ListView* list = ListOf(number);
  if (list == nullptr) return;
  const int count = list->rows()->columnCount();
  const int at = (position < 0 || position > count) ? count : position;
  list->rows()->InsertColumn(at);
  SetColumn(list, at, TextToQString(title), width);
  NameByFirstHeading(list);
}

void ListRemoveColumn(int number, int position) {
  ListView* list = ListOf(number);
  if (list == nullptr || position < 0 || position >= list->rows()->columnCount()) return;
  list->rows()->RemoveColumn(position);
  NameByFirstHeading(list);
}

void ListAddRow(int number, int position, const Text& text) {
  ListView* list = ListOf(number);
  if (list == nullptr) return;
  const int count = list->rows()->rowCount();
  const int at = (position < 0 || position >= count) ? count : position;
  list->rows()->InsertRow(at, TextToQString(text).split(QChar('\n')));
}

void ListRemoveRow(int number, int row) {
  ListView* list = ListOf(number);
  if (list == nullptr || row < 0 || row >= list->rows()->rowCount()) return;
  list->rows()->RemoveRows(row, 1);
}

void ListClear(int number) {
  ListView* list = ListOf(number);
  if (list == nullptr) return;
  // The selection goes first, as one change, then the rows; the columns stay.
  list->selectionModel()->clear();
  list->rows()->RemoveRows(0, list->rows()->rowCount());
}

std::int64_t ListCount(int number) {
  ListView* list = ListOf(number);
  return list != nullptr ? list->rows()->rowCount() : 0;
}

void ListSelectRow(int number, int row, bool selected) {
  if (ListView* list = ListOf(number)) SelectRow(list, row, selected);
}

Text ListCellText(int number, int row, int column) {
  ListView* list = ListOf(number);
  if (list == nullptr) return {};
  const GuiListRows* rows = list->rows();
  if (column < 0 || column >= rows->columnCount()) return {};
  if (row == -1) return TextFromQString(rows->headerData(column, Qt::Horizontal).toString());
  if (row < 0 || row >= rows->rowCount()) return {};
  return TextFromQString(rows->Cell(row, column));
}

void ListSetColours(int number, Rgb colour) {
  if (ListKind* list = ListKindOf(number)) list->SetColours(QColor(colour.r, colour.g, colour.b));
}
