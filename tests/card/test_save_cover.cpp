// SaveCover with the real save dialog and message boxes answered as a person would: the dialog
// it shows, the name it makes of the answer, the copy byte for byte, the notice, and the error
// box when the copy fails.
#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "card/card.h"
#include "services/gui/gui.h"
#include "tests/sources/test_film_support.h"
#include "tests/support/dialogs.h"

namespace fs = std::filesystem;

// Dialog texts in failure messages as text, not as UTF-16 code units (found by the printer
// through the argument's namespace, so it stays outside the unnamed one).
static void PrintTo(const QString& s, std::ostream* out) { *out << '"' << s.toStdString() << '"'; }

namespace {

// A cover with every byte value in it, the zero byte and CR LF included.
std::string CoverBytes() {
  std::string bytes = "\xff\xd8\xff\xe0";
  for (int round = 0; round < 64; ++round)
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>((b * 7 + round) & 0xFF);
  bytes += "\r\n\0\r\xff\xd9";
  return bytes;
}

class SaveCoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramVariables();
    program.lineBreak = "\r\n";
    WindowOpen(kMainWindow, 0, 0, 785, 590, "Cinevarta", 0);
    filmtest::WriteBytes(kCoverFile, CoverBytes());
  }
  void TearDown() override { WindowClose(kMainWindow); }

  // Runs SaveCover with these answers; the dialogs it showed.
  std::vector<DialogSeen> Save(std::vector<DialogAnswers::Step> steps) {
    DialogAnswers answers(std::move(steps));
    SaveCover();
    EXPECT_TRUE(answers.allAnswered());
    for (const DialogSeen& s : answers.seen()) EXPECT_FALSE(s.unexpected) << Utf8(s.caption);
    return answers.seen();
  }
  // The name typed in the dialog, saved; answers the notice. Answers the path the notice named.
  QString SaveAs(const QString& typed) {
    const std::vector<DialogSeen> seen =
        Save({DialogAnswers::FileName(typed), DialogAnswers::Button(kAnswerOk)});
    EXPECT_EQ(seen.size(), 2u);
    if (seen.size() < 2) return {};
    EXPECT_EQ(seen[1].caption, QString("Información"));
    EXPECT_EQ(seen[1].icon, QMessageBox::Information);
    EXPECT_EQ(seen[1].buttons, QStringList{"Aceptar"});
    const QStringList lines = seen[1].text.split('\n');
    EXPECT_EQ(lines.size(), 3);
    if (lines.size() != 3) return {};
    EXPECT_EQ(lines[0], QString("La portada se guardó en"));
    EXPECT_EQ(lines[1], QString());
    return lines[2];
  }
  QString Here(const std::string& name) const {
    return QDir::toNativeSeparators(QString::fromStdString((dir_.path() / name).string()));
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  filmtest::ScratchDirectory dir_;
};

}  // namespace

TEST_F(SaveCoverTest, TheDialogAsksForANameAndTheCoverIsCopiedByteForByte) {
  const std::vector<DialogSeen> seen =
      Save({DialogAnswers::FileName(QString("copia")), DialogAnswers::Button(kAnswerOk)});
  ASSERT_EQ(seen.size(), 2u);
  const DialogSeen& dialog = seen[0];
  EXPECT_EQ(dialog.kind, DialogSeen::FileDialog);
  EXPECT_EQ(dialog.caption, QString("Elige nombre de archivo a grabar"));
  EXPECT_EQ(dialog.text, QString("Portada.jpg"));
  EXPECT_EQ(dialog.nameFilters, (QStringList{"jpg (*.jpg)", "Todos (*.*)"}));
  EXPECT_EQ(dialog.selectedNameFilter, QString("jpg (*.jpg)"));
  EXPECT_FALSE(dialog.confirmsOverwrite);
  EXPECT_FALSE(dialog.nativeDialog);
  EXPECT_TRUE(dialog.applicationModal);

  EXPECT_EQ(seen[1].caption, QString("Información"));
  EXPECT_EQ(seen[1].text, "La portada se guardó en\n\n" + Here("copia.jpg"));
  EXPECT_EQ(filmtest::ReadBytes("copia.jpg"), CoverBytes());
  EXPECT_EQ(filmtest::ReadBytes(kCoverFile), CoverBytes());  // the cover stays
  EXPECT_EQ(Files(), (std::vector<std::string>{"copia.jpg", "portada.jpg"}));
}

TEST_F(SaveCoverTest, JpgIsAppendedUnlessTheNameEndsInExactlyJpg) {
  struct Case {
    const char* typed;
    const char* saved;
  };
  const Case cases[] = {{"sin_extension", "sin_extension.jpg"},
                        {"con.jpg", "con.jpg"},
                        {"mayusculas.JPG", "mayusculas.JPG.jpg"},
                        {"larga.jpeg", "larga.jpeg.jpg"},
                        {"casi.jp", "casi.jp.jpg"},
                        {"x.jpgx", "x.jpgx.jpg"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(SaveAs(QString(c.typed)), Here(c.saved));
    EXPECT_EQ(filmtest::ReadBytes(dir_.path() / c.saved), CoverBytes());
    if (std::string(c.typed) != c.saved) {
      EXPECT_FALSE(fs::exists(dir_.path() / c.typed));
    }
  }
}

TEST_F(SaveCoverTest, SpacesAroundTheNameAreTrimmedBeforeTheExtensionTest) {
  // "foto.jpg  " ends in ".jpg" once trimmed; "otra  " gets ".jpg" after its last letter.
  EXPECT_EQ(SaveAs("foto.jpg  "), Here("foto.jpg"));
  EXPECT_EQ(SaveAs("otra  "), Here("otra.jpg"));
  EXPECT_EQ(filmtest::ReadBytes("foto.jpg"), CoverBytes());
  EXPECT_EQ(filmtest::ReadBytes("otra.jpg"), CoverBytes());
  EXPECT_EQ(Files(), (std::vector<std::string>{"foto.jpg", "otra.jpg", "portada.jpg"}));
}

TEST_F(SaveCoverTest, AnExistingFileIsReplacedWithoutAQuestion) {
  filmtest::WriteBytes("vieja.jpg", std::string(100000, 'v'));  // longer than the cover
  EXPECT_EQ(SaveAs("vieja.jpg"), Here("vieja.jpg"));  // only the dialog and the notice
  EXPECT_EQ(filmtest::ReadBytes("vieja.jpg"), CoverBytes());
  // Typing the existing name without its extension reaches the same file.
  filmtest::WriteBytes("vieja.jpg", "x");
  EXPECT_EQ(SaveAs("vieja"), Here("vieja.jpg"));
  EXPECT_EQ(filmtest::ReadBytes("vieja.jpg"), CoverBytes());
}

TEST_F(SaveCoverTest, CancelDoesNothing) {
  const std::vector<DialogSeen> seen = Save({DialogAnswers::Escape()});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].kind, DialogSeen::FileDialog);
  EXPECT_EQ(Files(), std::vector<std::string>{"portada.jpg"});
}

TEST_F(SaveCoverTest, AFailedCopyIsToldAndNotConfirmed) {
  // A folder under the chosen name, a folder nobody can write in (not even root), and a cover
  // file that has gone.
  fs::create_directory(dir_.path() / "carpeta.jpg");
  struct Case {
    QString typed, named;
    bool removeCover;
  };
  const Case cases[] = {{"carpeta", Here("carpeta.jpg"), false},
                        {"/proc/portada", "/proc/portada.jpg", false},
                        {"sin_portada", Here("sin_portada.jpg"), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    if (c.removeCover) fs::remove(kCoverFile);
    const std::vector<DialogSeen> seen =
        Save({DialogAnswers::FileName(c.typed), DialogAnswers::Button(kAnswerOk)});
    ASSERT_EQ(seen.size(), 2u);  // the dialog and one box: no notice after the error
    EXPECT_EQ(seen[1].caption, QString("Error"));
    EXPECT_EQ(seen[1].text, "No se pudo guardar la portada en\n\n" + c.named);
    EXPECT_EQ(seen[1].icon, QMessageBox::Critical);
    EXPECT_EQ(seen[1].buttons, QStringList{"Aceptar"});
  }
  EXPECT_TRUE(fs::is_directory(dir_.path() / "carpeta.jpg"));
  EXPECT_FALSE(fs::exists("/proc/portada.jpg"));
  EXPECT_FALSE(fs::exists(dir_.path() / "sin_portada.jpg"));
}
