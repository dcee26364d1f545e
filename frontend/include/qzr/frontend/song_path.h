#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "qzr/frontend/window_model.h"

namespace qzr::frontend {

// The path as the player's file functions take it: the file system's own bytes.
QByteArray EncodedPath(const QString& path);

// The message that tells the user why a chosen (non-empty) path is not played, or nothing when
// the player may be given it: the path must fit the buffer, and the file must open for reading,
// because the player library cannot report a file it fails to open to a window.
std::optional<QString> RefusalFor(const QString& path);

}  // namespace qzr::frontend
