#pragma once

#include <QPlainTextEdit>
#include <utility>
#include <vector>

#include "qzr/compiler/qmml_diagnostic.h"
#include "qzr/studio/event_map.h"

namespace qzr::studio {

// The source text with line numbers in a margin, where a line with an error or a warning is
// marked; each finding is also underlined where it stands, and the tokens playing are shown
// with a background.
class SourceEditor final : public QPlainTextEdit {
public:
    explicit SourceEditor(QWidget* parent = nullptr);

    void SetDiagnostics(std::vector<qmml::Diagnostic> diagnostics);
    const std::vector<qmml::Diagnostic>& Diagnostics() const { return diagnostics_; }
    void SetPlaying(std::vector<SourcePlace> places);
    const std::vector<SourcePlace>& Playing() const { return playing_; }

    // The cursor as a source place (line and byte column from 1).
    SourcePlace CursorPlace() const;
    // The selection's first and last places (both the cursor's when nothing is selected).
    std::pair<SourcePlace, SourcePlace> SelectionPlaces() const;
    void MoveCursorTo(SourcePlace place);

    int MarginWidth() const;
    void PaintMargin(QPaintEvent* event);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The characters from `place` to the end of its token.
    QTextEdit::ExtraSelection Marked(SourcePlace place, const QTextCharFormat& format) const;
    void Refresh();
    SourcePlace PlaceAt(int position) const;

    QWidget* margin_;
    std::vector<qmml::Diagnostic> diagnostics_;
    std::vector<SourcePlace> playing_;
};

}  // namespace qzr::studio
