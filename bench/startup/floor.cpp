// The floor of the toolkit for the start-up benchmark: the smallest Qt Widgets program that
// shows a window with one line edit. It links Qt Widgets alone.
#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "bench/startup/first_paint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(795, 560);
  auto* field = new QLineEdit(QStringLiteral("Blade Runner"), &window);
  field->setGeometry(10, 35, 200, 18);
  window.show();
  startupbench::WaitForFirstPaintAndTell(&window);
  return 0;
}
