#include "qzr/studio/source_editor.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>
#include <algorithm>

namespace qzr::studio {
namespace {

class Margin final : public QWidget {
public:
    explicit Margin(SourceEditor* editor) : QWidget(editor), editor_(editor) {}
    QSize sizeHint() const override { return {editor_->MarginWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { editor_->PaintMargin(event); }

private:
    SourceEditor* editor_;
};

// A column in bytes of the line's UTF-8 text to a position in its characters.
int CharacterIndex(const QString& line, int byteColumn) {
    const QByteArray bytes = line.toUtf8();
    const int within = std::clamp(byteColumn - 1, 0, static_cast<int>(bytes.size()));
    return static_cast<int>(QString::fromUtf8(bytes.left(within)).size());
}

int ByteColumn(const QString& line, int characterIndex) {
    return static_cast<int>(line.left(characterIndex).toUtf8().size()) + 1;
}

}  // namespace

SourceEditor::SourceEditor(QWidget* parent) : QPlainTextEdit(parent), margin_(new Margin(this)) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setAccessibleName("Source");
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this] { setViewportMargins(MarginWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0) {
            margin_->scroll(0, dy);
        } else {
            margin_->update(0, rect.y(), margin_->width(), rect.height());
        }
    });
    setViewportMargins(MarginWidth(), 0, 0, 0);
}

int SourceEditor::MarginWidth() const {
    const int digits = static_cast<int>(std::to_string(std::max(1, blockCount())).size());
    // The digits and room for the mark of a finding.
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * (digits + 2);
}

void SourceEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    margin_->setGeometry(QRect(area.left(), area.top(), MarginWidth(), area.height()));
}

void SourceEditor::PaintMargin(QPaintEvent* event) {
    QPainter painter(margin_);
    painter.fillRect(event->rect(), palette().window());
    QTextBlock block = firstVisibleBlock();
    int top = static_cast<int>(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int lineHeight = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        const int line = block.blockNumber() + 1;
        const auto finding =
            std::find_if(diagnostics_.begin(), diagnostics_.end(), [line](const auto& d) {
                return d.line == line && d.severity == qmml::Severity::Error;
            });
        const bool error = finding != diagnostics_.end();
        const bool warning =
            !error && std::any_of(diagnostics_.begin(), diagnostics_.end(),
                                  [line](const auto& d) { return d.line == line; });
        if (error || warning) {
            painter.setPen(error ? QColor(0xC0, 0x00, 0x00) : QColor(0xC0, 0x80, 0x00));
            painter.drawText(2, top, margin_->width(), lineHeight, Qt::AlignLeft,
                             error ? QStringLiteral("E") : QStringLiteral("W"));
        }
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(0, top, margin_->width() - 4, lineHeight, Qt::AlignRight,
                         QString::number(line));
        block = block.next();
        top += static_cast<int>(blockBoundingRect(block).height());
    }
}

void SourceEditor::SetDiagnostics(std::vector<qmml::Diagnostic> diagnostics) {
    diagnostics_ = std::move(diagnostics);
    Refresh();
    margin_->update();
}

void SourceEditor::SetPlaying(std::vector<SourcePlace> places) {
    if (places == playing_) return;
    playing_ = std::move(places);
    Refresh();
}

SourcePlace SourceEditor::CursorPlace() const { return PlaceAt(textCursor().position()); }

std::pair<SourcePlace, SourcePlace> SourceEditor::SelectionPlaces() const {
    const QTextCursor cursor = textCursor();
    // The end is just past the last character selected.
    const int last = cursor.hasSelection() ? cursor.selectionEnd() - 1 : cursor.position();
    return {PlaceAt(cursor.selectionStart()), PlaceAt(std::max(cursor.selectionStart(), last))};
}

SourcePlace SourceEditor::PlaceAt(int position) const {
    const QTextBlock block = document()->findBlock(position);
    return {block.blockNumber() + 1, ByteColumn(block.text(), position - block.position())};
}

void SourceEditor::MoveCursorTo(SourcePlace place) {
    const QTextBlock block = document()->findBlockByNumber(place.line - 1);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + CharacterIndex(block.text(), place.column));
    setTextCursor(cursor);
}

QTextEdit::ExtraSelection SourceEditor::Marked(SourcePlace place,
                                               const QTextCharFormat& format) const {
    QTextEdit::ExtraSelection selection;
    selection.format = format;
    const QTextBlock block = document()->findBlockByNumber(std::max(0, place.line - 1));
    QTextCursor cursor(block);
    const QString text = block.text();
    int start = place.column > 0 ? CharacterIndex(text, place.column) : 0;
    int end = start;
    while (end < text.size() && !text.at(end).isSpace()) ++end;
    if (place.column <= 0) end = static_cast<int>(text.size());  // a finding of the whole line
    if (end == start && end < text.size()) ++end;
    cursor.setPosition(block.position() + start);
    cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
    selection.cursor = cursor;
    return selection;
}

void SourceEditor::Refresh() {
    QList<QTextEdit::ExtraSelection> selections;
    QTextCharFormat playingFormat;
    playingFormat.setBackground(QColor(0xFF, 0xE8, 0x80));
    for (const SourcePlace& place : playing_) selections.append(Marked(place, playingFormat));
    for (const qmml::Diagnostic& d : diagnostics_) {
        if (d.line <= 0) continue;
        QTextCharFormat format;
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        format.setUnderlineColor(d.severity == qmml::Severity::Error ? QColor(0xC0, 0x00, 0x00)
                                                                     : QColor(0xC0, 0x80, 0x00));
        format.setToolTip(QString::fromStdString(d.message));
        selections.append(Marked({d.line, d.column}, format));
    }
    setExtraSelections(selections);
}

}  // namespace qzr::studio
