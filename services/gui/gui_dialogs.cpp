// The GUI layer's dialogs: the message box, the save-file dialog and opening an address with
// the desktop's program for it.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>

#include "services/gui/gui_internal.h"
#include "services/text/qt_text.h"

namespace {

// The program's foreground window, which owns a dialog; none when no window is shown.
QWidget* Owner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  const auto windows = static_cast<int>(gui::state().windows.size());
  for (int number = 0; number < windows; ++number) {
    QWidget* w = GuiWindowClient(number);
    if (w != nullptr && w->isVisible() && gui::WindowTakesInput(number)) return w;
  }
  return nullptr;
}

// The longest path a file dialog hands back.
constexpr int kMaxPath = 260;

// The answer of a box closed without a button: Cancel where it has one, OK for an OK box, No
// for a Yes/No question.
int ClosedAnswer(int buttonsAndIcon) {
  if ((buttonsAndIcon & 0x0F) == 4) return kAnswerNo;
  if ((buttonsAndIcon & 0x0F) == 0) return kAnswerOk;
  return kAnswerCancel;
}

// Once the desktop has ended the session (SessionWatch) nobody may be there to answer: a dialog
// is not shown then, and gives the answer of its close box.
bool SessionEnding() { return gui::state().sessionEnding; }

}  // namespace

void gui::LoadToolkitSpanish() {
  // The program speaks Spanish on every desktop, so the toolkit's texts follow it rather than
  // the locale. Without the translations installed the dialogs stay in the toolkit's English.
  static QTranslator* spanish = nullptr;
  if (spanish != nullptr) return;
  spanish = new QTranslator;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (spanish->load(QStringLiteral("qtbase_es"), folder))
    QCoreApplication::installTranslator(spanish);
}

int MessageAsk(const Text& caption, const Text& text, int buttonsAndIcon) {
  if (SessionEnding()) return ClosedAnswer(buttonsAndIcon);
  QMessageBox box(Owner());
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);  // a page's markup is shown as its characters
  box.setWindowTitle(TextToQString(caption));
  QString shown = TextToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(shown);
  switch (buttonsAndIcon & 0xF0) {
    case 0x10: box.setIcon(QMessageBox::Critical); break;
    case 0x20: box.setIcon(QMessageBox::Question); break;
    case 0x30: box.setIcon(QMessageBox::Warning); break;
    case 0x40: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  // The buttons speak the program's language.
  auto add = [&box](QMessageBox::StandardButton b, const char* utf8) {
    box.addButton(b)->setText(QString::fromUtf8(utf8));
  };
  switch (buttonsAndIcon & 0x0F) {
    case 1:
      add(QMessageBox::Ok, "Aceptar");
      add(QMessageBox::Cancel, "Cancelar");
      break;
    case 3:
      add(QMessageBox::Yes, "Sí");
      add(QMessageBox::No, "No");
      add(QMessageBox::Cancel, "Cancelar");
      break;
    case 4:
      add(QMessageBox::Yes, "Sí");
      add(QMessageBox::No, "No");
      break;
    default: add(QMessageBox::Ok, "Aceptar"); break;
  }
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  switch (clicked != nullptr ? box.standardButton(clicked) : QMessageBox::NoButton) {
    case QMessageBox::Ok: return kAnswerOk;
    case QMessageBox::Yes: return kAnswerYes;
    case QMessageBox::No: return kAnswerNo;
    case QMessageBox::Cancel: return kAnswerCancel;
    default: return ClosedAnswer(buttonsAndIcon);
  }
}

Text SaveFileDialog(const Text& title, const Text& proposedName, const Text& patterns,
                    int initialIndex) {
  if (SessionEnding()) return {};
  QFileDialog dialog(Owner(), TextToQString(title));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);

  // "Description|pattern|...": Qt wants "Description (pattern pattern)". A description that
  // already ends in its patterns, "jpg (*.jpg)", is a filter by itself, also when no pattern
  // follows it (the program's "jpg (*.jpg)|Todos (*.*)|*.*" offers two filters, not one).
  const QStringList parts = TextToQString(patterns).split(QChar('|'));
  const auto isPattern = [](const QString& s) {
    return !s.isEmpty() && !s.contains(QChar('(')) && !s.contains(QChar(' ')) &&
           (s.contains(QChar('*')) || s.contains(QChar('?')));
  };
  const auto carriesPattern = [](const QString& s) {
    return s.endsWith(QChar(')')) && s.contains(QChar('('));
  };
  QStringList filters;
  for (int i = 0; i < parts.size();) {
    const QString description = parts[i].trimmed();
    const QString next = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
    if (isPattern(next)) {
      QString pattern = next;
      pattern.replace(QChar(';'), QChar(' '));
      filters << (carriesPattern(description) ? description
                                              : QStringLiteral("%1 (%2)").arg(description, pattern));
      i += 2;
    } else {
      if (carriesPattern(description)) filters << description;
      i += 1;
    }
  }
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (initialIndex >= 0 && initialIndex < filters.size()) dialog.selectNameFilter(filters[initialIndex]);
  }

  const QFileInfo proposed(QString::fromStdString(TextToUtf8(proposedName)));
  const QString proposedText = QString::fromStdString(TextToUtf8(proposedName));
  if (proposedText.contains(QChar('/')) || proposedText.contains(QChar('\\'))) {
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
  } else {
    dialog.setDirectory(QDir::currentPath());
    dialog.selectFile(proposedText);
  }

  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return {};
  const QString path = QDir::toNativeSeparators(chosen.first());
  if (path.size() > kMaxPath) return {};  // too long for the program's paths: as cancelled
  return TextFromUtf8(path.toStdString());
}

void OpenWithShell(const Text& address) {
  if (address.empty()) return;
  QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(TextToUtf8(address)),
                                                QDir::currentPath()));
}
