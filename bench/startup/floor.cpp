// The floor of the toolkit for the start-up benchmark: the smallest Qt Widgets program that
// shows a window with one line of text, in the face the program names for its own texts
// ("Arial", which fontconfig resolves to a metric twin), so that finding and drawing a font
// counts on both sides. It links Qt Widgets alone.
//
// Given "texts", the window shows instead every text of the program's main window in its face
// and size, as plain labels: what the toolkit itself must do to find, shape and draw those
// faces, with none of the program's gadgets, lists, frames or pictures.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QRect>
#include <QWidget>

#include <cstring>

#include "bench/startup/first_paint.h"

namespace {

struct Line {
  const char* text;
  int pixels;  // 0: the desktop's own font
  bool italic = false;
  bool underline = false;
};

// The main window's texts; its fonts are "Arial" bold at 8, 9, 10 and 12 points (11, 12, 13 and
// 16 pixels at 96 dpi), one bold italic and one underlined, and the synopsis in the desktop's font.
constexpr Line kMainWindowTexts[] = {
    {"Pelicula a Buscar...", 16},
    {"FICHA TÉCNICA", 16},
    {"Blade Runner", 13},
    {"Buscar", 13, true},
    {"Varta 2004", 13, false, true},
    {"SINOPSIS", 13},
    {"ACTORES", 13},
    {"TITULOS ENCONTRADOS", 12},
    {"Películas Favoritas", 12},
    {"Añadir a Favoritos", 12},
    {"Eliminar", 12},
    {"Salvar", 12},
    {"Recargar", 12},
    {"Guardar la Imagen", 12},
    {"TÍTULO", 11},
    {"GÉNERO", 11},
    {"NACIONALIDAD", 11},
    {"DIRECTOR", 11},
    {"Calificación Moral", 11},
    {"PUNTUACIÓN", 11},
    {"Usar Culturalia", 11},
    {"Usar IMDB", 11},
    {"AQUÍ EL TÍTULO DE LA PELÍCULA", 11},
    {"AQUÍ EL GÉNERO DE LA PELÍCULA", 11},
    {"AQUÍ LA NACIONALIDAD", 11},
    {"AQUÍ EL DIRECTOR", 11},
    {"AQUÍ LA CALIFICACIÓN MORAL", 11},
    {"PUNTUACIÓN", 11},
    {"AQUI LOS ACTORES", 11},
    {"...", 0},
};

void AddLine(QWidget* window, const Line& line, const QRect& place) {
  auto* label = new QLabel(QString::fromUtf8(line.text), window);
  if (line.pixels > 0) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(line.pixels);
    font.setBold(true);
    font.setItalic(line.italic);
    font.setUnderline(line.underline);
    label->setFont(font);
  }
  label->setGeometry(place);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(795, 560);
  if (argc > 1 && std::strcmp(argv[1], "texts") == 0) {
    int y = 0;
    for (const Line& line : kMainWindowTexts) AddLine(&window, line, QRect(10, y += 18, 400, 18));
  } else {
    AddLine(&window, kMainWindowTexts[0], QRect(10, 10, 200, 20));
  }
  window.show();
  startupbench::WaitForFirstPaintAndTell(&window);
  return 0;
}
