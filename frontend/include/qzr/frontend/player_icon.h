#pragma once

#include <QIcon>

namespace qzr::frontend {

// The player's own 32 x 32 icon, drawn in code: two beamed notes over a sine wave.
QIcon MakePlayerIcon();

}  // namespace qzr::frontend
