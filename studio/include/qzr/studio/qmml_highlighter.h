#pragma once

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <vector>

namespace qzr::studio {

// Colours the parts of a qmml source: header lines, voices, channels, notes with their lengths,
// octaves, loops and macros, and comments (last, so nothing inside one is coloured).
class QmmlHighlighter final : public QSyntaxHighlighter {
public:
    enum class Part { Header, Voice, Channel, Note, Octave, Loop, Macro, Comment };

    explicit QmmlHighlighter(QTextDocument* document);

    // The part the character at `column` (from 0) of `line` is coloured as; nullopt for none.
    static std::optional<Part> PartAt(const QString& line, int column);
    // How a part looks (the classic source's highlighter shares it).
    static QTextCharFormat FormatFor(Part part);

protected:
    void highlightBlock(const QString& text) override;

private:
    struct Rule {
        Part part;
        QRegularExpression pattern;
    };
    static const std::vector<Rule>& Rules();
};

}  // namespace qzr::studio
