#include "tests/support/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "services/gui/gui.h"

namespace {

QMessageBox::StandardButton ButtonOf(int answer) {
  switch (answer) {
    case kAnswerOk: return QMessageBox::Ok;
    case kAnswerCancel: return QMessageBox::Cancel;
    case kAnswerYes: return QMessageBox::Yes;
    case kAnswerNo: return QMessageBox::No;
    default: return QMessageBox::NoButton;
  }
}

QString WithoutMnemonic(QString s) { return s.remove('&'); }

}  // namespace

std::string Utf8(const QString& s) { return s.toStdString(); }

DialogAnswers::Step DialogAnswers::Button(int answer) {
  Step s;
  s.action = Step::ClickAnswer;
  s.answer = answer;
  return s;
}

DialogAnswers::Step DialogAnswers::FileName(const QString& name) {
  Step s;
  s.action = Step::TypeFileName;
  s.fileName = name;
  return s;
}

DialogAnswers::Step DialogAnswers::Escape() { return Step{}; }

DialogAnswers::Step DialogAnswers::Close() {
  Step s;
  s.action = Step::CloseBox;
  return s;
}

DialogAnswers::DialogAnswers(std::vector<Step> steps) : steps_(std::move(steps)) {
  timer_.setInterval(15);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Try(); });
  timer_.start();
}

DialogAnswers::~DialogAnswers() { timer_.stop(); }

void DialogAnswers::Try() {
  QWidget* dialog = QApplication::activeModalWidget();
  if (dialog == nullptr || !dialog->isVisible() || dialog == lastDialog_) return;
  // A person types only into a dialog that has the focus. A file dialog's name field behaves
  // otherwise without it (emptying the field selects the folder, which typing then leaves
  // selected, and the dialog refuses the typed name), so wait a few ticks for the activation.
  if (!dialog->isActiveWindow() && activationWaits_ < 20) {
    ++activationWaits_;
    dialog->activateWindow();
    return;
  }
  activationWaits_ = 0;
  lastDialog_ = dialog;

  DialogSeen seen;
  seen.caption = dialog->windowTitle();
  seen.applicationModal = dialog->windowModality() == Qt::ApplicationModal;
  for (const QWidget* window : QApplication::topLevelWidgets()) {
    if (window != dialog && window->isVisible()) seen.otherWindows << window->windowTitle();
  }
  auto* box = qobject_cast<QMessageBox*>(dialog);
  auto* files = qobject_cast<QFileDialog*>(dialog);
  QLineEdit* nameField = nullptr;
  if (box != nullptr) {
    seen.kind = DialogSeen::MessageBox;
    seen.text = box->text();
    seen.textFormat = box->textFormat();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen.buttons << WithoutMnemonic(b->text());
  } else if (files != nullptr) {
    seen.kind = DialogSeen::FileDialog;
    nameField = files->findChild<QLineEdit*>("fileNameEdit");
    if (nameField != nullptr) seen.text = nameField->text();
    seen.nameFilters = files->nameFilters();
    seen.selectedNameFilter = files->selectedNameFilter();
    seen.directory = files->directory().absolutePath();
    seen.confirmsOverwrite = !files->testOption(QFileDialog::DontConfirmOverwrite);
    seen.nativeDialog = !files->testOption(QFileDialog::DontUseNativeDialog);
  }

  Step step;  // Escape for a dialog nobody expected
  if (next_ < steps_.size()) {
    step = steps_[next_++];
  } else {
    seen.unexpected = true;
  }

  switch (step.action) {
    case Step::ClickAnswer: {
      QAbstractButton* button = box != nullptr ? box->button(ButtonOf(step.answer)) : nullptr;
      if (button == nullptr && box != nullptr && !box->buttons().isEmpty()) {
        seen.buttonMissing = true;
        button = box->buttons().first();
      }
      seen_.push_back(seen);
      if (button != nullptr) {
        QTest::mouseClick(button, Qt::LeftButton);
      } else {
        seen_.back().buttonMissing = true;
        QTest::keyClick(dialog, Qt::Key_Escape);
      }
      break;
    }
    case Step::TypeFileName:
      seen_.push_back(seen);
      if (nameField != nullptr) {
        nameField->setFocus();
        nameField->selectAll();
        QTest::keyClick(nameField, Qt::Key_Backspace);
        QTest::keyClicks(nameField, step.fileName);
        QTest::keyClick(nameField, Qt::Key_Return);
      } else {
        QTest::keyClick(dialog, Qt::Key_Escape);
      }
      break;
    case Step::PressEscape:
      seen_.push_back(seen);
      QTest::keyClick(dialog, Qt::Key_Escape);
      break;
    case Step::CloseBox:
      seen_.push_back(seen);
      dialog->close();
      break;
  }
  // A dialog that ignored the answer (a Yes/No box ignores Escape) must not hang the test.
  if (seen_.back().unexpected && dialog->isVisible()) {
    if (box != nullptr && !box->buttons().isEmpty()) {
      QTest::mouseClick(box->buttons().last(), Qt::LeftButton);
    } else if (auto* d = qobject_cast<QDialog*>(dialog)) {
      d->reject();
    }
  }
}
