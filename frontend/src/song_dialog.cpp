#include "qzr/frontend/song_dialog.h"

#include <QFileDialog>
#include <QStringList>

#include "qzr/frontend/centring.h"
#include "qzr/frontend/window_model.h"

namespace qzr::frontend {

QString SongFileFilter() {
    return QString::fromLatin1(kSongFilesDescription) + QStringLiteral(" (") +
           QString::fromLatin1(kSongFilesPattern) + QStringLiteral(")");
}

std::unique_ptr<QFileDialog> MakeSongFileDialog() {
    // An empty caption leaves the toolkit's default title in place.
    auto dialog = std::make_unique<QFileDialog>(nullptr, QString(), QString(), SongFileFilter());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    // Placed now, the dialog counts as moved by us, so showing it keeps our position; placed
    // again once shown, it is centred with the frame the platform has added by then.
    CentreOnScreen(*dialog);
    CentreOnScreenWhenShown(*dialog);
    return dialog;
}

QString ChooseSongFile() {
    const auto dialog = MakeSongFileDialog();
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace qzr::frontend
