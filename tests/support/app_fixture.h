#pragma once
// The whole program started for a test, on its real main window, without the blocking loop.
//
// AppSession (RAII) makes a fresh temporary directory, changes into it, lets the test put files
// there (`prepare`, e.g. a favoritos.ini), puts the program-wide variables back to their start
// and runs StartUp() (everything before the event loop). The test then acts on the real widgets
// with QTest (Click, TypeInto, PressKey) and runs the loop body on what was queued (RunQueued:
// EventPoll + HandleEvent until nothing is pending or quitRequested is set). ShutDown() runs
// the program's own shutdown once (answer its question first with DialogAnswers, dialogs.h);
// the destructor runs it if the test did not (asking nothing), changes back and removes the
// directory.
//
//   TEST_F(AppFixture, ExitButtonEnds) {
//     app().Click(kExitButton);
//     app().RunQueued();
//     EXPECT_EQ(program.quitRequested, 1);
//   }
//
// AppFixture is a gtest fixture holding one AppSession (made in SetUp, ended in TearDown);
// override Prepare() to write files before start-up.
#include <gtest/gtest.h>

#include <QPoint>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "services/gui/gui.h"

class QTreeView;

class AppSession {
 public:
  explicit AppSession(std::function<void(const std::filesystem::path&)> prepare = {});
  ~AppSession();
  AppSession(const AppSession&) = delete;
  AppSession& operator=(const AppSession&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  // Writes a file (raw bytes) into the session's directory.
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;  // empty when missing
  bool FileExists(const std::string& name) const;

  // Lets Qt process what is pending without taking any Event.
  void Pump();
  // The loop body without blocking: takes queued events (EventPoll) and handles each
  // (HandleEvent) until none is left or quitRequested is set. Answers how many were handled.
  int RunQueued();
  // Takes and discards every queued event, handling none.
  void DiscardQueued();

  // The real widgets (null when the gadget does not exist).
  QWidget* Widget(int gadget) const;
  QTreeView* List(int gadget) const;
  // Where a list's row stands in its view's viewport; empty for no such row.
  QRect RowRect(int list, int row) const;
  QWidget* Window(int window) const;
  // Renders the main window to the PNG <name> in the test output folder (a name may start with
  // a folder of it), for a person to look at.
  void SaveShot(const std::string& name);

  // Real input. Click: left button at the gadget's centre (or at `at`, in its own pixels;
  // a list's rows are in its viewport, so `at` is taken in the viewport for lists).
  void Click(int gadget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint(-1, -1));
  void DoubleClick(int gadget, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint(-1, -1));
  // Clicks the middle of a list row (row index in display order).
  void ClickRow(int list, int row, Qt::MouseButton button = Qt::LeftButton);
  // Focuses the gadget, selects its text and types the UTF-8 text in its place.
  void TypeInto(int gadget, const QString& text);
  void PressKey(int gadget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

  // Runs the program's shutdown once; later calls (and the destructor) do nothing more. False,
  // with the program still running, when a Yes to saving the favourites could not be saved.
  bool ShutDown();
  bool shutDown() const { return shutDown_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
  bool shutDown_ = false;
};

class AppFixture : public ::testing::Test {
 protected:
  virtual void Prepare(const std::filesystem::path& /*dir*/) {}
  void SetUp() override;
  void TearDown() override;
  AppSession& app() { return *session_; }

 private:
  std::unique_ptr<AppSession> session_;
};
