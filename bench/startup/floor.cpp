// The floor of the toolkit for the start-up benchmark: the smallest Qt Widgets program that
// shows a window with one line of text, in the face the program names for its own texts
// ("Arial", which fontconfig resolves to a metric twin), so that finding and drawing a font
// counts on both sides. It links Qt Widgets alone.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

#include "bench/startup/first_paint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(795, 560);
  auto* line = new QLabel(QStringLiteral("Pelicula a Buscar..."), &window);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(16);
  font.setBold(true);
  line->setFont(font);
  line->setGeometry(10, 10, 200, 20);
  window.show();
  startupbench::WaitForFirstPaintAndTell(&window);
  return 0;
}
