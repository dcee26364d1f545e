#include "qzr/frontend/song_path.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace qzr::frontend {
namespace {

// The first bytes of a path, cut back to a character boundary so the message never shows half of
// a multi-byte character.
QString ShownPrefix(const QByteArray& encoded) {
    qsizetype cut = std::min(static_cast<qsizetype>(kShownPrefixBytes), encoded.size());
    while (cut > 0 && cut < encoded.size() &&
           (static_cast<unsigned char>(encoded[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return QFile::decodeName(encoded.left(cut));
}

bool OpensForReading(const QString& path, const QByteArray& encoded) {
    // The player reads the path only up to a zero byte, which would name another file.
    if (encoded.contains('\0')) return false;
    if (QFileInfo(path).isDir()) return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

}  // namespace

QByteArray EncodedPath(const QString& path) { return QFile::encodeName(path); }

std::optional<QString> RefusalFor(const QString& path) {
    const QByteArray encoded = EncodedPath(path);
    if (static_cast<std::size_t>(encoded.size()) > kMaxPathBytes) {
        return QString::fromStdString(TooLongPathMessage(ShownPrefix(encoded).toStdString()));
    }
    if (!OpensForReading(path, encoded)) {
        return QString::fromStdString(CannotOpenMessage(path.toStdString()));
    }
    return std::nullopt;
}

}  // namespace qzr::frontend
