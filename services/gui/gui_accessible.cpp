// The screen reader's way into the program, and the window lock on it.
//
// A screen reader acts without input events: it presses a button, toggles an option, sets or
// edits a field's text or selects a list row by calling the accessible interface that Qt made
// for the widget. So the lock of WindowSetEnabled, which stops the window system's input in the
// layer's event filter (gui.cpp), must also hold here. Every interface Qt makes for a widget of
// the layer's windows is handed out wrapped: whatever only reads (names, roles, states, texts,
// rows, the tree of children) goes straight through, and every call that would change something
// does nothing while the widget's window is off. A list row's own action selects the row
// through its list's table interface, which is the wrapped one, so rows are covered as well.
//
// What is not wrapped changes nothing a command reads: moving a field's cursor or selection, or
// a scroll bar's value.
//
// Which of a list's columns the reader is given is the list's own affair: its view shows the
// reader the columns a person sees (gui_lists.cpp).
#include <QAccessible>
#include <QAccessibleInterface>
#include <QWidget>

#include "services/gui/gui_internal.h"

namespace gui {
namespace {

class GuardedAccessible : public QAccessibleInterface,
                          public QAccessibleActionInterface,
                          public QAccessibleEditableTextInterface,
                          public QAccessibleTableInterface {
 public:
  // `real` is Qt's own interface for the widget, already in Qt's cache under its own id; it
  // goes when this one does, which Qt deletes with the widget.
  explicit GuardedAccessible(QAccessibleInterface* real)
      : real_(real), realId_(QAccessible::uniqueId(real)) {}
  ~GuardedAccessible() override { QAccessible::deleteAccessibleInterface(realId_); }
  GuardedAccessible(const GuardedAccessible&) = delete;
  GuardedAccessible& operator=(const GuardedAccessible&) = delete;

  // --- What only reads, or is the object itself ---
  bool isValid() const override { return real_->isValid(); }
  QObject* object() const override { return real_->object(); }
  QWindow* window() const override { return real_->window(); }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    return real_->relations(match);
  }
  QAccessibleInterface* focusChild() const override { return real_->focusChild(); }
  QAccessibleInterface* childAt(int x, int y) const override { return real_->childAt(x, y); }
  QAccessibleInterface* parent() const override { return real_->parent(); }
  QAccessibleInterface* child(int index) const override { return real_->child(index); }
  int childCount() const override { return real_->childCount(); }
  int indexOfChild(const QAccessibleInterface* c) const override {
    return real_->indexOfChild(c);
  }
  QString text(QAccessible::Text t) const override { return real_->text(t); }
  QRect rect() const override { return real_->rect(); }
  QAccessible::Role role() const override { return real_->role(); }
  QAccessible::State state() const override { return real_->state(); }
  QColor foregroundColor() const override { return real_->foregroundColor(); }
  QColor backgroundColor() const override { return real_->backgroundColor(); }
  void virtual_hook(int id, void* data) override { real_->virtual_hook(id, data); }

  // The kinds of access Qt's interface has; those that change something answer as this one.
  void* interface_cast(QAccessible::InterfaceType type) override {
    void* own = real_->interface_cast(type);
    if (own == nullptr) return nullptr;
    switch (type) {
      case QAccessible::ActionInterface:
        return static_cast<QAccessibleActionInterface*>(this);
      case QAccessible::EditableTextInterface:
        return static_cast<QAccessibleEditableTextInterface*>(this);
      case QAccessible::TableInterface:
        return static_cast<QAccessibleTableInterface*>(this);
      default:
        return own;
    }
  }

  // --- What changes something: nothing while the window is off ---
  void setText(QAccessible::Text t, const QString& text) override {
    if (Open()) real_->setText(t, text);
  }
  void doAction(const QString& name) override {
    if (Open()) Action()->doAction(name);
  }
  void deleteText(int start, int end) override {
    if (Open()) Editable()->deleteText(start, end);
  }
  void insertText(int offset, const QString& text) override {
    if (Open()) Editable()->insertText(offset, text);
  }
  void replaceText(int start, int end, const QString& text) override {
    if (Open()) Editable()->replaceText(start, end, text);
  }
  bool selectRow(int row) override { return Open() && Table()->selectRow(row); }
  bool selectColumn(int column) override { return Open() && Table()->selectColumn(column); }
  bool unselectRow(int row) override { return Open() && Table()->unselectRow(row); }
  bool unselectColumn(int column) override { return Open() && Table()->unselectColumn(column); }

  // --- Actions and tables: the rest reads ---
  QStringList actionNames() const override { return Action()->actionNames(); }
  QString localizedActionName(const QString& name) const override {
    return Action()->localizedActionName(name);
  }
  QString localizedActionDescription(const QString& name) const override {
    return Action()->localizedActionDescription(name);
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    return Action()->keyBindingsForAction(name);
  }
  QAccessibleInterface* caption() const override { return Table()->caption(); }
  QAccessibleInterface* summary() const override { return Table()->summary(); }
  QAccessibleInterface* cellAt(int row, int column) const override {
    return Table()->cellAt(row, column);
  }
  int selectedCellCount() const override { return Table()->selectedCellCount(); }
  QList<QAccessibleInterface*> selectedCells() const override { return Table()->selectedCells(); }
  QString columnDescription(int column) const override {
    return Table()->columnDescription(column);
  }
  QString rowDescription(int row) const override { return Table()->rowDescription(row); }
  int selectedColumnCount() const override { return Table()->selectedColumnCount(); }
  int selectedRowCount() const override { return Table()->selectedRowCount(); }
  int columnCount() const override { return Table()->columnCount(); }
  int rowCount() const override { return Table()->rowCount(); }
  QList<int> selectedColumns() const override { return Table()->selectedColumns(); }
  QList<int> selectedRows() const override { return Table()->selectedRows(); }
  bool isColumnSelected(int column) const override { return Table()->isColumnSelected(column); }
  bool isRowSelected(int row) const override { return Table()->isRowSelected(row); }
  void modelChange(QAccessibleTableModelChangeEvent* event) override {
    Table()->modelChange(event);
  }

 private:
  // Whether the widget's window takes input now.
  bool Open() const {
    const int window = WindowNumberOf(qobject_cast<QWidget*>(real_->object()));
    return window == 0 || WindowTakesInput(window);
  }
  // Reached only through interface_cast, which hands this out only when Qt's has the kind.
  QAccessibleActionInterface* Action() const { return real_->actionInterface(); }
  QAccessibleEditableTextInterface* Editable() const { return real_->editableTextInterface(); }
  QAccessibleTableInterface* Table() const { return real_->tableInterface(); }

  QAccessibleInterface* real_;
  QAccessible::Id realId_;
};

// Consulted before Qt's own factory. For a widget of the layer's windows it has Qt make its
// interface (asking again, with this factory stepping aside) and answers that one wrapped; Qt
// then hands out the wrapped one for the widget from its cache.
QAccessibleInterface* GuardedFactory(const QString& className, QObject* object) {
  static bool stepAside = false;
  if (stepAside || object == nullptr || !object->isWidgetType()) return nullptr;
  // Asked once per class of the object's ancestry, most derived first: only that first call.
  if (className != QLatin1String(object->metaObject()->className())) return nullptr;
  if (WindowNumberOf(static_cast<QWidget*>(object)) == 0) return nullptr;
  stepAside = true;
  QAccessibleInterface* real = QAccessible::queryAccessibleInterface(object);
  stepAside = false;
  return real != nullptr ? new GuardedAccessible(real) : nullptr;
}

}  // namespace

void GuardAccessibleActions() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(GuardedFactory);
}

}  // namespace gui
