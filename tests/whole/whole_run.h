#pragma once
// A person's actions on the whole program started by AppSession, as the fault and soak tests
// use them: choosing a source, typing a title and pressing Enter, clicking a hit, pressing a
// button; each runs the commands the event loop gets from it to their end.
#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <string>

#include "program/gadgets.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "tests/support/app_fixture.h"

namespace whole {

inline void SearchFor(AppSession& app, int sourceOption, const QString& title) {
  app.Click(sourceOption);
  app.RunQueued();
  app.TypeInto(kSearchField, title);
  app.PressKey(kSearchField, Qt::Key_Return);
  app.RunQueued();
}

inline void ClickHit(AppSession& app, int row) {
  app.ClickRow(kTitlesList, row);
  app.RunQueued();
}

inline void Press(AppSession& app, int button) {
  app.Click(button);
  app.RunQueued();
}

// The program is idle again: the busy window gone and the main window taking input.
inline bool Idle(AppSession& app) {
  const QWidget* busy = app.Window(kBusyWindow);
  const QWidget* main = app.Window(kMainWindow);
  return (busy == nullptr || !busy->isVisible()) && main != nullptr && GuiWindowEnabled(kMainWindow);
}

}  // namespace whole
