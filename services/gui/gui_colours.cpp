// Text that reads on the colours the program fixes. The program paints the window, the lists
// and the card fields in colours of its own, while the desktop's palette gives the text drawn
// on them; on a dark palette that is near-white text on pale yellow. So wherever a back colour
// is fixed, the text on it is fixed too: black or white, whichever contrasts more (on the
// program's cream and pale yellow, black, at about 18 : 1).
#include <QPalette>

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

void FitSelection(QWidget* widget) {
  QPalette p = widget->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
    p.setColor(group, QPalette::HighlightedText, ReadableOn(p.color(group, QPalette::Highlight)));
  widget->setPalette(p);
}

}  // namespace gui
