#include "qzr/studio/studio_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "export_job.h"
#include "qzr/common/file_reading.h"
#include "qzr/common/file_replacement.h"
#include "qzr/compiler/qmml_limits.h"
#include "qzr/format/song_image.h"
#include "qzr/format/ym2151_registers.h"
#include "qzr/studio/classic_highlighter.h"
#include "qzr/studio/classic_source.h"
#include "qzr/studio/qmml_highlighter.h"

namespace qzr::studio {
namespace {

constexpr int kPositionPeriodMs = 33;  // the screen's pace, near enough
// Native samples an oscilloscope is given each time, about 37 ms: half of them are shown.
constexpr std::size_t kScopeSamples = 2048;
constexpr const char* kUntitled = "untitled.opm.qmml";
constexpr const char* kSourceFilter =
    "Song sources (*.qmml *.mml);;qzr MML (*.qmml);;Classic MML (*.mml);;All files (*)";

// A level meter shows the 60 dB below full scale: 0 % is -60 dBFS or less (and silence).
constexpr double kMeterRangeDb = 60;
int MeterPercent(int peak) {
    if (peak <= 0) return 0;
    const double dbfs = 20 * std::log10(static_cast<double>(peak) / 32'768.0);
    return static_cast<int>(std::clamp(100 * (1 + dbfs / kMeterRangeDb), 0.0, 100.0));
}

QString Plural(int count, const char* word) {
    return QString::number(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

StudioWindow::StudioWindow(QWidget* parent)
    : QMainWindow(parent),
      editor_(new SourceEditor),
      tracker_(new TrackerView),
      diagnostics_(new QListWidget),
      status_(new QLabel("Ready")),
      audioLoad_(new QLabel),
      compiler_([this](const qmml::Result& result) { Compiled(result); }) {
    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(tracker_, 1);
    sideLayout->addWidget(BuildChannelStrip());
    auto* top = new QSplitter(Qt::Horizontal);
    top->addWidget(editor_);
    top->addWidget(side);
    top->setStretchFactor(0, 3);
    top->setStretchFactor(1, 2);
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(top);
    splitter->addWidget(diagnostics_);
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    diagnostics_->setAccessibleName("Diagnostics");
    status_->setAccessibleName("Status");
    statusBar()->addWidget(status_, 1);
    audioLoad_->setAccessibleName("Audio load");
    audioLoad_->setToolTip("The share of the sound's time the emulator takes to make it");
    statusBar()->addPermanentWidget(audioLoad_);
    BuildMenus();
    ChooseHighlighter();
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { TextChanged(); });
    connect(diagnostics_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        editor_->MoveCursorTo(
            {item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt()});
        editor_->setFocus();
    });
    position_.setInterval(kPositionPeriodMs);
    connect(&position_, &QTimer::timeout, this, [this] { ShowPosition(); });
    savePrompt_ = [this] {
        const auto answer = QMessageBox::question(
            this, "qzrstudio", "The song has unsaved changes. Save them?",
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        return answer == QMessageBox::Save      ? SaveChoice::Save
               : answer == QMessageBox::Discard ? SaveChoice::Discard
                                                : SaveChoice::Cancel;
    };
    setAcceptDrops(true);
    editor_->viewport()->installEventFilter(this);
    resize(900, 640);
    UpdateTitle();
}

StudioWindow::~StudioWindow() { StopPlaying(); }

void StudioWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open...", QKeySequence::Open, this, [this] { OpenAsked(); });
    recentMenu_ = file->addMenu("Open &recent");
    FillRecentMenu();
    file->addAction("&Save", QKeySequence::Save, this, [this] { SaveAsked(false); });
    file->addAction("Save &As...", QKeySequence::SaveAs, this, [this] { SaveAsked(true); });
    file->addSeparator();
    file->addAction("&Export...", QKeySequence(Qt::CTRL | Qt::Key_E), this,
                    [this] { ExportAsked(false); });
    file->addAction("Export s&tems...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), this,
                    [this] { ExportAsked(true); });
    file->addSeparator();
    file->addAction("&Quit", QKeySequence::Quit, this, [this] { close(); });
    QMenu* play = menuBar()->addMenu("&Play");
    play->addAction("&Play", QKeySequence(Qt::Key_F5), this, [this] { PlayFromStart(); });
    play->addAction("Play from the &cursor", QKeySequence(Qt::Key_F6), this,
                    [this] { PlayFromCursor(); });
    play->addAction("Play from the &bar", QKeySequence(Qt::Key_F7), this,
                    [this] { PlayFromBar(); });
    play->addAction("&Stop", QKeySequence(Qt::Key_F8), this, [this] { StopPlaying(); });
    play->addAction("&Loop the selected bars", QKeySequence(Qt::Key_F9), this,
                    [this] { LoopSelectedBars(); });
}

QWidget* StudioWindow::BuildChannelStrip() {
    auto* strip = new QWidget;
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int c = 0; c < ym2151::kChannelCount; ++c) {
        auto* column = new QVBoxLayout;
        auto* scope = new ChannelScope;
        scope->setAccessibleName(QString("Waveform of channel %1").arg(c + 1));
        auto* meter = new QProgressBar;
        meter->setOrientation(Qt::Vertical);
        meter->setRange(0, 100);
        meter->setTextVisible(false);
        meter->setAccessibleName(QString("Level of channel %1").arg(c + 1));
        meter->setMinimumHeight(48);
        auto* mute = new QToolButton;
        mute->setText(QString("ch%1").arg(c + 1));
        mute->setCheckable(true);
        mute->setAccessibleName(QString("Mute channel %1").arg(c + 1));
        mute->setToolTip(QString("Mute channel %1 (Ctrl+%1; Ctrl+Shift+%1: solo)").arg(c + 1));
        connect(mute, &QToolButton::toggled, this, [this, c](bool on) { SetMuted(c, on); });
        column->addWidget(scope);
        column->addWidget(meter, 1, Qt::AlignHCenter);
        column->addWidget(mute);
        layout->addLayout(column);
        meters_.push_back(meter);
        scopes_.push_back(scope);
        muteButtons_.push_back(mute);
        const Qt::Key digit = static_cast<Qt::Key>(Qt::Key_1 + c);
        auto* muteKey = new QAction(this);
        muteKey->setShortcut(QKeySequence(Qt::CTRL | digit));
        connect(muteKey, &QAction::triggered, this, [this, c] { SetMuted(c, !(muted_ >> c & 1)); });
        auto* soloKey = new QAction(this);
        soloKey->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | digit));
        connect(soloKey, &QAction::triggered, this, [this, c] { Solo(c); });
        addAction(muteKey);
        addAction(soloKey);
    }
    return strip;
}

void StudioWindow::SetMuted(int channel, bool muted) {
    const auto bit = static_cast<std::uint8_t>(1u << channel);
    muted_ = static_cast<std::uint8_t>(muted ? muted_ | bit : muted_ & ~bit);
    ApplyMutes();
}

void StudioWindow::Solo(int channel) {
    const auto alone = static_cast<std::uint8_t>(~(1u << channel));
    muted_ = muted_ == alone ? 0 : alone;
    ApplyMutes();
}

void StudioWindow::ApplyMutes() {
    for (std::size_t c = 0; c < muteButtons_.size(); ++c) {
        const QSignalBlocker quiet(muteButtons_[c]);
        muteButtons_[c]->setChecked((muted_ >> c & 1) != 0);
    }
    if (playback_) playback_->SetMutedChannels(muted_);
}

void StudioWindow::TextChanged() {
    const std::string name = path_.empty() ? kUntitled : path_.filename().string();
    const std::filesystem::path folder =
        path_.empty() ? std::filesystem::current_path() : path_.parent_path();
    compiler_.SourceChanged(editor_->toPlainText().toUtf8(), folder, name);
    UpdateTitle();
}

void StudioWindow::Compiled(const qmml::Result& result) {
    editor_->SetDiagnostics(result.diagnostics);
    diagnostics_->clear();
    for (const qmml::Diagnostic& d : result.diagnostics) {
        const QString where =
            d.line > 0 ? QString("line %1, column %2: ").arg(d.line).arg(d.column) : QString();
        auto* item =
            new QListWidgetItem((d.severity == qmml::Severity::Error ? "error: " : "warning: ") +
                                where + QString::fromStdString(d.message));
        item->setData(Qt::UserRole, d.line);
        item->setData(Qt::UserRole + 1, d.column);
        diagnostics_->addItem(item);
    }
    if (!result.Ok() || !result.kind) {
        SetStatus(Plural(result.errors, "error") + (playing_ ? "; the old song plays on" : ""));
        return;
    }
    const bool changed = !song_ || song_->bytes != result.song;
    song_ = CompiledSong{*result.kind, result.song, result.events, result.classic.rowCount,
                         result.barRows > 0 ? result.barRows : 64};
    if (changed) tracker_->SetSong(SongImage(song_->kind, song_->bytes));
    if (playing_ && changed) {
        int from = 0;
        std::string error;
        if (!playback_->TakeOver(SongImage(song_->kind, song_->bytes), from, error)) {
            SetStatus(QString::fromStdString(error) + "; the old song plays on");
            return;
        }
    }
    if (!playing_) {
        SetStatus(result.warnings > 0 ? "Ready (" + Plural(result.warnings, "warning") + ")"
                                      : QString("Ready"));
    }
}

void StudioWindow::PlayFromStart() { Play(0); }

void StudioWindow::PlayFromCursor() {
    compiler_.CompileNow();
    if (!song_) return Play(0);
    Play(RowAtCursor(song_->events, editor_->CursorPlace()).value_or(0));
}

void StudioWindow::PlayFromBar() {
    compiler_.CompileNow();
    if (!song_) return Play(0);
    Play(BarStart(RowAtCursor(song_->events, editor_->CursorPlace()).value_or(0)));
}

int StudioWindow::BarStart(int row) const {
    return static_cast<int>(row / song_->barRows * song_->barRows);
}

void StudioWindow::LoopSelectedBars() {
    compiler_.CompileNow();
    if (!song_) return Play(0);
    const auto [start, end] = editor_->SelectionPlaces();
    int first = RowAtCursor(song_->events, start).value_or(0);
    int last = RowAtCursor(song_->events, end).value_or(first);
    if (last < first) std::swap(first, last);
    first = BarStart(first);
    const auto past =
        static_cast<int>(std::min<std::int64_t>(BarStart(last) + song_->barRows, song_->rowCount));
    Play(first, tools::LivePlayback::RowLoop{first, past - first});
}

std::optional<tools::LivePlayback::RowLoop> StudioWindow::Loop() const {
    return playing_ ? playback_->Loop() : std::nullopt;
}

void StudioWindow::Play(int row, std::optional<tools::LivePlayback::RowLoop> loop) {
    compiler_.CompileNow();
    if (!song_) {
        SetStatus("Nothing to play: the source does not compile");
        return;
    }
    if (!playback_) playback_ = std::make_unique<tools::LivePlayback>();
    if (!playback_->Start(true)) {
        SetStatus("The emulator cannot start");
        return;
    }
    playback_->SetMutedChannels(muted_);
    std::string error;
    const SongImage song(song_->kind, song_->bytes);
    if (!(loop ? playback_->PlayLoop(song, *loop, row, error)
               : playback_->Play(song, row, error))) {
        SetStatus(QString::fromStdString(error));
        return;
    }
    playing_ = true;
    playedFrom_ = row;
    position_.start();
    ShowPosition();
}

void StudioWindow::StopPlaying() {
    position_.stop();
    if (playback_) playback_->Stop();
    playing_ = false;
    editor_->SetPlaying({});
    for (QProgressBar* meter : meters_) meter->setValue(0);
    for (ChannelScope* scope : scopes_) scope->Show({});
    audioLoad_->clear();
    SetStatus("Stopped");
}

emulator::OutputLoad StudioWindow::AudioLoad() const {
    return playback_ ? playback_->Load() : emulator::OutputLoad{};
}

int StudioWindow::PlayingRow() const { return playing_ ? playback_->Row() : 0; }

void StudioWindow::ShowPosition() {
    if (!playing_ || !song_) return;
    const int row = playback_->Row();
    editor_->SetPlaying(TokensPlayingAt(song_->events, row));
    tracker_->ShowRow(row);
    const auto levels = playback_->TakeChannelLevels();
    for (std::size_t c = 0; c < meters_.size(); ++c) meters_[c]->setValue(MeterPercent(levels[c]));
    ShowScopes();
    const emulator::OutputLoad load = playback_->Load();
    audioLoad_->setText(QString("Audio %1 %").arg(std::lround(100 * load.averageShare)) +
                        (load.lateChunks > 0 ? QString(", %1 late").arg(load.lateChunks) : ""));
    QString looping;
    if (const auto loop = playback_->Loop()) {
        const auto bar = [this](int r) { return r / song_->barRows + 1; };
        const int firstBar = static_cast<int>(bar(loop->first));
        const int lastBar = static_cast<int>(bar(loop->first + loop->count - 1));
        looping = firstBar == lastBar
                      ? QString(", looping bar %1").arg(firstBar)
                      : QString(", looping bars %1 to %2").arg(firstBar).arg(lastBar);
    }
    SetStatus(QString("Playing row %1 of %2").arg(row).arg(song_->rowCount) + looping +
              (playback_->OnSilentClock() ? " (no sound device: on the silent clock)" : ""));
}

void StudioWindow::ShowScopes() {
    scopeSamples_.resize(kScopeSamples);
    const std::size_t copied = playback_->CopyChannelSamples(scopeSamples_);
    std::vector<std::int16_t> channel(copied);
    for (std::size_t c = 0; c < scopes_.size(); ++c) {
        for (std::size_t i = 0; i < copied; ++i) channel[i] = scopeSamples_[i][c];
        scopes_[c]->Show(channel);
    }
}

void StudioWindow::SetStatus(const QString& text) {
    if (status_->text() == text) return;
    status_->setText(text);
    // Read out by a screen reader as it changes.
    status_->setAccessibleDescription(text);
}

void StudioWindow::ChooseHighlighter() {
    const std::optional<SongKind> classic = ClassicKindOf(path_);
    if (highlighter_ != nullptr && classic == highlighted_) return;
    delete highlighter_;
    highlighted_ = classic;
    highlighter_ = classic ? static_cast<QSyntaxHighlighter*>(
                                 new ClassicHighlighter(editor_->document(), *classic))
                           : new QmmlHighlighter(editor_->document());
}

void StudioWindow::UpdateTitle() {
    const QString name =
        path_.empty() ? QString(kUntitled) : QString::fromStdString(path_.filename().string());
    setWindowTitle((editor_->document()->isModified() ? "*" : "") + name + " - qzrstudio");
}

bool StudioWindow::OpenFile(const std::filesystem::path& path, QString& error) {
    // One byte past the most a source may hold, so a larger file is told apart.
    const auto bytes = ReadFileBytes(path, qmml::kMaxSourceBytes + 1);
    if (!bytes) {
        error = "Cannot read " + QString::fromStdString(path.string());
        return false;
    }
    if (bytes->size() > qmml::kMaxSourceBytes) {
        error = QString::fromStdString(path.string()) + " is larger than a source may be";
        return false;
    }
    path_ = path;
    ChooseHighlighter();
    editor_->setPlainText(QString::fromUtf8(reinterpret_cast<const char*>(bytes->data()),
                                            static_cast<qsizetype>(bytes->size())));
    editor_->document()->setModified(false);
    Remember(path);
    UpdateTitle();
    return true;
}

bool StudioWindow::SaveTo(const std::filesystem::path& path, QString& error) {
    const QByteArray text = editor_->toPlainText().toUtf8();
    FileReplacement file(path);
    std::string reason;
    const auto* textBytes = reinterpret_cast<const std::uint8_t*>(text.constData());
    if (!file.Open(reason) ||
        !file.Write(std::span(textBytes, static_cast<std::size_t>(text.size())), reason) ||
        !file.Commit(reason)) {
        error = QString::fromStdString(reason);
        return false;
    }
    const bool renamed = path != path_;
    path_ = path;
    ChooseHighlighter();
    editor_->document()->setModified(false);
    // The voice files are found beside the source: a new folder may change the song.
    if (renamed) TextChanged();
    Remember(path);
    UpdateTitle();
    return true;
}

QStringList StudioWindow::RecentFiles() const {
    return QSettings().value("recentFiles").toStringList();
}

void StudioWindow::Remember(const std::filesystem::path& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    const QString name = QString::fromStdString((ec ? path : absolute).string());
    QStringList files = RecentFiles();
    files.removeAll(name);
    files.prepend(name);
    while (files.size() > kMostRecentFiles) files.removeLast();
    QSettings().setValue("recentFiles", files);
    FillRecentMenu();
}

void StudioWindow::FillRecentMenu() {
    if (recentMenu_ == nullptr) return;
    recentMenu_->clear();
    const QStringList files = RecentFiles();
    for (const QString& file : files) {
        recentMenu_->addAction(file, this, [this, file] {
            if (!SaveIfAsked()) return;
            QString error;
            if (!OpenFile(file.toStdString(), error)) {
                QMessageBox::warning(this, "qzrstudio", error);
            }
        });
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

bool StudioWindow::eventFilter(QObject* watched, QEvent* event) {
    // Files dropped on the editor open, as on the rest of the window; text drops stay the
    // editor's.
    const bool drag = event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove;
    if ((drag || event->type() == QEvent::Drop) &&
        static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
        if (drag) {
            static_cast<QDropEvent*>(event)->acceptProposedAction();
        } else {
            dropEvent(static_cast<QDropEvent*>(event));
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void StudioWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void StudioWindow::dropEvent(QDropEvent* event) {
    if (OpenDropped(*event->mimeData())) event->acceptProposedAction();
}

bool StudioWindow::OpenDropped(const QMimeData& dropped) {
    const QList<QUrl> urls = dropped.urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return false;
    if (!SaveIfAsked()) return true;
    QString error;
    if (!OpenFile(urls.front().toLocalFile().toStdString(), error)) {
        QMessageBox::warning(this, "qzrstudio", error);
    }
    return true;
}

bool StudioWindow::SaveIfAsked() {
    if (!editor_->document()->isModified()) return true;
    switch (savePrompt_()) {
        case SaveChoice::Discard:
            return true;
        case SaveChoice::Cancel:
            return false;
        case SaveChoice::Save:
            break;
    }
    SaveAsked(path_.empty());
    return !editor_->document()->isModified();
}

void StudioWindow::OpenAsked() {
    if (!SaveIfAsked()) return;
    const QString chosen =
        QFileDialog::getOpenFileName(this, "Open a song source", QString(), kSourceFilter);
    if (chosen.isEmpty()) return;
    QString error;
    if (!OpenFile(chosen.toStdString(), error)) QMessageBox::warning(this, "qzrstudio", error);
}

void StudioWindow::SaveAsked(bool choosePath) {
    std::filesystem::path target = path_;
    if (choosePath || target.empty()) {
        const QString chosen = QFileDialog::getSaveFileName(this, "Save the song source",
                                                            QString(kUntitled), kSourceFilter);
        if (chosen.isEmpty()) return;
        target = chosen.toStdString();
    }
    QString error;
    if (!SaveTo(target, error)) QMessageBox::warning(this, "qzrstudio", error);
}

bool StudioWindow::ExportTo(const std::filesystem::path& output,
                            const std::filesystem::path& stemsFolder, QString& message) {
    compiler_.CompileNow();
    if (!song_) {
        message = "Nothing to export: the source does not compile";
        return false;
    }
    if (playing_) StopPlaying();
    tools::RenderOptions options;
    options.kind = song_->kind;
    options.output = output.string();
    options.stemsFolder = stemsFolder;
    options.mutedChannels = muted_;
    ExportJob job(song_->bytes, options);
    QProgressDialog progress("Exporting " + QString::fromStdString(output.filename().string()),
                             QString(), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAccessibleName("Export progress");
    QEventLoop wait;
    QTimer poll;
    poll.setInterval(kPositionPeriodMs);
    connect(&poll, &QTimer::timeout, &wait, [&] {
        progress.setValue(static_cast<int>(job.Fraction() * 1000));
        if (job.Done()) wait.quit();
    });
    poll.start();
    if (!job.Done()) wait.exec();
    progress.setValue(1000);
    message = QString::fromStdString(job.Messages()).trimmed();
    SetStatus(job.Status() == 0 ? "Exported " + QString::fromStdString(output.string())
                                : QString("Export failed"));
    return job.Status() == 0;
}

void StudioWindow::ExportAsked(bool stems) {
    const QString base = QString::fromStdString(
        (path_.empty() ? std::filesystem::path(kUntitled) : path_).stem().string());
    std::filesystem::path output;
    std::filesystem::path folder;
    if (stems) {
        const QString chosen = QFileDialog::getExistingDirectory(this, "Folder for the stems");
        if (chosen.isEmpty()) return;
        folder = chosen.toStdString();
        output = (base + ".wav").toStdString();
    } else {
        const QString chosen =
            QFileDialog::getSaveFileName(this, "Export the song", base + ".wav",
                                         "WAV (*.wav);;FLAC (*.flac);;VGM (*.vgm);;VGZ (*.vgz)");
        if (chosen.isEmpty()) return;
        output = chosen.toStdString();
    }
    QString message;
    const bool ok = ExportTo(output, folder, message);
    if (!ok) QMessageBox::warning(this, "qzrstudio", message);
}

void StudioWindow::closeEvent(QCloseEvent* event) {
    if (!SaveIfAsked()) {
        event->ignore();
        return;
    }
    StopPlaying();
    event->accept();
}

}  // namespace qzr::studio
