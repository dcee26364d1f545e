#include "qzr/frontend/player_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <cassert>
#include <utility>

#include "qzr/frontend/centring.h"
#include "qzr/frontend/player_icon.h"
#include "qzr/frontend/song_dialog.h"
#include "qzr/frontend/window_model.h"
#include "wrapping_button.h"

namespace qzr::frontend {
namespace {

// Sizes and positions are kept in layout units of two pixels, the unit the controls were
// designed in.
constexpr int kLayoutUnit = 2;

constexpr QRect InPixels(const ControlPlace& place) {
    return {place.x * kLayoutUnit, place.y * kLayoutUnit, place.width * kLayoutUnit,
            place.height * kLayoutUnit};
}

const QColor kBackground = QColor::fromRgb(kBackgroundRgb);

}  // namespace

PlayerWindowSeams MakeDefaultSeams() {
    return PlayerWindowSeams{
        .player = BindPlayerByName(),
        .choosePath = &ChooseSongFile,
        .showMessage =
            [](QWidget* window, const QString& text) {
                QMessageBox::warning(window, QString::fromLatin1(kCaption), text);
            },
        .refreshTimer = MakeRefreshTimer(),
    };
}

PlayerWindow::PlayerWindow(PlayerWindowSeams seams, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      seams_(std::move(seams)) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(MakePlayerIcon());
    setAccessibleName(QString::fromLatin1(kCaption));
    setAccessibleDescription(QStringLiteral("Plays QZR song files on the emulated FM chip"));
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    setFixedSize(InPixels(kClientArea).size());

    QPalette grey = palette();
    grey.setColor(QPalette::Window, kBackground);
    setPalette(grey);
    setAutoFillBackground(true);
}

void PlayerWindow::ShowAndStart() {
    if (started_) return;
    started_ = true;
    CentreInAvailableArea(*this);
    show();
    // Where the platform knows the frame only once the window is shown, centre the whole of it.
    CentreInAvailableArea(*this);
    // The player starts while the window is on screen but before any button can be pressed.
    seams_.player.initOPM(kSampleRate, kOutputLatencyMs);
    CreateControls();
}

void PlayerWindow::CreateControls() {
    for (const ButtonSpec& spec : kButtons) {
        auto* button = new WrappingButton(QString::fromLatin1(spec.text), this);
        button->setProperty("controlId", spec.controlId);
        button->setGeometry(InPixels(spec.place));
        button->setAccessibleName(QString::fromLatin1(spec.text));
        button->setAccessibleDescription(QString::fromLatin1(spec.description));
        // Enter presses the focused button as Space does, as in a dialog.
        button->setAutoDefault(true);
        connect(button, &QPushButton::clicked, this,
                [this, id = spec.controlId] { OnCommand(id); });
        button->show();
    }

    status_ = new QLabel(this);
    status_->setGeometry(InPixels(kStatusPlace));
    status_->setAccessibleDescription(
        QStringLiteral("Ready, the song playing and its row, or stopped"));
    SetStatus(QString::fromLatin1(kReadyStatus));
    status_->show();

    if (auto* first = findChild<QPushButton*>()) first->setFocus(Qt::OtherFocusReason);
}

void PlayerWindow::OnCommand(int controlId) {
    switch (controlId) {
        case kPlayOPMId:
            PlayChosenSong(SongKind::OPM);
            break;
        case kPlayOPN2Id:
            PlayChosenSong(SongKind::OPN2);
            break;
        case kStopId:
            StopSong();
            break;
        default:
            break;
    }
}

void PlayerWindow::PlayChosenSong(SongKind kind) {
    const QString chosen = seams_.choosePath();
    if (chosen.isEmpty()) return;
    if (const auto refusal = RefusalFor(chosen)) {
        seams_.showMessage(this, *refusal);
        return;
    }

    const QByteArray encoded = EncodedPath(chosen);
    assert(static_cast<std::size_t>(encoded.size()) < pathBuffer_.size());  // refused otherwise
    pathBuffer_.fill('\0');
    std::copy(encoded.cbegin(), encoded.cend(), pathBuffer_.begin());
    // A play button starts the new song at once; the player needs no StopSong in between.
    if (kind == SongKind::OPM) {
        seams_.player.playSong(pathBuffer_.data());
    } else {
        seams_.player.playSong2(pathBuffer_.data());
    }

    playingName_ = QFileInfo(chosen).fileName();
    RefreshStatus();
    seams_.refreshTimer->Start([this] { RefreshStatus(); });
}

void PlayerWindow::StopSong() {
    seams_.player.stopSong();
    seams_.refreshTimer->Stop();
    playingName_.clear();
    SetStatus(QString::fromLatin1(kStoppedStatus));
}

void PlayerWindow::RefreshStatus() {
    if (playingName_.isEmpty()) return;
    const int row = seams_.player.getSongPosition();
    SetStatus(QString::fromStdString(PlayingStatusHead(playingName_.toStdString())),
              QString::fromStdString(PlayingStatusTail(row)));
}

void PlayerWindow::SetStatus(const QString& head, const QString& tail) {
    if (status_ == nullptr) return;
    // A long file name gives way in the middle of the head, so the row number in the tail always
    // stays in sight; a screen reader and the tool tip get the whole text.
    const QString text = head + tail;
    QString shown = text;
    const QFontMetrics metrics = status_->fontMetrics();
    if (metrics.horizontalAdvance(text) > status_->width()) {
        const int room = status_->width() - metrics.horizontalAdvance(tail);
        shown = metrics.elidedText(head, Qt::ElideMiddle, room) + tail;
    }
    status_->setText(shown);
    status_->setToolTip(text);
    status_->setAccessibleName(QStringLiteral("Status: ") + text);
}

void PlayerWindow::closeEvent(QCloseEvent* event) {
    // Ending playback is the player's job on release; closing never calls StopSong.
    if (!released_) {
        released_ = true;
        seams_.refreshTimer->Stop();
        seams_.player.releaseOPM();
    }
    event->accept();
}

int RunPlayerWindow(PlayerWindowSeams seams) {
    PlayerWindow window(std::move(seams));
    window.ShowAndStart();
    return QApplication::exec();
}

}  // namespace qzr::frontend
