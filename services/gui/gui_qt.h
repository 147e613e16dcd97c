#pragma once
// The GUI layer's side door for the other services, which live on Qt as well: the web view,
// the column sorter, the image services and printing. The application never includes this.
#include <functional>
#include <vector>

#include <QAbstractTableModel>
#include <QFont>
#include <QImage>
#include <QHash>
#include <QStringList>
#include <QWidget>

#include "services/gui/gui.h"

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
// A list is a model and a view. The model holds the rows in the program's row and column
// numbers; the view, a QTreeView in report view, shows it through a proxy that leaves out the
// columns of width 0 (such as a film's id), so its header has a section for each column that
// shows. Null, or -1, for a number that holds no list or a column left out.
class GuiListRows;
QTreeView* GuiListWidget(int number);
GuiListRows* GuiListModel(int number);
int GuiListSection(int number, int column);  // the header section that shows a model column
int GuiListColumn(int number, int section);  // the model column a header section shows

// A list's rows: each row the texts of its cells, one for every column, and each column its
// header data (title, width, the sorter's mark). A row's first cell answers the row's index as
// its Qt::UserRole data. The GUI layer inserts and removes rows and columns; the column sorter
// puts the rows in a new order.
class GuiListRows : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                     int role = Qt::EditRole) override;

  const QString& Cell(int row, int column) const { return rows_[row][column]; }
  void InsertRow(int at, QStringList cells);  // cells cut or padded to the columns
  void RemoveRows(int first, int count);
  void InsertColumn(int at);  // with an empty cell in every row
  void RemoveColumn(int at);
  // Puts the rows in a new order, the old row `from[i]` at place i; the views' selection and
  // current row go with their rows.
  void Reorder(const std::vector<int>& from);

 private:
  QList<QStringList> rows_;
  QList<QHash<int, QVariant>> headers_;  // by column, then role
};

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
