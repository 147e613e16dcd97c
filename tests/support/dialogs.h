#pragma once
// Answering the program's own message boxes and file dialogs in a test, as a person would: the
// real MessageAsk and SaveFileDialog run, open their real QMessageBox / QFileDialog, and a timer
// (which fires inside the dialog's own modal event loop) finds the dialog through
// QApplication::activeModalWidget(), writes down what it shows and answers it with real QTest
// clicks and keys.
//
// Usage:
//   DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});   // before the code that asks
//   ShutDown();                                                   // runs MessageAsk
//   ASSERT_EQ(answers.seen().size(), 1u);
//   EXPECT_EQ(answers.seen()[0].caption, "Películas Favoritas");
//
//   DialogAnswers save({DialogAnswers::FileName("copia.jpg")});  // types it, presses Enter
//   DialogAnswers none({});   // expects no dialog: any that opens is recorded and escaped
//
// Steps are used in order, one per dialog that opens. A dialog that opens when no step is left
// is recorded (with `unexpected` set) and closed with Escape, so a wrong test fails instead of
// hanging. The answers stop when the object goes out of scope, so they never leak into a later
// test. Texts are recorded as QString (the dialogs' UTF-16); compare with QString literals or
// use Utf8() on them.
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <string>
#include <vector>

struct DialogSeen {
  enum Kind { MessageBox, FileDialog, OtherDialog } kind = OtherDialog;
  QString caption;             // the window title
  QString text;                // message box: the text; file dialog: the proposed file name
  Qt::TextFormat textFormat = Qt::AutoText;  // message box
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;         // message box: the button texts, mnemonics removed, in order
  QStringList nameFilters;     // file dialog
  QString selectedNameFilter;  // file dialog
  QString directory;           // file dialog: the folder it opened in
  bool confirmsOverwrite = false;  // file dialog: would ask before replacing a file
  bool nativeDialog = false;       // file dialog: a native dialog (tests cannot drive it)
  bool applicationModal = false;
  QStringList otherWindows;    // the titles of the other top-level windows shown with it
  bool unexpected = false;     // no step was left for it
  bool buttonMissing = false;  // the step's button was not in the box (the first was clicked)
};

class DialogAnswers {
 public:
  struct Step {
    enum Action { ClickAnswer, TypeFileName, PressEscape, CloseBox } action = PressEscape;
    int answer = 0;     // ClickAnswer: kAnswerOk, kAnswerCancel, kAnswerYes or kAnswerNo
    QString fileName;   // TypeFileName: typed into the name field (a name or a whole path)
  };
  // Click the button of a message box that gives this MessageAsk answer.
  static Step Button(int answer);
  // Type into a file dialog's name field (replacing the proposed name) and press Enter.
  static Step FileName(const QString& name);
  static Step FileName(const std::string& utf8Name) { return FileName(QString::fromStdString(utf8Name)); }
  // Escape in the dialog (a file dialog: cancel; a box with Cancel: Cancel).
  static Step Escape();
  // The dialog's close box, as the window manager would send it.
  static Step Close();

  explicit DialogAnswers(std::vector<Step> steps);
  ~DialogAnswers();
  DialogAnswers(const DialogAnswers&) = delete;
  DialogAnswers& operator=(const DialogAnswers&) = delete;

  const std::vector<DialogSeen>& seen() const { return seen_; }
  // Every step found its dialog.
  bool allAnswered() const { return next_ >= steps_.size(); }

 private:
  void Try();

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::vector<DialogSeen> seen_;
  QTimer timer_;
  QPointer<QWidget> lastDialog_;  // answered already; it may stay alive a moment longer
  int activationWaits_ = 0;       // ticks spent waiting for a dialog to become active
};

// A QString as UTF-8 bytes, for comparisons with u8 literals in test messages.
std::string Utf8(const QString& s);
