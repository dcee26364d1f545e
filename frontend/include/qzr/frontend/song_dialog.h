#pragma once

#include <QString>
#include <memory>

class QFileDialog;

namespace qzr::frontend {

// "QZR Music Files (*.qzr)", as Qt writes a filter.
QString SongFileFilter();

// An open-file dialog for one existing song file, owned by no window: the toolkit's default
// title, only song files listed, centred on the screen. Qt's own dialog is used on every
// platform, because a native one is placed by the platform and could not be centred.
std::unique_ptr<QFileDialog> MakeSongFileDialog();

// Shows that dialog modally; the chosen path, or the empty text when the user cancels.
QString ChooseSongFile();

}  // namespace qzr::frontend
