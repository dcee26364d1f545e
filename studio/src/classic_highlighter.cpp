#include "qzr/studio/classic_highlighter.h"

#include <QTextBlock>

#include "qzr/compiler/keyword_table.h"
#include "qzr/studio/classic_source.h"

namespace qzr::studio {

ClassicHighlighter::ClassicHighlighter(QTextDocument* document, SongKind kind)
    : QSyntaxHighlighter(document), kind_(kind) {}

std::optional<ClassicHighlighter::Part> ClassicHighlighter::PartOf(SongKind kind, int line,
                                                                   const QString& text) {
    if (line < 3) return Part::Header;
    if (line < ClassicHeaderLines(kind)) return Part::Voice;
    const QByteArray bytes = text.toUtf8();
    const Keyword* keyword =
        KeywordsFor(TargetFor(kind)).Find(std::string_view(bytes.constData(), bytes.size()));
    if (keyword == nullptr) {
        // The compiler also reads "l%N" as a default length.
        if (text.startsWith("l%")) return Part::Octave;
        return std::nullopt;
    }
    switch (keyword->kind) {
        case KeywordKind::Channel:
            return Part::Channel;
        case KeywordKind::LegatoOn:
        case KeywordKind::LegatoOff:
            return Part::Voice;
        case KeywordKind::DefaultLength:
        case KeywordKind::Octave:
        case KeywordKind::OctaveUp:
        case KeywordKind::OctaveDown:
            return Part::Octave;
        case KeywordKind::Rest:
        case KeywordKind::Note:
            return Part::Note;
    }
    return std::nullopt;
}

void ClassicHighlighter::highlightBlock(const QString& text) {
    if (const auto part = PartOf(kind_, currentBlock().blockNumber(), text)) {
        setFormat(0, static_cast<int>(text.size()), QmmlHighlighter::FormatFor(*part));
    }
}

}  // namespace qzr::studio
