// A fault of Qt 6.4's item views that the GUI layer works round (FitHeader in
// services/gui/gui_colours.cpp). The test reproduces it on plain Qt widgets and fails once the
// fault is gone; then the layer need not tell a list that its header's style has changed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTreeView>

#include <memory>

#include "services/gui/gui.h"

TEST(QtFaults, AViewKeepsItsHeaderAtTheHeightOfTheHeadersFormerStyle) {
  GuiInit();
  // The styles outlive the view that uses them.
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  const std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
  QStandardItemModel model(1, 2);
  model.setHorizontalHeaderLabels({QStringLiteral("TITULOS ENCONTRADOS"), QStringLiteral("bd")});
  QTreeView view;
  view.setModel(&model);
  view.resize(210, 138);
  view.header()->setStyle(fusion.get());
  view.show();
  QApplication::processEvents();
  const int fusionHeight = view.header()->sizeHint().height();
  view.header()->setStyle(windows.get());
  QApplication::processEvents();
  const int windowsHeight = view.header()->sizeHint().height();
  ASSERT_NE(fusionHeight, windowsHeight);  // two styles whose headers differ
  // The header asks for the new style's height, but the view leaves it at the former one.
  EXPECT_EQ(view.header()->height(), fusionHeight);
}
