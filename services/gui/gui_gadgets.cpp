// The GUI layer's gadgets other than lists: buttons, text fields, labels, frames, option
// buttons, picture boxes, the link label and gadgets adopted from other services, each with
// the adapter that gives its kind's text and state; and the operations every gadget answers.
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

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
// and an activity when the left button is released over it. From the keyboard it is reached by
// Tab (a click does not take the focus), shows a dotted frame while it has the focus, and is
// opened by Return, Enter or Space, as a button is.
class LinkLabel : public QLabel {
 public:
  LinkLabel(int number, QColor hover, QWidget* parent)
      : QLabel(parent), number_(number), hover_(hover) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
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
  void keyPressEvent(QKeyEvent* e) override {
    const int key = e->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !e->isAutoRepeat()) {
      QueueGadget(number_, 0);
      return;
    }
    QLabel::keyPressEvent(e);
  }
  void paintEvent(QPaintEvent* e) override {
    QLabel::paintEvent(e);
    if (!hasFocus()) return;
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  void focusInEvent(QFocusEvent* e) override {
    QLabel::focusInEvent(e);
    update();
  }
  void focusOutEvent(QFocusEvent* e) override {
    QLabel::focusOutEvent(e);
    update();
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

// --- The kinds: what each answers of text, state, back colour and selection ---------------

// Push buttons: the text is the caption.
class ButtonKind : public GadgetOf<QPushButton> {
 public:
  using GadgetOf::GadgetOf;
  void SetText(const Text& text) override { widget()->setText(Caption(text)); }
  Text GetText() const override { return FromCaption(widget()->text()); }
};

// Picture buttons: a button whose picture GadgetSetState changes.
class PictureButtonKind : public ButtonKind {
 public:
  using ButtonKind::ButtonKind;
  void SetPicture(ImageHandle_t image) override { SetButtonPicture(widget(), image); }
};

// Text fields: the back colour is that of the area behind the text, and the text takes a colour
// that reads on it; the selected text reads on the selection colour in every field.
template <typename W>
class FieldKind : public GadgetOf<W> {
 public:
  using GadgetOf<W>::GadgetOf;
  void SetBackColour(const QColor& colour) override {
    back_ = colour;
    QPalette p = this->widget()->palette();
    p.setColor(QPalette::Base, colour);
    this->widget()->setPalette(p);
    FitColours(QColor());
  }
  void FitColours(const QColor&) override {
    if (back_.isValid()) SetTextColour(this->widget(), {QPalette::Text}, ReadableOn(back_));
    FitSelection(this->widget());
  }
  void SelectAll() override { this->widget()->selectAll(); }

 private:
  QColor back_;
};

// One-line text fields: the text shows from its start, however long.
class LineFieldKind : public FieldKind<QLineEdit> {
 public:
  using FieldKind::FieldKind;
  void SetText(const Text& text) override {
    widget()->setText(TextToQString(text));
    widget()->setCursorPosition(0);
  }
  Text GetText() const override { return TextFromQString(widget()->text()); }
};

// Multi-line text fields: lines break at CR LF both ways.
class MultiLineFieldKind : public FieldKind<QPlainTextEdit> {
 public:
  using FieldKind::FieldKind;
  void SetText(const Text& text) override { widget()->setPlainText(Shown(text)); }
  Text GetText() const override {
    QString s = widget()->toPlainText();
    s.replace(QChar('\n'), QStringLiteral("\r\n"));  // as a desktop edit control hands it out
    return TextFromQString(s);
  }
};

// Labels and the link label: the text comes back as it was given, line breaks and all. A label
// drawn on a back colour of its own or of its window takes a text colour that reads on it. A
// label that a screen reader knows by another name (the synopsis by its frame's title) gives
// its text as its description, so that the reader still reads it.
class LabelKind : public GadgetOf<QLabel> {
 public:
  LabelKind(QLabel* label, Text text) : GadgetOf(label), text_(std::move(text)) {}
  void SetText(const Text& text) override {
    widget()->setText(Shown(text));
    text_ = text;
    Describe();
  }
  Text GetText() const override { return text_; }
  void SetBackColour(const QColor& colour) override {
    back_ = colour;
    QPalette p = widget()->palette();
    p.setColor(QPalette::Window, colour);
    widget()->setPalette(p);
    widget()->setAutoFillBackground(true);
    FitColours(QColor());
  }
  void FitColours(const QColor& windowBack) override {
    const QColor behind = back_.isValid() ? back_ : windowBack;
    if (behind.isValid()) SetTextColour(widget(), {QPalette::WindowText}, ReadableOn(behind));
  }
  void SetAccessibleName(const QString& name) override {
    widget()->setAccessibleName(name);
    Describe();
  }

 private:
  void Describe() {
    widget()->setAccessibleDescription(widget()->accessibleName().isEmpty() ? QString()
                                                                             : widget()->text());
  }
  Text text_;
  QColor back_;
};

// The link label keeps the colours it was made with, the hover colour included.
class LinkKind : public LabelKind {
 public:
  using LabelKind::LabelKind;
  void FitColours(const QColor&) override {}
};

// Frames: the text is the caption, drawn on the window in a colour that reads on it; a back
// colour is ignored. (Styles draw the caption in the palette's window text or text colour.)
class FrameKind : public GadgetOf<QGroupBox> {
 public:
  using GadgetOf::GadgetOf;
  void SetText(const Text& text) override { widget()->setTitle(Caption(text)); }
  Text GetText() const override { return FromCaption(widget()->title()); }
  void FitColours(const QColor& windowBack) override {
    if (windowBack.isValid())
      SetTextColour(widget(), {QPalette::WindowText, QPalette::Text}, ReadableOn(windowBack));
  }
};

}  // namespace

struct OptionGroup {
  std::vector<QPointer<QRadioButton>> options;  // a freed option's pointer is null
  // Makes the toolkit see the options as a group of radio buttons (a screen reader's role, the
  // arrow keys moving between them) while the layer alone decides which one is selected.
  QButtonGroup buttons;
  OptionGroup() { buttons.setExclusive(false); }
};

namespace {

// Option buttons: the text is the caption, drawn on the window in a colour that reads on it;
// the state 1 selected, 0 not. Selecting one clears every other option of its group. A back
// colour is ignored.
class OptionKind : public GadgetOf<QRadioButton> {
 public:
  OptionKind(QRadioButton* option, std::shared_ptr<OptionGroup> group)
      : GadgetOf(option), group_(std::move(group)) {
    group_->options.emplace_back(option);
    group_->buttons.addButton(option);
  }
  void SetText(const Text& text) override { widget()->setText(Caption(text)); }
  Text GetText() const override { return FromCaption(widget()->text()); }
  void SetState(std::int64_t value) override {
    if (value == 1) {
      for (const QPointer<QRadioButton>& other : group_->options)
        if (!other.isNull()) other->setChecked(false);
    }
    widget()->setChecked(value == 1);
  }
  std::int64_t GetState() const override { return widget()->isChecked() ? 1 : 0; }
  void FitColours(const QColor& windowBack) override {
    // The label is drawn in WindowText (Fusion) or Text (Adwaita); some styles draw the round
    // mark's dot in Text on Base as well, so Base goes with the text to keep the mark visible.
    if (!windowBack.isValid()) return;
    const QColor text = ReadableOn(windowBack);
    SetTextColour(widget(), {QPalette::WindowText, QPalette::Text}, text);
    QPalette p = widget()->palette();
    p.setColor(QPalette::Base, text == QColor(Qt::black) ? QColor(Qt::white) : QColor(Qt::black));
    widget()->setPalette(p);
  }

 private:
  std::shared_ptr<OptionGroup> group_;
};

// Picture boxes: the state is the handle of the picture shown, 0 for none. A picture gives
// the box its size; none erases the box's area.
class PictureKind : public GadgetOf<QLabel> {
 public:
  using GadgetOf::GadgetOf;
  void SetPicture(ImageHandle_t image) override {
    const QImage* picture = GuiImageOf(image);
    if (picture == nullptr || picture->isNull()) {
      image_ = nullptr;
      widget()->clear();  // the box's area is erased: the window's background shows through
      return;
    }
    image_ = image;
    widget()->setPixmap(QPixmap::fromImage(*picture));  // a copy: the image may be freed later
    widget()->resize(picture->size());
  }
  void SetState(std::int64_t value) override {
    if (value == 0) SetPicture(nullptr);
  }
  std::int64_t GetState() const override { return reinterpret_cast<std::intptr_t>(image_); }

 private:
  ImageHandle_t image_ = nullptr;
};

// Gadgets made by another service: their text is what that service's hooks make of it.
class AdoptedKind : public GadgetOf<QWidget> {
 public:
  AdoptedKind(QWidget* widget, GadgetHooks hooks) : GadgetOf(widget), hooks_(std::move(hooks)) {}
  void SetText(const Text& text) override {
    if (hooks_.setText) hooks_.setText(text);
  }
  Text GetText() const override { return hooks_.getText ? hooks_.getText() : Text{}; }

 private:
  GadgetHooks hooks_;
};

}  // namespace
}  // namespace gui

using namespace gui;

NativeHandle GadgetCreateButton(int number, int x, int y, int w, int h, const Text& text) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* b = new QPushButton(Caption(text), parent);
  b->setAutoDefault(false);
  QObject::connect(b, &QPushButton::clicked, [number] { QueueGadget(number, 0); });
  return Register(number, std::make_unique<ButtonKind>(b), x, y, w, h);
}

NativeHandle GadgetCreatePictureButton(int number, int x, int y, int w, int h,
                                       ImageHandle_t image) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* b = new QPushButton(parent);
  b->setAutoDefault(false);
  SetButtonPicture(b, image);
  QObject::connect(b, &QPushButton::clicked, [number] { QueueGadget(number, 0); });
  return Register(number, std::make_unique<PictureButtonKind>(b), x, y, w, h);
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
    return Register(number, std::make_unique<MultiLineFieldKind>(t), x, y, w, h);
  }
  auto* e = new QLineEdit(TextToQString(text), parent);
  e->setReadOnly(readOnly);
  e->setFrame(!borderless);
  if (borderless) e->setTextMargins(0, 0, 0, 0);
  e->setCursorPosition(0);
  QObject::connect(e, &QLineEdit::textEdited, [number] { QueueGadget(number, kTextChanged); });
  return Register(number, std::make_unique<LineFieldKind>(e), x, y, w, h);
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
  return Register(number, std::make_unique<LabelKind>(l, text), x, y, w, h);
}

NativeHandle GadgetCreateFrame(int number, int x, int y, int w, int h, const Text& caption) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* f = new QGroupBox(Caption(caption), parent);
  f->setFocusPolicy(Qt::NoFocus);
  // A frame is drawn under every other gadget and lets every click through, whichever was
  // made first.
  f->setAttribute(Qt::WA_TransparentForMouseEvents);
  QWidget* made = Register(number, std::make_unique<FrameKind>(f), x, y, w, h);
  f->lower();
  return made;
}

NativeHandle GadgetCreateOption(int number, int x, int y, int w, int h, const Text& text) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  std::shared_ptr<OptionGroup> group = state().openOptionGroup;
  if (group == nullptr) group = std::make_shared<OptionGroup>();
  auto* o = new OptionButton(Caption(text), parent);
  // A radio button to the toolkit; with its group not exclusive the layer keeps the selection.
  o->setAutoExclusive(true);
  QWidget* made = Register(number, std::make_unique<OptionKind>(o, group), x, y, w, h);
  state().openOptionGroup = std::move(group);
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
  QWidget* made = Register(number, std::make_unique<PictureKind>(p), x, y, w, h);
  GadgetSetState(number, image);  // the picture's size, once the box is placed
  return made;
}

NativeHandle GadgetCreateLink(int number, int x, int y, int w, int h, const Text& text,
                              Rgb hoverColour) {
  QWidget* parent = Parent();
  if (parent == nullptr || number < 0) return nullptr;
  auto* l = new LinkLabel(number, QColor(hoverColour.r, hoverColour.g, hoverColour.b), parent);
  l->setText(Shown(text));
  return Register(number, std::make_unique<LinkKind>(l, text), x, y, w, h);
}

void GuiAdoptGadget(int number, QWidget* widget, GadgetHooks hooks) {
  if (widget == nullptr || number < 0) return;
  const QRect place = widget->geometry();
  const bool hidden = widget->isHidden();
  if (widget->parentWidget() == nullptr && CurrentClient() != nullptr)
    widget->setParent(CurrentClient());
  Register(number, std::make_unique<AdoptedKind>(widget, std::move(hooks)), place.x(), place.y(),
           place.width(), place.height());
  if (hidden) widget->hide();
}

QWidget* GuiGadgetWidget(int number) {
  GadgetEntry* e = Gadget(number);
  return e != nullptr ? e->widget() : nullptr;
}

// --- Operations on every gadget -----------------------------------------------------------

void GadgetSetText(int number, const Text& text) {
  if (GadgetEntry* e = Gadget(number)) e->kind->SetText(text);
}

Text GadgetGetText(int number) {
  GadgetEntry* e = Gadget(number);
  return e != nullptr ? e->kind->GetText() : Text{};
}

void GadgetSetState(int number, std::int64_t value) {
  if (GadgetEntry* e = Gadget(number)) e->kind->SetState(value);
}

void GadgetSetState(int number, ImageHandle_t image) {
  if (GadgetEntry* e = Gadget(number)) e->kind->SetPicture(image);
}

std::int64_t GadgetGetState(int number) {
  GadgetEntry* e = Gadget(number);
  return e != nullptr ? e->kind->GetState() : 0;
}

void GadgetSetFont(int number, FontHandle font) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  e->widget()->setFont(font != nullptr ? *GuiFontOf(font) : QFont());
}

void GadgetSetBackColour(int number, Rgb colour) {
  GadgetEntry* e = Gadget(number);
  if (e != nullptr) e->kind->SetBackColour(QColor(colour.r, colour.g, colour.b));
}

void GadgetSetEnabled(int number, bool enabled) {
  if (GadgetEntry* e = Gadget(number)) e->widget()->setEnabled(enabled);
}

void GadgetHide(int number, bool hide) {
  if (GadgetEntry* e = Gadget(number)) e->widget()->setVisible(!hide);
}

void GadgetFocus(int number) {
  if (GadgetEntry* e = Gadget(number)) e->widget()->setFocus(Qt::OtherFocusReason);
}

bool GadgetHasFocus(int number) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return false;
  // The window's own focus gadget: the one keys go to while the window is active.
  const QWidget* focus = e->widget()->window()->focusWidget();
  return focus != nullptr && (focus == e->widget() || e->widget()->isAncestorOf(focus));
}

void GadgetSetAccessibleName(int number, const Text& name) {
  if (GadgetEntry* e = Gadget(number)) e->kind->SetAccessibleName(TextToQString(name));
}

void GadgetResize(int number, int x, int y, int w, int h) {
  GadgetEntry* e = Gadget(number);
  if (e == nullptr) return;
  QRect r = e->widget()->geometry();
  if (x != kLeaveUnchanged) r.moveLeft(x);
  if (y != kLeaveUnchanged) r.moveTop(y);
  if (w != kLeaveUnchanged) r.setWidth(w);
  if (h != kLeaveUnchanged) r.setHeight(h);
  e->widget()->setGeometry(r);
}

void TextFieldSelectAll(int number) {
  if (GadgetEntry* e = Gadget(number)) e->kind->SelectAll();
}
