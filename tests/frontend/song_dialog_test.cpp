// The open-file dialog the window shows for a play button.
#include "qzr/frontend/song_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>
#include <functional>
#include <string>

#include "qzr/frontend/centring.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::frontend {
namespace {

TEST(SongFileDialog, ListsSongFilesUnderTheDefaultTitleWithoutAnOwner) {
    const auto dialog = MakeSongFileDialog();
    const QFileDialog untouched;

    EXPECT_EQ(dialog->nameFilters(), QStringList{"QZR Music Files (*.qzr)"});
    EXPECT_EQ(dialog->windowTitle(), untouched.windowTitle());
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
}

// Answers the modal dialog that ChooseSongFile shows, once the event loop runs it.
void AnswerDialog(std::function<void(QFileDialog&)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

TEST(ChooseSongFile, CentredDialogGivesTheChosenPathOrNothingWhenCancelled) {
    const qzr::test::TempDir dir;
    const std::string song = (dir / "pick.qzr").string();
    qzr::test::WriteText(song, "rows");

    QPoint shownAt;
    QPoint centre;
    AnswerDialog([&](QFileDialog& dialog) {
        const QRect frame = dialog.frameGeometry();
        shownAt = frame.topLeft();
        centre = CentredTopLeft(dialog.screen()->geometry(), frame.size());
        dialog.selectFile(QString::fromStdString(song));
        static_cast<QDialog&>(dialog).accept();  // accept() is protected in QFileDialog
    });
    EXPECT_EQ(ChooseSongFile().toStdString(), song);
    EXPECT_EQ(shownAt, centre) << "the dialog is centred on the screen, frame included";

    AnswerDialog([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(ChooseSongFile(), QString());
}

}  // namespace
}  // namespace qzr::frontend
