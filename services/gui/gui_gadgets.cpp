// The GUI layer's gadgets other than lists: buttons, text fields, labels, frames, option
// buttons, picture boxes and the link label, and the operations every gadget answers.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeWidget>

#include "services/gui/gui_internal.h"
#include "services/text/qt_text.h"

namespace gui {
namespace {

// The edit-change notification of text fields (ignored by the program, but raised as a desktop
// edit control would).
constexpr int kTextChanged = 768;

QString Shown(const Text& text) {
  // Line breaks arrive as CR LF; Qt wants LF alone.
  QString s = TextToQString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

// Buttons, option buttons and frames take "&" as the mark of a keyboard mnemonic; their texts
// are shown as given, so each "&" is doubled on the way in and halved on the way out.
QString Caption(const Text& text) {
  QString s = TextToQString(text);
  s.replace(QChar('&'), QStringLiteral("&&"));
  return s;
}

Text FromCaption(QString s) {
  s.replace(QStringLiteral("&&"), QStringLiteral("&"));
  return TextFromQString(s);
}

// An option button that a click can select but never clear; its group is kept by the layer.
class OptionButton : public QRadioButton {
 public:
  using QRadioButton::QRadioButton;

 protected:
  void nextCheckState() override { setChecked(true); }
};

// The link label: black text, the hover colour while the pointer is over it, a hand pointer,
// and an activity when the left button is released over it.
class LinkLabel : public QLabel {
 public:
  LinkLabel(int number, QColor hover, QWidget* parent)
      : QLabel(parent), number_(number), hover_(hover) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    SetColour(Qt::black);
  }

 protected:
  void enterEvent(QEnterEvent* e) override {
    SetColour(hover_);
    QLabel::enterEvent(e);
  }
  void leaveEvent(QEvent* e) override {
    SetColour(Qt::black);
    QLabel::leaveEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
      QueueGadget(number_, 0);
  }

 private:
  void SetColour(const QColor& c) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, c);
    setPalette(p);
  }
  int number_;
  QColor hover_;
};

void ShowPicture(QLabel* box, GadgetEntry& e, ImageHandle_t image, bool resize) {
  e.image = image;
  const QImage* picture = GuiImageOf(image);
  if (picture == nullptr || picture->isNull()) {
    e.image = nullptr;
    box->clear();  // the box's area is erased: the window's background shows through
    return;
  }
  box->setPixmap(QPixmap::fromImage(*picture));  // a copy: the image may be freed later
  if (resize) box->resize(picture->size());
}

void SetButtonPicture(QPushButton* button, ImageHandle_t image) {
  const QImage* picture = GuiImageOf(image);
  if (picture == nullptr || picture->isNull()) {
    button->setIcon(QIcon());
    return;
  }
  button->setIcon(QIcon(QPixmap::fromImage(*picture)));
  button->setIconSize(picture->size());
}

QWidget* Parent() { return CurrentClient(); }

}  // namespace
}  // namespace gui

using namespace gui;

NativeHandle GadgetCreateButton(int number, int x, int y, int w, int h, const Text& text) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* b = new QPushButton(Caption(text), parent);
  b->setAutoDefault(false);
  QObject::connect(b, &QPushButton::clicked, [number] { QueueGadget(number, 0); });
  return Register(number, Kind::Button, b, x, y, w, h);
}

NativeHandle GadgetCreatePictureButton(int number, int x, int y, int w, int h,
                                       ImageHandle_t image) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* b = new QPushButton(parent);
  b->setAutoDefault(false);
  SetButtonPicture(b, image);
  QObject::connect(b, &QPushButton::clicked, [number] { QueueGadget(number, 0); });
  QWidget* made = Register(number, Kind::PictureButton, b, x, y, w, h);
  Gadget(number)->image = image;
  return made;
}

NativeHandle GadgetCreateTextField(int number, int x, int y, int w, int h, const Text& text,
                                   int flags) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  const bool readOnly = (flags & kTextFieldReadOnly) != 0;
  const bool borderless = (flags & kTextFieldBorderless) != 0;
  if ((flags & kTextFieldMultiLine) != 0) {
    auto* t = new QPlainTextEdit(parent);
    t->setLineWrapMode(QPlainTextEdit::NoWrap);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setTabChangesFocus(true);
    t->setReadOnly(readOnly);
    if (readOnly)
      t->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (borderless) {
      t->setFrameShape(QFrame::NoFrame);
      t->document()->setDocumentMargin(1);
    }
    t->setPlainText(Shown(text));
    QObject::connect(t, &QPlainTextEdit::textChanged, [number, t] {
      if (t->hasFocus()) QueueGadget(number, kTextChanged);
    });
    return Register(number, Kind::MultiLineField, t, x, y, w, h);
  }
  auto* e = new QLineEdit(TextToQString(text), parent);
  e->setReadOnly(readOnly);
  e->setFrame(!borderless);
  if (borderless) e->setTextMargins(0, 0, 0, 0);
  e->setCursorPosition(0);
  QObject::connect(e, &QLineEdit::textEdited, [number] { QueueGadget(number, kTextChanged); });
  return Register(number, Kind::LineField, e, x, y, w, h);
}

NativeHandle GadgetCreateLabel(int number, int x, int y, int w, int h, const Text& text,
                               int flags) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);
  l->setWordWrap(true);
  l->setAlignment(((flags & kLabelCentred) != 0 ? Qt::AlignHCenter : Qt::AlignLeft) |
                  Qt::AlignTop);
  l->setText(Shown(text));
  QWidget* made = Register(number, Kind::Label, l, x, y, w, h);
  Gadget(number)->labelText = text;
  return made;
}

NativeHandle GadgetCreateFrame(int number, int x, int y, int w, int h, const Text& caption) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* f = new QGroupBox(Caption(caption), parent);
  f->setFocusPolicy(Qt::NoFocus);
  // A frame is drawn under every other gadget and lets every click through, whichever was
  // made first.
  f->setAttribute(Qt::WA_TransparentForMouseEvents);
  QWidget* made = Register(number, Kind::Frame, f, x, y, w, h);
  f->lower();
  return made;
}

NativeHandle GadgetCreateOption(int number, int x, int y, int w, int h, const Text& text) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  const bool continuesGroup = state().lastCreatedKind == Kind::Option;
  const int previous = state().lastCreatedNumber;
  auto* o = new OptionButton(Caption(text), parent);
  o->setAutoExclusive(false);  // the layer keeps the groups itself
  QWidget* made = Register(number, Kind::Option, o, x, y, w, h);
  GadgetEntry* e = Gadget(number);
  const GadgetEntry* before = continuesGroup ? Gadget(previous) : nullptr;
  e->group = before != nullptr ? before->group : number;
  QObject::connect(o, &QRadioButton::clicked, [number] {
    GadgetSetState(number, std::int64_t{1});  // clears the rest of the group
    QueueGadget(number, 0);
  });
  return made;
}

NativeHandle GadgetCreatePicture(int number, int x, int y, int w, int h, ImageHandle_t image) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* p = new QLabel(parent);
  p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  p->setFocusPolicy(Qt::NoFocus);
  QWidget* made = Register(number, Kind::Picture, p, x, y, w, h);
  ShowPicture(p, *Gadget(number), image, true);
  return made;
}

NativeHandle GadgetCreateLink(int number, int x, int y, int w, int h, const Text& text,
                              Rgb hoverColour) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* l = new LinkLabel(number, QColor(hoverColour.r, hoverColour.g, hoverColour.b), parent);
  l->setText(Shown(text));
  QWidget* made = Register(number, Kind::Link, l, x, y, w, h);
  Gadget(number)->labelText = text;
  return made;
}

void GuiAdoptGadget(int number, QWidget* widget, GadgetHooks hooks) {
  if (widget == nullptr || number < 0) return;
  const QRect place = widget->geometry();
  const bool hidden = widget->isHidden();
  if (widget->parentWidget() == nullptr && CurrentClient() != nullptr)
    widget->setParent(CurrentClient());
  Register(number, Kind::Adopted, widget, place.x(), place.y(), place.width(), place.height());
  if (hidden) widget->hide();
  Gadget(number)->hooks = std::move(hooks);
}

QWidget* GuiGadgetWidget(int number) {
  GadgetEntry* e = Gadget(number);
  return e != nullptr ? e->widget.data() : nullptr;
}

// --- Operations on every gadget -----------------------------------------------------------

void GadgetSetText(int number, const Text& text) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  QWidget* w = e->widget;
  switch (e->kind) {
    case Kind::Button:
    case Kind::PictureButton: static_cast<QPushButton*>(w)->setText(Caption(text)); break;
    case Kind::LineField: {
      auto* f = static_cast<QLineEdit*>(w);
      f->setText(TextToQString(text));
      f->setCursorPosition(0);
      break;
    }
    case Kind::MultiLineField: static_cast<QPlainTextEdit*>(w)->setPlainText(Shown(text)); break;
    case Kind::Label:
    case Kind::Link:
      static_cast<QLabel*>(w)->setText(Shown(text));
      e->labelText = text;
      break;
    case Kind::Frame: static_cast<QGroupBox*>(w)->setTitle(Caption(text)); break;
    case Kind::Option: static_cast<QRadioButton*>(w)->setText(Caption(text)); break;
    case Kind::Adopted:
      if (e->hooks.setText) e->hooks.setText(text);
      break;
    default: break;
  }
}

Text GadgetGetText(int number) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return {};
  QWidget* w = e->widget;
  switch (e->kind) {
    case Kind::Button:
    case Kind::PictureButton: return FromCaption(static_cast<QPushButton*>(w)->text());
    case Kind::LineField: return TextFromQString(static_cast<QLineEdit*>(w)->text());
    case Kind::MultiLineField: {
      QString s = static_cast<QPlainTextEdit*>(w)->toPlainText();
      s.replace(QChar('\n'), QStringLiteral("\r\n"));  // as a desktop edit control hands it out
      return TextFromQString(s);
    }
    case Kind::Label:
    case Kind::Link: return e->labelText;
    case Kind::Frame: return FromCaption(static_cast<QGroupBox*>(w)->title());
    case Kind::Option: return FromCaption(static_cast<QRadioButton*>(w)->text());
    case Kind::Adopted: return e->hooks.getText ? e->hooks.getText() : Text{};
    default: return {};
  }
}

void GadgetSetState(int number, std::int64_t value) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  switch (e->kind) {
    case Kind::Option: {
      if (value == 1) {
        for (auto& g : state().gadgets)
          if (g.kind == Kind::Option && g.group == e->group && !g.widget.isNull())
            static_cast<QRadioButton*>(g.widget.data())->setChecked(false);
      }
      static_cast<QRadioButton*>(e->widget.data())->setChecked(value == 1);
      break;
    }
    case Kind::Picture:
      if (value == 0) ShowPicture(static_cast<QLabel*>(e->widget.data()), *e, nullptr, true);
      break;
    case Kind::List:
      if (value < 0) {
        static_cast<QTreeWidget*>(e->widget.data())->clearSelection();
      } else {
        ListSelectRow(number, static_cast<int>(value), true);
      }
      break;
    default: break;
  }
}

void GadgetSetState(int number, ImageHandle_t image) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  if (e->kind == Kind::Picture) ShowPicture(static_cast<QLabel*>(e->widget.data()), *e, image, true);
  if (e->kind == Kind::PictureButton) {
    SetButtonPicture(static_cast<QPushButton*>(e->widget.data()), image);
    e->image = image;
  }
}

std::int64_t GadgetGetState(int number) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return 0;
  switch (e->kind) {
    case Kind::Option: return static_cast<QRadioButton*>(e->widget.data())->isChecked() ? 1 : 0;
    case Kind::List: {
      auto* list = static_cast<QTreeWidget*>(e->widget.data());
      const auto selected = list->selectedItems();
      return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
    }
    case Kind::Picture: return reinterpret_cast<std::intptr_t>(e->image);
    default: return 0;
  }
}

void GadgetSetFont(int number, FontHandle font) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  e->widget->setFont(font != nullptr ? *GuiFontOf(font) : QFont());
}

void GadgetSetBackColour(int number, Rgb colour) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  const QColor c(colour.r, colour.g, colour.b);
  QPalette p = e->widget->palette();
  switch (e->kind) {
    case Kind::LineField:
    case Kind::MultiLineField:
      p.setColor(QPalette::Base, c);
      e->widget->setPalette(p);
      break;
    case Kind::Label:
    case Kind::Link:
      p.setColor(QPalette::Window, c);
      e->widget->setPalette(p);
      e->widget->setAutoFillBackground(true);
      break;
    default: break;  // option buttons, frames and the rest keep their look
  }
}

void GadgetSetEnabled(int number, bool enabled) {
  if (GadgetEntry* e = Gadget(number)) e->widget->setEnabled(enabled);
}

void GadgetHide(int number, bool hide) {
  if (GadgetEntry* e = Gadget(number)) e->widget->setVisible(!hide);
}

void GadgetFocus(int number) {
  if (GadgetEntry* e = Gadget(number)) e->widget->setFocus(Qt::OtherFocusReason);
}

bool GadgetHasFocus(int number) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return false;
  // The window's own focus gadget: the one keys go to while the window is active.
  const QWidget* focus = e->widget->window()->focusWidget();
  return focus != nullptr && (focus == e->widget || e->widget->isAncestorOf(focus));
}

void GadgetSetAccessibleName(int number, const Text& name) {
  if (GadgetEntry* e = Gadget(number)) e->widget->setAccessibleName(TextToQString(name));
}

void GadgetResize(int number, int x, int y, int w, int h) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  QRect r = e->widget->geometry();
  if (x != kLeaveUnchanged) r.moveLeft(x);
  if (y != kLeaveUnchanged) r.moveTop(y);
  if (w != kLeaveUnchanged) r.setWidth(w);
  if (h != kLeaveUnchanged) r.setHeight(h);
  e->widget->setGeometry(r);
}

void TextFieldSelectAll(int number) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  if (e->kind == Kind::LineField) static_cast<QLineEdit*>(e->widget.data())->selectAll();
  if (e->kind == Kind::MultiLineField) static_cast<QPlainTextEdit*>(e->widget.data())->selectAll();
}
