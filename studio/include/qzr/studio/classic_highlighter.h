#pragma once

#include <QSyntaxHighlighter>
#include <optional>

#include "qzr/format/song_kind.h"
#include "qzr/studio/qmml_highlighter.h"

namespace qzr::studio {

// Colours a classic source with the qmml source's colours: the header's title, speed and row
// count, its pans and voice paths, then each body line by the keyword the compiler reads in it
// (channels, notes and rests, octaves and lengths, legato). A line the compiler skips stays
// plain; `qzr check`'s findings mark it.
class ClassicHighlighter final : public QSyntaxHighlighter {
public:
    using Part = QmmlHighlighter::Part;

    ClassicHighlighter(QTextDocument* document, SongKind kind);

    // The part line `line` (from 0) is coloured as, by its text; nullopt for none.
    static std::optional<Part> PartOf(SongKind kind, int line, const QString& text);

protected:
    void highlightBlock(const QString& text) override;

private:
    SongKind kind_;
};

}  // namespace qzr::studio
