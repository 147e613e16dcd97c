#pragma once
// The GUI layer's side door for the other services, which live on Qt as well: the web view,
// the column sorter, the image services and printing. The application never includes this.
#include <functional>

#include <QFont>
#include <QImage>
#include <QStandardItem>
#include <QWidget>

#include "services/gui/gui.h"

class QStandardItemModel;
class QTreeView;

// The client area of a window, or null. Gadgets are children of it.
QWidget* GuiWindowClient(int window);
// Whether mouse and keyboard input reach a window (WindowSetEnabled); false without a window.
// A window that takes none is painted as before, so its widgets' own enabled flags do not tell.
bool GuiWindowEnabled(int window);
// The client area that new gadgets go into (the most recently opened window), or null.
QWidget* GuiCurrentTarget();
int GuiCurrentTargetNumber();

// A gadget made by another service (the web view). The layer owns the widget from now on and
// calls the hooks for GadgetSetText and GadgetGetText on that number.
struct GadgetHooks {
  std::function<void(const Text&)> setText;
  std::function<Text()> getText;
};
void GuiAdoptGadget(int number, QWidget* widget, GadgetHooks hooks);

// The widget of a gadget, or null.
QWidget* GuiGadgetWidget(int number);
// A list is a model and a view. The model holds the rows, one item a cell, in the program's
// row and column numbers; the view, a QTreeView in report view, shows it through a proxy that
// leaves out the columns of width 0 (such as a film's id), so its header has a section for each
// column that shows. Null, or -1, for a number that holds no list or a column left out.
QTreeView* GuiListWidget(int number);
QStandardItemModel* GuiListModel(int number);
int GuiListSection(int number, int column);  // the header section that shows a model column
int GuiListColumn(int number, int section);  // the model column a header section shows

// Every cell of a list's model is one of these. In a row's first cell it holds the row's index
// that the column sorter keeps, answered as the Qt::UserRole data. It is a plain member, written
// without telling the model, which shows it nowhere: Qt 6.4's QStandardItem::setData looks for
// the item's place from the last one it knew, which for a row just appended is half the list
// away, so numbering each row through it costs time in the square of the rows.
class GuiListCell : public QStandardItem {
 public:
  using QStandardItem::QStandardItem;
  QVariant data(int role) const override;
  QStandardItem* clone() const override { return new GuiListCell(*this); }

  int rowNumber = -1;  // -1: not numbered
};
// The cell of a list's model at a row and column, or null.
GuiListCell* GuiListCellAt(QStandardItemModel* rows, int row, int column);

// Rows of a list are renumbered (GuiListCell::rowNumber) by the column sorter; the GUI layer
// calls this after it inserts or removes rows of a list, when a sorter has set it.
using ListRowsChanged = std::function<void(int number, bool cleared)>;
void GuiSetListRowsChangedHook(ListRowsChanged hook);

// Once SessionWatch's signals have ended the session: true, and each hook is called once, in
// the GUI thread (the web view stops its loads, so that no lookup holds the end back).
bool GuiSessionEnding();
void GuiOnSessionEnd(std::function<void()> hook);

// Queue an event for EventWait/EventPoll. Only this queue reaches the application.
void GuiQueueEvent(const Event& event);
// Ends a blocked EventWaitFor at once, with no event, so its caller looks again without waiting
// out the time (the web view calls it when a load ends). EventWait goes on waiting.
void GuiWakeWait();

// The objects behind the opaque handles.
inline const QImage* GuiImageOf(ImageHandle_t handle) { return static_cast<const QImage*>(handle); }
inline const QFont* GuiFontOf(FontHandle handle) { return static_cast<const QFont*>(handle); }
