#include "qzr/studio/qmml_highlighter.h"

#include <QColor>
#include <QFont>
#include <optional>

namespace qzr::studio {

QmmlHighlighter::QmmlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

// In order: a later rule colours over an earlier one.
const std::vector<QmmlHighlighter::Rule>& QmmlHighlighter::Rules() {
    static const std::vector<Rule> rules{
        {Part::Note, QRegularExpression(R"([a-g][+\-]?(%\d+|\d+)?\.?|[r^&](%\d+|\d+)?\.?)")},
        {Part::Octave, QRegularExpression(R"(o\d|[<>]|l(%\d+|\d+)\.?|k[+\-]?\d+)")},
        {Part::Loop, QRegularExpression(R"(\[|\]\d*|/|\|)")},
        {Part::Macro, QRegularExpression(R"(![A-Za-z_][A-Za-z0-9_]*)")},
        {Part::Voice, QRegularExpression(R"(@\d+|\bpan\s+(LR|L|R|off)\b|\blegato\s+(on|off)\b)")},
        {Part::Channel, QRegularExpression(R"(\bch\d(,\d)*)")},
        {Part::Header, QRegularExpression(R"(^\s*#\w+.*$)")},
        {Part::Comment, QRegularExpression(R"(;.*$)")},
    };
    return rules;
}

QTextCharFormat QmmlHighlighter::FormatFor(Part part) {
    QTextCharFormat format;
    switch (part) {
        case Part::Header:
            format.setForeground(QColor(0x80, 0x40, 0x00));
            break;
        case Part::Voice:
            format.setForeground(QColor(0x00, 0x70, 0x70));
            break;
        case Part::Channel:
            format.setForeground(QColor(0x20, 0x20, 0xA0));
            format.setFontWeight(QFont::Bold);
            break;
        case Part::Note:
            format.setForeground(QColor(0x00, 0x00, 0x00));
            break;
        case Part::Octave:
            format.setForeground(QColor(0x70, 0x00, 0x90));
            break;
        case Part::Loop:
            format.setForeground(QColor(0xA0, 0x00, 0x00));
            break;
        case Part::Macro:
            format.setForeground(QColor(0x00, 0x60, 0x00));
            break;
        case Part::Comment:
            format.setForeground(QColor(0x70, 0x70, 0x70));
            format.setFontItalic(true);
            break;
    }
    return format;
}

std::optional<QmmlHighlighter::Part> QmmlHighlighter::PartAt(const QString& line, int column) {
    std::optional<Part> part;
    for (const Rule& rule : Rules()) {
        auto matches = rule.pattern.globalMatch(line);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            if (match.capturedStart() <= column && column < match.capturedEnd()) part = rule.part;
        }
    }
    return part;
}

void QmmlHighlighter::highlightBlock(const QString& text) {
    for (const Rule& rule : Rules()) {
        auto matches = rule.pattern.globalMatch(text);
        while (matches.hasNext()) {
            const QRegularExpressionMatch match = matches.next();
            setFormat(static_cast<int>(match.capturedStart()),
                      static_cast<int>(match.capturedLength()), FormatFor(rule.part));
        }
    }
}

}  // namespace qzr::studio
