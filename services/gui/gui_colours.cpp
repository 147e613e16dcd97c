// Text that reads on the colours the program fixes. The program paints the window, the lists
// and the card fields in colours of its own, while the desktop's palette gives the text drawn
// on them; on a dark palette that is near-white text on pale yellow. So wherever a back colour
// is fixed, the text on it is fixed too: black or white, whichever contrasts more (on the
// program's cream and pale yellow, black, at about 18 : 1).
//
// Styles differ in which roles they draw a gadget's text and back with: Fusion draws an option's
// label in WindowText, Adwaita in Text; Fusion draws a list's header in ButtonText on Button,
// Adwaita in WindowText on the view's Base. So every role a style may draw a text with on a fixed
// colour gets the fitted colour, and a part drawn in a text role on a colour the program does
// not fix (an option's round mark) gets a back that goes with it.
#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QProxyStyle>

#include <cmath>

#include "services/gui/gui_internal.h"

namespace gui {
namespace {

// Relative luminance of a colour, as the contrast ratio of the usual accessibility rules
// defines it: 0 for black, 1 for white.
double Luminance(const QColor& colour) {
  const auto linear = [](int channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  const QColor rgb = colour.toRgb();
  return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

// Adwaita draws a header's labels half transparent (70 % opaque on a column that sorts), dimmed
// towards the back as GNOME's lists are: black on the pale yellow reads at 4 : 1 at best. The
// header's labels are drawn opaque instead, in the colour fitted to the back; under a style that
// draws them opaque already nothing changes.
class OpaqueLabels : public QProxyStyle {
 public:
  explicit OpaqueLabels(const QString& base) : QProxyStyle(base), base_(base) {}
  const QString& Base() const { return base_; }
  void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                    bool enabled, const QString& text, QPalette::ColorRole role) const override {
    QPalette opaque = palette;
    QColor colour = palette.color(role);
    colour.setAlpha(255);
    opaque.setColor(role, colour);
    QProxyStyle::drawItemText(painter, rect, flags, opaque, enabled, text, role);
  }

 private:
  QString base_;  // the name of the application's style it stands on
};

}  // namespace

QColor ReadableOn(const QColor& back) {
  // Contrast ratios (lighter + 0.05) / (darker + 0.05) against black (0) and white (1).
  const double l = Luminance(back);
  return (l + 0.05) / 0.05 >= 1.05 / (l + 0.05) ? QColor(Qt::black) : QColor(Qt::white);
}

void SetTextColour(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles,
                   const QColor& colour) {
  QPalette p = widget->palette();
  for (QPalette::ColorRole role : roles) {
    p.setColor(QPalette::Active, role, colour);
    p.setColor(QPalette::Inactive, role, colour);
  }
  widget->setPalette(p);
}

void FitHeader(QHeaderView* header, const QColor& back) {
  // A style that paints the sections on the view's Base (Adwaita) draws the labels in WindowText
  // or Text; one that paints them on Button (Fusion) draws them in ButtonText, which stays the
  // desktop's, as that back is. The header's own style stands on the application's, made anew
  // when that one has changed (a widget keeps a style of its own when the application's changes).
  const QString appStyle = QApplication::style()->name();
  auto* own = dynamic_cast<OpaqueLabels*>(header->style());
  if (own == nullptr || own->Base() != appStyle) {
    auto* style = new OpaqueLabels(appStyle);
    style->setParent(header);  // a widget does not own the style it is given
    header->setStyle(style);
    delete own;
    // The view lays its header out again only when its own style changes (the fault is kept in
    // tests/services/gui/test_qt_faults.cpp): told of the header's, it sizes the header anew.
    if (QWidget* view = header->parentWidget()) {
      QEvent changed(QEvent::StyleChange);
      QCoreApplication::sendEvent(view, &changed);
    }
  }
  QPalette p = header->palette();
  p.setColor(QPalette::Base, back);
  header->setPalette(p);
  SetTextColour(header, {QPalette::WindowText, QPalette::Text}, ReadableOn(back));
}

void FitSelection(QWidget* widget) {
  QPalette p = widget->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    p.setColor(group, QPalette::HighlightedText, ReadableOn(p.color(group, QPalette::Highlight)));
  widget->setPalette(p);
}

}  // namespace gui
