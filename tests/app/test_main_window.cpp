// The main window after start-up, on the real widgets: places and sizes against the layout
// table, fonts, colours, texts, focus, the window's frame and the pictures on its gadgets.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScreen>
#include <QTest>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "app/embedded_pictures.h"
#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "services/text/qt_text.h"
#include "tests/support/app_fixture.h"

namespace {

class MainWindow : public AppFixture {};

struct Place {
  int gadget, x, y, w, h;
};

// The layout table, gadget by gadget (the cover box keeps 200 x 275 after its picture).
constexpr Place kTable[] = {
    {kWebView, 385, 5, 200, 150},          {kSearchField, 10, 35, 200, 18},
    {kSearchButton, 120, 55, 90, 25},      {kTitlesList, 5, 90, 210, 138},
    {kFavouritesList, 5, 255, 210, 219},   {kAddFavouriteButton, 5, 230, 210, 25},
    {kRemoveFavouriteButton, 5, 475, 70, 20}, {kSaveFavouritesButton, 85, 475, 50, 20},
    {kReloadFavouritesButton, 145, 475, 70, 20}, {kPrintButton, 5, 510, 45, 40},
    {kExitButton, 165, 510, 45, 40},       {kCreditLink, 60, 525, 90, 20},
    {kCardFrame, 220, 10, 565, 545},       {kTitleFrame, 225, 35, 355, 35},
    {kSearchFrame, 5, 10, 210, 75},        {kGenreFrame, 225, 70, 355, 35},
    {kNationalityFrame, 225, 105, 355, 35}, {kDirectorFrame, 225, 140, 355, 35},
    {kMoralRatingFrame, 225, 175, 355, 35}, {kRatingFrame, 225, 210, 115, 35},
    {kSynopsisFrame, 225, 245, 345, 305},  {kActorsFrame, 590, 25, 185, 220},
    {kActorsField, 595, 45, 175, 195},     {kCoverBox, 575, 250, 200, 275},
    {kSaveCoverButton, 575, 525, 200, 25}, {kCulturaliaOption, 10, 55, 105, 15},
    {kImdbOption, 10, 70, 95, 15},         {kTitleField, 235, 50, 340, 15},
    {kGenreField, 235, 85, 340, 15},       {kNationalityField, 235, 120, 340, 15},
    {kDirectorField, 235, 155, 340, 15},   {kMoralRatingField, 235, 190, 340, 15},
    {kRatingField, 235, 225, 95, 15},      {kSynopsisText, 230, 265, 335, 280},
};

struct FontEntry {
  int gadget, points;
  bool bold, italic, underline;
};

constexpr FontEntry kFonts[] = {
    {kSearchField, 10, true, false, false},  {kSearchButton, 10, true, true, false},
    {kTitlesList, 9, true, false, false},    {kFavouritesList, 9, true, false, false},
    {kAddFavouriteButton, 9, true, false, false}, {kRemoveFavouriteButton, 9, true, false, false},
    {kSaveFavouritesButton, 9, true, false, false}, {kReloadFavouritesButton, 9, true, false, false},
    {kCreditLink, 10, true, false, true},    {kCardFrame, 12, true, false, false},
    {kTitleFrame, 8, true, false, false},    {kSearchFrame, 12, true, false, false},
    {kGenreFrame, 8, true, false, false},    {kNationalityFrame, 8, true, false, false},
    {kDirectorFrame, 8, true, false, false}, {kMoralRatingFrame, 8, true, false, false},
    {kRatingFrame, 8, true, false, false},   {kSynopsisFrame, 10, true, false, false},
    {kActorsFrame, 10, true, false, false},  {kActorsField, 8, true, false, false},
    {kSaveCoverButton, 9, true, false, false}, {kCulturaliaOption, 8, true, false, false},
    {kImdbOption, 8, true, false, false},    {kTitleField, 8, true, false, false},
    {kGenreField, 8, true, false, false},    {kNationalityField, 8, true, false, false},
    {kDirectorField, 8, true, false, false}, {kMoralRatingField, 8, true, false, false},
    {kRatingField, 8, true, false, false},
};

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

QColor BaseOf(QWidget* w) { return w->palette().color(QPalette::Base); }

// Contrast ratio of two colours, (lighter + 0.05) / (darker + 0.05) over relative luminance.
double Contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto linear = [](int v) {
      const double x = v / 255.0;
      return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast a text is drawn at in an area of a widget, as painted in its window (so that what
// shows through from the window counts): the area's most frequent colour is the back, the pixel
// farthest from it the text.
double ReadsAt(QWidget* w, const QRect& area) {
  QWidget* window = w->window();
  const QImage shot = window->grab(QRect(w->mapTo(window, area.topLeft()), area.size())).toImage();
  std::map<QRgb, int> counts;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) ++counts[shot.pixel(x, y)];
  if (counts.empty()) return 0;
  const QRgb back = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                      return a.second < b.second;
                    })->first;
  double best = 1;
  for (const auto& [colour, n] : counts) best = std::max(best, Contrast(colour, back));
  return best;
}

QRect OptionTextArea(QRadioButton* b) {
  QStyleOptionButton o;
  o.initFrom(b);
  o.text = b->text();
  return b->style()->subElementRect(QStyle::SE_RadioButtonContents, &o, b);
}

QRect FrameTitleArea(QGroupBox* g) {
  QStyleOptionGroupBox o;
  o.initFrom(g);
  o.text = g->title();
  o.textAlignment = g->alignment();
  o.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  o.lineWidth = 1;
  return g->style()->subControlRect(QStyle::CC_GroupBox, &o, QStyle::SC_GroupBoxLabel, g);
}

QRect HeaderTextArea(QHeaderView* h) {  // the first section without its own edges
  const QRect section(h->sectionViewportPosition(0), 0, h->sectionSize(0), h->height());
  return section.adjusted(3, 3, -3, -3);
}

}  // namespace

TEST_F(MainWindow, EveryGadgetStandsWhereTheTablePutsIt) {
  for (const Place& p : kTable) {
    QWidget* w = app().Widget(p.gadget);
    ASSERT_NE(w, nullptr) << "gadget " << p.gadget;
    EXPECT_EQ(w->parentWidget(), app().Window(kMainWindow)) << "gadget " << p.gadget;
    EXPECT_EQ(w->geometry(), QRect(p.x, p.y, p.w, p.h)) << "gadget " << p.gadget;
  }
  EXPECT_EQ(app().Widget(kBusyLabel), nullptr);  // the busy window comes only with a lookup
}

TEST_F(MainWindow, WindowIsFixedAt795By560WithMinimiseButNoMaximise) {
  QWidget* w = app().Window(kMainWindow);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->size(), QSize(795, 560));
  EXPECT_EQ(w->minimumSize(), QSize(795, 560));
  EXPECT_EQ(w->maximumSize(), QSize(795, 560));
  EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(w->windowTitle(), Q("Cinevarta - v0.9.4.b"));
  // Centred on the screen (the position 67, -12 asked for is ignored).
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_NEAR(w->frameGeometry().center().x(), screen.center().x(), 12);
  EXPECT_NEAR(w->frameGeometry().center().y(), screen.center().y(), 20);
}

TEST_F(MainWindow, FontsAreArialAtTheTablesSizesAndStyles) {
  const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
  for (const FontEntry& f : kFonts) {
    QWidget* w = app().Widget(f.gadget);
    ASSERT_NE(w, nullptr) << f.gadget;
    const QFont font = w->font();
    EXPECT_EQ(font.family(), "Arial") << f.gadget;
    EXPECT_EQ(font.pixelSize(), qRound(f.points * dpi / 72.0)) << f.gadget;
    EXPECT_EQ(font.weight(), f.bold ? QFont::Bold : QFont::Normal) << f.gadget;
    EXPECT_EQ(font.italic(), f.italic) << f.gadget;
    EXPECT_EQ(font.underline(), f.underline) << f.gadget;
  }
  // "Arial" is found through fontconfig as its metric twin.
  EXPECT_EQ(QFontInfo(app().Widget(kSearchField)->font()).family(), "Liberation Sans");
  // Gadgets without a font entry keep the layer's default.
  EXPECT_NE(app().Widget(kSynopsisText)->font().family(), "Arial");
}

TEST_F(MainWindow, ColoursOfWindowListsAndCardFields) {
  // The window is cream after start-up: look at a pixel no gadget covers.
  QWidget* w = app().Window(kMainWindow);
  const QImage shot = w->grab().toImage();
  EXPECT_EQ(shot.pixelColor(2, 2), QColor(255, 245, 206));
  EXPECT_EQ(shot.pixelColor(100, 555), QColor(255, 245, 206));
  const QColor pale(255, 255, 191);
  for (int g : {kTitlesList, kFavouritesList}) EXPECT_EQ(BaseOf(app().Widget(g)), pale) << g;
  for (int g : {kActorsField, kTitleField, kGenreField, kNationalityField, kDirectorField,
                kMoralRatingField, kRatingField})
    EXPECT_EQ(BaseOf(app().Widget(g)), pale) << g;
  // The synopsis label paints its own pale yellow.
  EXPECT_EQ(shot.pixelColor(560, 540), pale);
  // The credit link is black until the pointer is over it.
  EXPECT_EQ(app().Widget(kCreditLink)->palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_EQ(app().Widget(kCreditLink)->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindow, TextOnTheFixedColoursReadsUnderEveryDesktopsLook) {
  // The desktops' looks arrive while the program runs: dark and high-contrast palettes under
  // Fusion, and Adwaita-Dark, a style that paints with a palette of its own.
  const QColor nearWhite(252, 252, 252);
  const struct {
    const char* name;
    const char* style;  // empty for the style the test runs under
    std::vector<std::pair<QPalette::ColorRole, QColor>> colours;  // over the style's own palette
  } desktops[] = {
      {"default", "", {}},
      {"Fusion dark", "Fusion",
       {{QPalette::Window, QColor(53, 53, 53)}, {QPalette::Button, QColor(53, 53, 53)},
        {QPalette::Base, QColor(42, 42, 42)}, {QPalette::Highlight, QColor(42, 130, 218)},
        {QPalette::WindowText, Qt::white}, {QPalette::Text, Qt::white},
        {QPalette::ButtonText, Qt::white}, {QPalette::HighlightedText, Qt::white}}},
      {"Breeze Dark", "",
       {{QPalette::Window, QColor(49, 54, 59)}, {QPalette::Button, QColor(49, 54, 59)},
        {QPalette::Base, QColor(35, 38, 41)}, {QPalette::Highlight, QColor(61, 174, 233)},
        {QPalette::WindowText, nearWhite}, {QPalette::Text, nearWhite},
        {QPalette::ButtonText, nearWhite}, {QPalette::HighlightedText, nearWhite}}},
      {"Adwaita-Dark", "Adwaita-Dark", {}},
      {"high contrast", "",
       {{QPalette::Window, Qt::black}, {QPalette::Button, Qt::black},
        {QPalette::Base, Qt::black}, {QPalette::Highlight, QColor(26, 235, 255)},
        {QPalette::WindowText, Qt::white}, {QPalette::Text, Qt::white},
        {QPalette::ButtonText, Qt::white}, {QPalette::HighlightedText, Qt::white}}},
  };
  ListAddRow(kTitlesList, -1, "Blade Runner"_t);
  ListAddRow(kTitlesList, -1, "Alien"_t);
  ListSelectRow(kTitlesList, 1, true);
  struct Restore {  // the test's own look again, however the test ends
    QString style = QApplication::style()->name();
    QPalette palette = QApplication::palette();
    ~Restore() {
      QApplication::setStyle(style);
      QApplication::setPalette(palette);
    }
  } restore;
  for (const auto& d : desktops) {
    QStyle* style = QStyleFactory::create(*d.style != '\0' ? d.style : restore.style);
    ASSERT_NE(style, nullptr) << d.name;
    QApplication::setStyle(style);
    QPalette palette = style->standardPalette();
    for (const auto& [role, colour] : d.colours) palette.setColor(role, colour);
    QApplication::setPalette(palette);
    QTest::qWait(20);
    app().SaveShot("desktops/" + QString(d.name).replace(' ', '-').toStdString() + ".png");
    auto* list = qobject_cast<QTreeView*>(app().Widget(kTitlesList));
    auto* favourites = qobject_cast<QTreeView*>(app().Widget(kFavouritesList));
    ASSERT_TRUE(list != nullptr && favourites != nullptr);
    const QModelIndex row0 = list->model()->index(0, 0), row1 = list->model()->index(1, 0);
    const struct {
      const char* what;
      QWidget* widget;
      QRect area;
    } texts[] = {
        // On the cream window: a frame's title, an option's label.
        {"frame", app().Widget(kCardFrame),
         FrameTitleArea(qobject_cast<QGroupBox*>(app().Widget(kCardFrame)))},
        {"option", app().Widget(kImdbOption),
         OptionTextArea(qobject_cast<QRadioButton*>(app().Widget(kImdbOption)))},
        // On pale yellow: card fields, the synopsis, the lists' headers and rows.
        {"title field", app().Widget(kTitleField), app().Widget(kTitleField)->rect()},
        {"actors field", app().Widget(kActorsField), app().Widget(kActorsField)->rect()},
        {"synopsis", app().Widget(kSynopsisText), app().Widget(kSynopsisText)->rect()},
        {"titles header", list->header(), HeaderTextArea(list->header())},
        {"favourites header", favourites->header(), HeaderTextArea(favourites->header())},
        {"row", list->viewport(), list->visualRect(row0).adjusted(2, 1, -2, -1)},
        // The selection keeps the desktop's colour, with the text that reads on it.
        {"selected row", list->viewport(), list->visualRect(row1).adjusted(2, 1, -2, -1)},
    };
    // A header takes the height of the look it is drawn in, rows below it.
    EXPECT_EQ(list->header()->height(), list->header()->sizeHint().height()) << d.name;
    for (const auto& t : texts) {
      const double ratio = ReadsAt(t.widget, t.area);
      EXPECT_GE(ratio, 4.5) << d.name << ": " << t.what;
      RecordProperty(std::string(d.name) + ": " + t.what,
                     QString::number(ratio, 'f', 2).toStdString());
    }
    // What is drawn on the desktop's own colours keeps them: the search field, the buttons.
    for (auto g : {QPalette::Active, QPalette::Inactive}) {
      EXPECT_EQ(app().Widget(kSearchField)->palette().color(g, QPalette::Text),
                palette.color(g, QPalette::Text)) << d.name;
      EXPECT_EQ(app().Widget(kSearchButton)->palette().color(g, QPalette::ButtonText),
                palette.color(g, QPalette::ButtonText)) << d.name;
    }
  }
}

TEST_F(MainWindow, TextsAfterStartUp) {
  auto text = [&](int g) { return TextToQString(GadgetGetText(g)); };
  EXPECT_EQ(text(kSearchField), "Blade Runner");
  EXPECT_EQ(text(kSearchButton), "Buscar");
  EXPECT_EQ(text(kAddFavouriteButton), Q("Añadir a Favoritos"));
  EXPECT_EQ(text(kCreditLink), "Varta 2004");
  // The credit is read whole in its 90-pixel label, in the font the label really draws with.
  QLabel* credit = qobject_cast<QLabel*>(app().Widget(kCreditLink));
  ASSERT_NE(credit, nullptr);
  EXPECT_EQ(QFontInfo(credit->font()).family(), "Liberation Sans");
  const int width = credit->fontMetrics().horizontalAdvance(credit->text());
  EXPECT_LE(width, credit->contentsRect().width());
  RecordProperty("creditTextWidth", width);  // read by the X run, which measures on its display
  EXPECT_EQ(text(kCardFrame), Q("FICHA TÉCNICA"));
  EXPECT_EQ(text(kMoralRatingFrame), Q("Calificación Moral"));
  EXPECT_EQ(text(kCulturaliaOption), "Usar Culturalia");
  EXPECT_EQ(text(kImdbOption), "Usar IMDB");
  EXPECT_EQ(text(kSaveCoverButton), "Guardar la Imagen");
  // Every card field shows "..." once the lookup view was reset.
  for (int g : {kActorsField, kTitleField, kGenreField, kNationalityField, kDirectorField,
                kMoralRatingField, kRatingField, kSynopsisText})
    EXPECT_EQ(text(g), "...") << g;
  EXPECT_FALSE(app().Widget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 1);
  EXPECT_EQ(GadgetGetState(kImdbOption), 0);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_FALSE(app().Widget(kWebView)->isVisible());
}

TEST_F(MainWindow, ListsHaveTheirColumnsHeaderAndOptions) {
  struct Col {
    int list, column;
    const char* title;
    int width;
  };
  const Col cols[] = {{kTitlesList, 0, "TITULOS ENCONTRADOS", 160}, {kTitlesList, 1, "Indice", 0},
                      {kTitlesList, 2, "bd", 30}, {kFavouritesList, 0, "Películas Favoritas", 160},
                      {kFavouritesList, 1, "Indice", 0}, {kFavouritesList, 2, "bd", 29}};
  for (const Col& c : cols) {
    QTreeView* l = app().List(c.list);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(GuiListModel(c.list)->columnCount(), 3);
    EXPECT_EQ(TextToQString(ListCellText(c.list, -1, c.column)), Q(c.title));
    // A person sees the column that wide; one of width 0 has no header section at all.
    const int section = GuiListSection(c.list, c.column);
    EXPECT_EQ(section < 0 ? 0 : l->header()->sectionSize(section), c.width)
        << c.list << "/" << c.column;
  }
  for (int g : {kTitlesList, kFavouritesList}) {
    QTreeView* l = app().List(g);
    EXPECT_FALSE(l->header()->isHidden());
    EXPECT_EQ(l->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(l->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(l->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(l->isSortingEnabled());
    // A selection seen without the focus looks as with it.
    EXPECT_EQ(l->palette().color(QPalette::Inactive, QPalette::Highlight),
              l->palette().color(QPalette::Active, QPalette::Highlight));
  }
}

TEST_F(MainWindow, AScreenReaderHearsWhatEachGadgetIs) {
  const struct {
    int gadget;
    const char* name;
  } names[] = {
      {kSearchField, "Pelicula a Buscar..."}, {kTitleField, "TÍTULO"},
      {kGenreField, "GÉNERO"},                {kNationalityField, "NACIONALIDAD"},
      {kDirectorField, "DIRECTOR"},           {kMoralRatingField, "Calificación Moral"},
      {kRatingField, "PUNTUACIÓN"},           {kActorsField, "ACTORES"},
      {kSynopsisText, "SINOPSIS"},            {kPrintButton, "Imprimir la ficha"},
      {kExitButton, "Salir"},                 {kCoverBox, "Portada"},
      {kTitlesList, "TITULOS ENCONTRADOS"},   {kFavouritesList, "Películas Favoritas"},
      {kSearchButton, "Buscar"},              {kImdbOption, "Usar IMDB"},
  };
  for (const auto& n : names) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(app().Widget(n.gadget));
    ASSERT_NE(a, nullptr) << n.name;
    EXPECT_EQ(a->text(QAccessible::Name), Q(n.name)) << n.gadget;
  }
  auto reader = [&](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
  // The synopsis is named by its frame, and its text is read as its description.
  GadgetSetText(kSynopsisText, "Una niña ve Frankenstein."_t);
  EXPECT_EQ(reader(app().Widget(kSynopsisText))->text(QAccessible::Description),
            Q("Una niña ve Frankenstein."));
  // The source options are radio buttons, the chosen one checked.
  for (int g : {kCulturaliaOption, kImdbOption}) {
    EXPECT_EQ(reader(app().Widget(g))->role(), QAccessible::RadioButton) << g;
    EXPECT_EQ(reader(app().Widget(g))->state().checked, g == kCulturaliaOption) << g;
  }
  // The main window is a window.
  EXPECT_EQ(reader(app().Window(kMainWindow))->role(), QAccessible::Window);
  // A list shows a screen reader its title and source letter; its zero-width id column is not
  // there for the reader, as it is not for the eye: not as a header, a cell or a column.
  ListAddRow(kTitlesList, -1, "Alien\n1187\nC"_t);
  ListSelectRow(kTitlesList, 0, true);
  app().Pump();
  QAccessibleInterface* list = reader(app().Widget(kTitlesList));
  QAccessibleTableInterface* table = list->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->columnCount(), 2);
  EXPECT_EQ(table->columnDescription(1).toStdString(), "bd");
  QStringList children;
  for (int i = 0; i < list->childCount(); ++i) {
    children << list->child(i)->text(QAccessible::Name);
    EXPECT_EQ(list->indexOfChild(list->child(i)), i);
  }
  EXPECT_EQ(children.join('|').toStdString(), "TITULOS ENCONTRADOS|bd|Alien|C");
  EXPECT_EQ(table->cellAt(0, 1)->text(QAccessible::Name).toStdString(), "C");
  QStringList selected;
  for (QAccessibleInterface* cell : table->selectedCells())
    selected << cell->text(QAccessible::Name);
  EXPECT_EQ(selected.join('|').toStdString(), "Alien|C");
  EXPECT_EQ(table->selectedCellCount(), 2);
}

// What a screen reader is told as the keys move through a list: each row reached, as the
// focused and as the selected cell, numbered as the table above numbers it. Qt's views tell
// only while a reader listens through the desktop's bridge (AT-SPI): the runs on a real display
// have one (tests/x11/platform_run.sh); the offscreen platform has none.
TEST_F(MainWindow, AScreenReaderIsToldOfEachRowTheKeysReach) {
  if (!QAccessible::isActive()) GTEST_SKIP() << "no screen reader's bridge on this platform";
  for (const char* row : {"Alien\n1187\nC", "Brazil\n68\nI", "Casablanca\n34\nC"})
    ListAddRow(kTitlesList, -1, Text(row));
  QWidget* main = app().Window(kMainWindow);
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main));
  static QStringList focused, selected;
  focused.clear();
  selected.clear();
  const auto previous = QAccessible::installUpdateHandler([](QAccessibleEvent* e) {
    QStringList* told = e->type() == QAccessible::Focus          ? &focused
                        : e->type() == QAccessible::SelectionAdd ? &selected
                                                                 : nullptr;
    if (told != nullptr && e->child() >= 0)
      *told << e->accessibleInterface()->text(QAccessible::Name);
  });
  QWidget* list = app().Widget(kTitlesList);
  list->setFocus();  // the first row becomes the current one
  ListSelectRow(kTitlesList, 0, true);
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Down);
  QAccessible::installUpdateHandler(previous);
  EXPECT_EQ(focused.join('|').toStdString(), "Alien|Brazil|Casablanca");
  EXPECT_EQ(selected.join('|').toStdString(), "Alien|Brazil|Casablanca");
}

TEST_F(MainWindow, SearchFieldHasTheFocusWithItsTextSelected) {
  auto* field = qobject_cast<QLineEdit*>(app().Widget(kSearchField));
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(GadgetHasFocus(kSearchField));
  EXPECT_FALSE(GadgetHasFocus(kTitlesList));
  EXPECT_EQ(field->selectedText(), "Blade Runner");
  // Typing replaces it.
  QTest::keyClicks(field, "Alien");
  EXPECT_EQ(TextToQString(GadgetGetText(kSearchField)), "Alien");
}

TEST_F(MainWindow, CardFieldsCanBeSelectedAndCopiedButNotTyped) {
  GadgetSetText(kTitleField, "Alien"_t);
  auto* title = qobject_cast<QLineEdit*>(app().Widget(kTitleField));
  ASSERT_NE(title, nullptr);
  EXPECT_FALSE(title->hasFrame());
  title->setFocus();
  QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(title, "xyz");
  EXPECT_EQ(TextToQString(GadgetGetText(kTitleField)), "Alien");
  EXPECT_EQ(title->selectedText(), "Alien");
  QApplication::clipboard()->clear();
  QTest::keyClick(title, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "Alien");

  auto* actors = qobject_cast<QPlainTextEdit*>(app().Widget(kActorsField));
  ASSERT_NE(actors, nullptr);
  EXPECT_TRUE(actors->isReadOnly());
  EXPECT_EQ(actors->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(actors->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(actors->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  GadgetSetText(kActorsField, "Sigourney Weaver\r\nJohn Hurt"_t);
  EXPECT_EQ(actors->toPlainText(), "Sigourney Weaver\nJohn Hurt");
  EXPECT_EQ(GadgetGetText(kActorsField), "Sigourney Weaver\r\nJohn Hurt");
  actors->setFocus();
  QTest::keyClicks(actors, "zz");
  EXPECT_EQ(GadgetGetText(kActorsField), "Sigourney Weaver\r\nJohn Hurt");
}

TEST_F(MainWindow, TabMovesTheFocusOnAndShiftTabBack) {
  QWidget* field = app().Widget(kSearchField);
  QTest::keyClick(field, Qt::Key_Tab);
  QWidget* next = QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                         : app().Window(kMainWindow)->focusWidget();
  EXPECT_FALSE(GadgetHasFocus(kSearchField));
  ASSERT_NE(next, nullptr);
  QTest::keyClick(next, Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_TRUE(GadgetHasFocus(kSearchField));
  // Frames and labels never take it, but for the credit link: walk the whole ring once.
  bool creditReached = false;
  for (int i = 0; i < 40; ++i) {
    QWidget* f = app().Window(kMainWindow)->focusWidget();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(qobject_cast<QGroupBox*>(f), nullptr);
    creditReached = creditReached || f == app().Widget(kCreditLink);
    EXPECT_TRUE(qobject_cast<QLabel*>(f) == nullptr || f == app().Widget(kCreditLink));
    QTest::keyClick(f, Qt::Key_Tab);
  }
  EXPECT_TRUE(creditReached);
}

// What a person sees, with texts on the card and rows in both lists (saved for looking at): the
// print button shows the printer, the exit button the power symbol and the cover box the no-cover
// picture, each drawn pixel for pixel as its file decodes, unscaled.
TEST_F(MainWindow, TheRenderShowsEachPictureOnItsGadget) {
  GadgetSetText(kActorsField,
                "Harrison Ford\r\nRutger Hauer\r\nSean Young\r\nEdward James Olmos, a long line"_t);
  GadgetSetText(kSynopsisText,
                "A blade runner must pursue and terminate four replicants who stole a ship in "
                "space and have returned to Earth to find their creator. <b>Not bold</b>"_t);
  ListAddRow(kTitlesList, -1, "Blade Runner (1982)\n1\nC"_t);
  ListAddRow(kTitlesList, -1, "Blade Runner 2049\n2\nC"_t);
  ListSelectRow(kTitlesList, 0, true);
  ListAddRow(kFavouritesList, -1, "Alien\n123\nI"_t);
  app().Pump();
  const QImage shot =
      app().Window(kMainWindow)->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QDir().mkpath(TEST_OUTPUT_DIR);
  shot.save(QStringLiteral(TEST_OUTPUT_DIR) + "/main_window.png");

  // Each picture as its file decodes, under a number start-up does not use.
  auto picture = [](EmbeddedPicture file) {
    const QImage* decoded = GuiImageOf(ImageFromMemory(50, file.data, file.size));
    return decoded != nullptr ? decoded->convertToFormat(QImage::Format_RGB32) : QImage();
  };
  // A button draws its picture where its style centres it: somewhere inside the button.
  auto shownIn = [&](const QRect& area, const QImage& wanted) {
    for (int y = area.top(); y + wanted.height() <= area.bottom() + 1; ++y)
      for (int x = area.left(); x + wanted.width() <= area.right() + 1; ++x)
        if (shot.copy(x, y, wanted.width(), wanted.height()) == wanted) return true;
    return false;
  };
  EXPECT_TRUE(shownIn(app().Widget(kPrintButton)->geometry(), picture(PrinterIconPicture())));
  EXPECT_TRUE(shownIn(app().Widget(kExitButton)->geometry(), picture(PowerIconPicture())));
  EXPECT_EQ(shot.copy(575, 250, 200, 275), picture(NoCoverPicture()));
}
