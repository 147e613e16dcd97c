#pragma once
// Answers the next print dialog as a person would, with real keys and clicks: either Escape, or
// "Imprimir a archivo (PDF)" chosen in the printer list, the output file typed into the file
// field and the "Imprimir" button clicked (the dialog speaks the program's Spanish). The answer
// waits (inside the dialog's own event loop) until the dialog is the active modal window; it
// stops waiting when it goes out of scope, so an answer that found no dialog cannot leak into a
// later test. Header-only, for the printing and card tests.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class PrintDialogAnswer {
 public:
  // Escape in the dialog.
  static std::unique_ptr<PrintDialogAnswer> Cancel() {
    return std::unique_ptr<PrintDialogAnswer>(new PrintDialogAnswer(QString(), false));
  }
  // "Imprimir a archivo (PDF)" into the given file (which should not exist yet: the dialog would
  // ask before replacing it).
  static std::unique_ptr<PrintDialogAnswer> PrintToPdf(const QString& file) {
    return std::unique_ptr<PrintDialogAnswer>(new PrintDialogAnswer(file, true));
  }
  // Also types this number into the copies field before printing.
  static std::unique_ptr<PrintDialogAnswer> PrintToPdf(const QString& file, int copies) {
    auto answer = PrintToPdf(file);
    answer->copies_ = copies;
    return answer;
  }

  ~PrintDialogAnswer() { timer_.stop(); }

  bool answered() const { return answered_; }
  // What the dialog showed, for the test's messages.
  QString printerChoices() const { return printerChoices_; }
  // The printer and the number of copies the dialog showed when it opened (-1: no copies field).
  QString printerAtStart() const { return printerAtStart_; }
  int copiesAtStart() const { return copiesAtStart_; }
  // Run when the dialog is found, before it is answered.
  std::function<void()> onOpen;

 private:
  PrintDialogAnswer(QString file, bool print) : file_(std::move(file)), print_(print) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Try(); });
    timer_.start();
  }

  void Try() {
    auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer_.stop();
    answered_ = true;
    if (onOpen) onOpen();
    auto* copies = dialog->findChild<QSpinBox*>("copies");
    copiesAtStart_ = copies != nullptr ? copies->value() : -1;
    if (auto* printers = dialog->findChild<QComboBox*>("printers"))
      printerAtStart_ = printers->currentText();
    if (!print_) {
      QTest::keyClick(dialog, Qt::Key_Escape);
      return;
    }
    if (auto* printers = dialog->findChild<QComboBox*>("printers")) {
      for (int i = 0; i < printers->count(); ++i) printerChoices_ += printers->itemText(i) + ";";
      const int pdf = printers->findText("Imprimir a archivo (PDF)");
      printers->setFocus();
      // Walk the list with the arrow keys to the PDF entry.
      for (int guard = 0; pdf >= 0 && printers->currentIndex() != pdf && guard < 64; ++guard)
        QTest::keyClick(printers, printers->currentIndex() < pdf ? Qt::Key_Down : Qt::Key_Up);
    }
    if (auto* field = dialog->findChild<QLineEdit*>("filename")) {
      field->setFocus();
      QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(field, Qt::Key_Delete);
      QTest::keyClicks(field, file_);
    }
    if (copies != nullptr && copies_ > 0) {
      copies->setFocus();
      QTest::keyClick(copies, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(copies, QString::number(copies_));
    }
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
      if (button->text().remove('&') == "Imprimir") {
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    }
  }

  QTimer timer_;
  QString file_;
  bool print_ = false;
  bool answered_ = false;
  QString printerChoices_;
  QString printerAtStart_;
  int copiesAtStart_ = -1;
  int copies_ = 0;
};
