// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/SplitPage.h"

#include "app/FileDrop.h"
#include "app/GaugeSplitObserver.h"
#include "app/PauseDialog.h"
#include "app/SettingsMemory.h"
#include "app/TrackBar.h"
#include "app/UpDown.h"
#include "app/Waveform.h"
#include "core/PlayerSource.h"
#include "core/ReadOnlyMark.h"
#include "core/Split.h"
#include "core/TimeText.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/FormBuilder.h"
#include "platform/PlatformInt.h"
#include "player/AudioPlayer.h"
#include "tags/ID3v1.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <cmath>

namespace tindrel {

namespace {

const QString kMinSecMs = QStringLiteral("( Min : Sec . MilliSec )");
// The waveform strip's height; everything of the preview below it moves down
// by as much.
constexpr int kWaveHeight = 92;
const QString kInvalidStyle = QStringLiteral("QLineEdit { background: #ffd9d4; }");

// ID3v1 texts are ISO-8859-1 bytes: one byte a character.
QString fromLatin1Tag(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// A tool button with one of the style's standard pictures, looked up when
// the button is first painted: finding it (the icon theme, the image
// readers) costs more than building the rest of the page, and the window
// is already on the screen by then.
class PictureButton final : public QToolButton {
public:
    PictureButton(QWidget* parent, QStyle::StandardPixmap picture) : QToolButton(parent), m_picture(picture) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        if (icon().isNull())
            setIcon(style()->standardIcon(m_picture));
        QToolButton::paintEvent(event);
    }

private:
    const QStyle::StandardPixmap m_picture;
};

QToolButton* makePictureButton(QWidget* parent, const QString& name, QStyle::StandardPixmap icon, const QString& hint,
                               const QRect& geometry) {
    auto* button = new PictureButton(parent, icon);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setToolTip(hint);
    return button;
}

QToolButton* makeMarkButton(QWidget* parent, const QString& name, const QString& caption, const QString& hint,
                            const QRect& geometry) {
    auto* button = makeButton<QToolButton>(parent, name, caption, geometry);
    button->setToolTip(hint);
    return button;
}

} // namespace

TSplitPage::TSplitPage(IDialogs& dialogs, TAudioPlayer& player, TID3v1& id3v1Tag, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_player(player), m_id3v1Tag(id3v1Tag) {
    setObjectName(QStringLiteral("tabSplit"));
    buildPreview();
    buildSplitControls();
    connectControls();
    buildKeys();
    setTabOrder();
    setAcceptDrops(true);
}

// Left: what is known of the open file, and the preview.
void TSplitPage::buildPreview() {
    auto* group = make<QGroupBox>(this, QStringLiteral("gpbSplit"), {6, 4, 300, 324 + kWaveHeight});
    const char* captions[] = {"Title:", "Artist:", "Album:", "Year:", "Comment:", "Length:"};
    const char* names[] = {"labTitle", "labArtist", "labAlbum", "labYear", "labComment", "labLength"};
    for (int i = 0; i < 6; ++i) {
        makeLabel(group, {}, QString::fromLatin1(captions[i]), {12, 18 + 24 * i, 72, 20});
        m_infoLabels[i] = makeLabel(group, QString::fromLatin1(names[i]), {}, {86, 18 + 24 * i, 206, 20});
    }
    m_waveform = make<TWaveform>(group, QStringLiteral("wfmWave"), {10, 166, 280, kWaveHeight - 6});
    const int y = kWaveHeight; // the rest of the preview sits below the waveform
    tkbPosition = make<TTrackBar>(group, QStringLiteral("tkbPosition"), {8, 166 + y, 284, 34});
    tkbPosition->setRange(0, 30);
    sbtnPlay = makePictureButton(group, QStringLiteral("sbtnPlay"), QStyle::SP_MediaPlay, QStringLiteral("Play"),
                                 {12, 210 + y, 34, 28});
    sbtnPause = makePictureButton(group, QStringLiteral("sbtnPause"), QStyle::SP_MediaPause, QStringLiteral("Pause"),
                                  {50, 210 + y, 34, 28});
    sbtnStop = makePictureButton(group, QStringLiteral("sbtnStop"), QStyle::SP_MediaStop, QStringLiteral("Stop"),
                                 {88, 210 + y, 34, 28});
    sbtnBegin = makeMarkButton(group, QStringLiteral("sbtnBegin"), QStringLiteral("{"),
                               QStringLiteral("Select start time point"), {218, 210 + y, 34, 28});
    sbtnEnd = makeMarkButton(group, QStringLiteral("sbtnEnd"), QStringLiteral("}"),
                             QStringLiteral("Select end time point"), {256, 210 + y, 34, 28});
    // A click on the preview takes the focus from a time field, so that the
    // next Space plays instead of typing a blank into the time.
    for (QWidget* w : std::initializer_list<QWidget*>{sbtnPlay, sbtnPause, sbtnStop, sbtnBegin, sbtnEnd})
        w->setFocusPolicy(Qt::StrongFocus);
    m_waveform->setFocusPolicy(Qt::ClickFocus); // no Tab stop: the track bar is the keyboard's
    makeLabel(group, QStringLiteral("labTime"), QStringLiteral("Time:"), {12, 252 + y, 40, 20});
    labTime1 = makeLabel(group, QStringLiteral("labTime1"), QStringLiteral("00:00.000"), {54, 252 + y, 80, 20});
    makeLabel(group, QStringLiteral("Label1"), kMinSecMs, {136, 252 + y, 156, 20});
    TmrPlayer = new QTimer(this);
    TmrPlayer->setObjectName(QStringLiteral("TmrPlayer"));
    TmrPlayer->setInterval(1000);
    m_cursorTimer = new QTimer(this);
    m_cursorTimer->setInterval(40);
}

// Right: the source, the kind of split, and the times.
void TSplitPage::buildSplitControls() {
    edtFile = make<QLineEdit>(this, QStringLiteral("edtFile"), {316, 12, 230, 26});
    btnOpen = makeButton(this, QStringLiteral("btnOpen"), QStringLiteral("&Open"), {552, 12, 84, 26});

    rdbPart = makeButton<QRadioButton>(this, QStringLiteral("rdbPart"), QStringLiteral("Split file into"),
                                       {316, 52, 118, 22});
    edtPart = make<QLineEdit>(this, QStringLiteral("edtPart"), {436, 51, 38, 24});
    edtPart->setText(QStringLiteral("2"));
    updPart = new TUpDown(edtPart, 2, 99, 2, this);
    updPart->setObjectName(QStringLiteral("updPart"));
    updPart->setGeometry(474, 51, 18, 24);
    labPart2 = makeLabel(this, QStringLiteral("labPart2"), QStringLiteral("equal parts (Max:99)."), {498, 52, 140, 22});

    rdbTime = makeButton<QRadioButton>(this, QStringLiteral("rdbTime"), QStringLiteral("Split selected time session:"),
                                       {316, 86, 260, 22});
    rdbTime->setChecked(true);
    labStart1 = makeLabel(this, QStringLiteral("labStart1"), QStringLiteral("Starting time:"), {332, 118, 88, 22});
    edtStart = make<QLineEdit>(this, QStringLiteral("edtStart"), {420, 117, 76, 24});
    edtStart->setText(QStringLiteral("00:00.000"));
    makeLabel(this, QStringLiteral("Label2"), kMinSecMs, {500, 118, 142, 22});
    labEnd1 = makeLabel(this, QStringLiteral("labEnd1"), QStringLiteral("Ending  time:"), {332, 150, 88, 22});
    edtEnd = make<QLineEdit>(this, QStringLiteral("edtEnd"), {420, 149, 76, 24});
    edtEnd->setText(QStringLiteral("00:00.000"));
    makeLabel(this, QStringLiteral("Label3"), kMinSecMs, {500, 150, 142, 22});
    labPeriod = makeLabel(this, QStringLiteral("labPeriod"), {}, {316, 178, 326, 34});
    labPeriod->setWordWrap(true);
    for (QWidget* w : std::initializer_list<QWidget*>{edtPart, updPart, labPart2})
        w->setEnabled(false);

    btnSplit = makeButton(this, QStringLiteral("btnSplit"), QStringLiteral("&Split"), {332, 214, 100, 30});
    btnStop = makeButton(this, QStringLiteral("btnStop"), QStringLiteral("S&top"), {440, 214, 100, 30});
    btnPauses = makeButton(this, QStringLiteral("btnPauses"), QStringLiteral("Pa&uses..."), {546, 214, 90, 30});
    btnPauses->setToolTip(QStringLiteral("Cut at pauses or by a CUE sheet"));
    // Beyond the byte cut: whole frames, sample-exact and gapless.
    chkExact = makeButton<QCheckBox>(this, QStringLiteral("chkExactSplit"), QStringLiteral("E&xact (gapless)"),
                                     {332, 282, 200, 22});
    pgbProgress = make<QProgressBar>(this, QStringLiteral("pgbProgress"), {332, 254, 304, 18});
    pgbProgress->setRange(0, 100);
    pgbProgress->setValue(0);
    pgbProgress->setTextVisible(false);
    pgbProgress->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #1f5fbf; }"));
    pgbProgress->hide();
    // The arrows are for the mouse; the field itself is the Tab stop.
    for (QWidget* arrow : updPart->findChildren<QWidget*>())
        arrow->setFocusPolicy(Qt::NoFocus);
    // A file dropped on a field opens it, rather than pasting its name.
    for (QLineEdit* field : {edtFile, edtPart, edtStart, edtEnd})
        field->setAcceptDrops(false);
}

void TSplitPage::connectControls() {
    onClick(btnOpen, this, &TSplitPage::btnOpenClick);
    onClick(rdbTime, this, &TSplitPage::rdbTimeClick);
    onClick(rdbPart, this, &TSplitPage::rdbPartClick);
    onClick(btnSplit, this, &TSplitPage::btnSplitClick);
    onClick(btnStop, this, &TSplitPage::btnStopClick);
    onClick(btnPauses, this, &TSplitPage::btnPausesClick);
    onClick(sbtnPlay, this, &TSplitPage::sbtnPlayClick);
    onClick(sbtnPause, this, &TSplitPage::sbtnPauseClick);
    onClick(sbtnStop, this, &TSplitPage::sbtnStopClick);
    onClick(sbtnBegin, this, &TSplitPage::sbtnBeginClick);
    onClick(sbtnEnd, this, &TSplitPage::sbtnEndClick);
    connect(edtStart, &QLineEdit::textChanged, this, ErrorHandler::guard([this] { edtStartChange(); }));
    connect(edtEnd, &QLineEdit::textChanged, this, ErrorHandler::guard([this] { edtEndChange(); }));
    connect(tkbPosition, &QSlider::valueChanged, this, ErrorHandler::guard([this] { tkbPositionChange(); }));
    connect(TmrPlayer, &QTimer::timeout, this, ErrorHandler::guard([this] { TmrPlayerTimer(); }));
    connect(m_cursorTimer, &QTimer::timeout, this, ErrorHandler::guard([this] { showPosition(PlayPositionMs()); }));
    connect(chkExact, &QCheckBox::toggled, this, ErrorHandler::guard([this] { syncPauseDialog(); }));
    connect(edtFile, &QLineEdit::returnPressed, this, ErrorHandler::guard([this] { openPath(edtFile->text()); }));
    connect(m_waveform, &TWaveform::seekRequested, this, [this](qint64 ms) { ErrorHandler::run([&] { seekTo(ms); }); });
    // A drag writes both fields but leaves the play position where it was.
    connect(m_waveform, &TWaveform::selectionDragged, this, [this](qint64 from, qint64 to) {
        ErrorHandler::run([&] {
            writeTimeField(true, from);
            writeTimeField(false, to);
        });
    });
    for (QLineEdit* field : {edtStart, edtEnd})
        connect(field, &QLineEdit::textChanged, this, ErrorHandler::guard([this] {
                    checkTimeFields();
                    showSelectionOnWaveform();
                }));
}

void TSplitPage::buildKeys() {
    struct KeyAction {
        QKeySequence key;
        std::function<void()> action;
    };
    const KeyAction keys[] = {
        {Qt::Key_Space, [this] { togglePlay(); }},
        {Qt::Key_BracketLeft, [this] { markAtPosition(true); }},
        {Qt::Key_BraceLeft, [this] { markAtPosition(true); }},
        {Qt::Key_BracketRight, [this] { markAtPosition(false); }},
        {Qt::Key_BraceRight, [this] { markAtPosition(false); }},
        {Qt::Key_Left, [this] { seekTo(PlayPositionMs() - 1000); }},
        {Qt::Key_Right, [this] { seekTo(PlayPositionMs() + 1000); }},
        {Qt::SHIFT | Qt::Key_Left, [this] { seekTo(PlayPositionMs() - 100); }},
        {Qt::SHIFT | Qt::Key_Right, [this] { seekTo(PlayPositionMs() + 100); }},
        {Qt::Key_Home, [this] { seekTo(0); }},
        {Qt::Key_End, [this] { seekTo(m_lengthMs); }},
    };
    // The keys work wherever the focus is in the window while this page is
    // shown (a hidden page's shortcuts are inactive), the tab bar included.
    // Typing into a field keeps them for the field: a line edit takes
    // printable keys and the arrows before any shortcut sees them. Without a
    // file they would only take Space from a focused button.
    for (const KeyAction& entry : keys) {
        auto* shortcut = new QShortcut(entry.key, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, this, ErrorHandler::guard(entry.action));
        m_keys.push_back(shortcut);
    }
}

void TSplitPage::setTabOrder() {
    // Reading order: the preview column from top to bottom, then the split
    // column, with Help and About (added by the window) last.
    const QWidget* chain[] = {tkbPosition, sbtnPlay, sbtnPause, sbtnStop,  sbtnBegin, sbtnEnd,
                              edtFile,     btnOpen,  rdbPart,   edtPart,   rdbTime,   edtStart,
                              edtEnd,      btnSplit, btnStop,   btnPauses, chkExact};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
}

QString TSplitPage::TimeFieldProblem(const QString& caption, const QString& text) {
    bool whole = true;
    try {
        (void)ParseTimeMs(text.toStdString());
    } catch (const std::exception&) {
        whole = false;
    }
    if (whole && ParseTimeSeconds(text.toStdString()) >= 0)
        return {};
    return caption + QStringLiteral(": \"") + text + QStringLiteral("\" is not a time; use the format mm:ss.mmm");
}

QString TSplitPage::timeFieldProblem(const QString& caption, const QString& text) const {
    if (QString problem = TimeFieldProblem(caption, text); !problem.isEmpty())
        return problem;
    // A time past the end would cut less than the label and the split say.
    if (m_loadedPath.isEmpty() || m_lengthMs <= 0 || ParseTimeMs(text.toStdString()) <= m_lengthMs)
        return {};
    return caption + QStringLiteral(": \"") + text + QStringLiteral("\" lies past the end of the file, ") +
           QString::fromStdString(FormatTimeText(static_cast<double>(m_lengthMs) / 1000.0));
}

bool TSplitPage::checkTimeFields() {
    QString problem;
    for (auto [field, caption] :
         {std::pair{edtStart, QStringLiteral("Starting time")}, std::pair{edtEnd, QStringLiteral("Ending time")}}) {
        const QString fieldProblem = timeFieldProblem(caption, field->text());
        field->setProperty("invalid", !fieldProblem.isEmpty());
        field->setStyleSheet(fieldProblem.isEmpty() ? QString() : kInvalidStyle);
        field->setToolTip(fieldProblem);
        if (problem.isEmpty())
            problem = fieldProblem;
    }
    const bool showedProblem = labPeriod->property("problem").toBool();
    labPeriod->setProperty("problem", !problem.isEmpty());
    if (!problem.isEmpty())
        labPeriod->setText(problem);
    else if (showedProblem)
        UpdateSelectedPartLabel();
    return problem.isEmpty();
}

void TSplitPage::showSelectionOnWaveform() {
    const double start = ParseTimeSeconds(edtStart->text().toStdString());
    const double end = ParseTimeSeconds(edtEnd->text().toStdString());
    if (start >= 0 && end > start)
        m_waveform->setSelectionMs(std::llround(start * 1000), std::llround(end * 1000));
    else
        m_waveform->setSelectionMs(0, 0);
}

bool TSplitPage::holdsPlayer() const {
    return !m_playerFile.empty() && m_player.StreamFileName() == m_playerFile;
}

bool TSplitPage::previewing() const {
    const TPlayerMode mode = m_player.Mode();
    return (mode == TPlayerMode::Playing || mode == TPlayerMode::Paused) && holdsPlayer();
}

int64_t TSplitPage::PlayPositionMs() {
    if (previewing()) {
        m_cursorMs = static_cast<int64_t>(m_player.GetPosition());
        return m_cursorMs;
    }
    if (TmrPlayer->isActive() || m_cursorTimer->isActive()) {
        TmrPlayer->stop();
        m_cursorTimer->stop();
        // Stopped by itself: the sound played to the end, which is where
        // the position now stands. Taken by another page's preview: the
        // position stays where this page's sound was, to play on from.
        if (m_player.Mode() == TPlayerMode::Stopped && holdsPlayer())
            m_cursorMs = m_lengthMs;
    }
    return m_cursorMs;
}

void TSplitPage::seekTo(int64_t ms) {
    if (m_loadedPath.isEmpty())
        return;
    ms = std::clamp<int64_t>(ms, 0, m_lengthMs);
    m_cursorMs = ms;
    if (previewing())
        m_player.SetPosition(static_cast<uint64_t>(ms));
    m_seekingByMs = true;
    const auto done = qScopeGuard([this] { m_seekingByMs = false; });
    tkbPosition->setValue(static_cast<int>(ms / 1000));
    showPosition(ms);
}

void TSplitPage::showPosition(int64_t ms) {
    labTime1->setText(
        QString::fromStdString(PositionLabelText(static_cast<int32_t>(ms / 1000), static_cast<int32_t>(ms % 1000))));
    m_waveform->setPositionMs(ms);
}

void TSplitPage::togglePlay() {
    if (previewing())
        sbtnPauseClick();
    else
        sbtnPlayClick();
}

void TSplitPage::markAtPosition(bool isStart) {
    if (m_loadedPath.isEmpty())
        return;
    writeTimeField(isStart, std::clamp<int64_t>(PlayPositionMs(), 0, m_lengthMs));
}

void TSplitPage::writeTimeField(bool isStart, int64_t ms) {
    QLineEdit* field = isStart ? edtStart : edtEnd;
    bool& oneShot = isStart ? m_startOneShot : m_endOneShot;
    const int second = static_cast<int>(ms / 1000);
    if (isStart)
        tkbPosition->SetSelStart(second);
    else
        tkbPosition->SetSelEnd(second);
    const QString text = QString::fromStdString(FormatTimeText(static_cast<double>(ms) / 1000.0));
    // As with the mark buttons: the field's own handler must not move the
    // thumb back to the whole second.
    oneShot = text != field->text();
    field->setText(text);
    UpdateSelectedPartLabel();
}

void TSplitPage::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event);
}

void TSplitPage::dropEvent(QDropEvent* event) {
    TakeFileDrop(event, [this](const QStringList& paths) { openPath(paths.front()); });
}

QString TSplitPage::FileName() const {
    return edtFile->text();
}

void TSplitPage::ReleaseFile() {
    TmrPlayer->stop();
    m_cursorTimer->stop();
    m_player.Close();
}

void TSplitPage::UpdateSelectedPartLabel() {
    labPeriod->setText(
        QString::fromStdString(SelectedPartText(edtStart->text().toStdString(), edtEnd->text().toStdString())));
}

void TSplitPage::edtStartChange() {
    edtTimeChange(edtStart, m_startOneShot, true);
}

void TSplitPage::edtEndChange() {
    edtTimeChange(edtEnd, m_endOneShot, false);
}

void TSplitPage::edtTimeChange(QLineEdit* field, bool& oneShot, bool isStart) {
    if (oneShot) {
        oneShot = false;
        return;
    }
    if (!FileExists(edtFile->text().toStdString()))
        return;
    const double v = ParseTimeSeconds(field->text().toStdString());
    if (v < 0 || std::trunc(v) > tkbPosition->maximum())
        return;
    const int position = static_cast<int>(std::trunc(v));
    tkbPosition->setValue(position);
    if (isStart)
        tkbPosition->SetSelStart(position);
    else
        tkbPosition->SetSelEnd(position);
    labTime1->setText(field->text());
    UpdateSelectedPartLabel();
}

void TSplitPage::btnOpenClick() {
    if (const auto chosen = m_dialogs.openFile(kMp3Filter))
        openPath(*chosen);
}

void TSplitPage::openPath(const QString& chosen) {
    if (!FileExists(chosen.toStdString())) {
        m_dialogs.information(QStringLiteral("There is no file \"") + chosen + QStringLiteral("\"."));
        return;
    }
    // A picture or a document dropped by mistake is turned away before the
    // page lets go of the file it shows, in words rather than an error code.
    TStreamInfo info;
    int32_t pluginIndex = -1;
    TSupportedBy supported = TSupportedBy::Unsupported;
    if (m_player.PlayerReady() && !m_player.GetStreamInfo(chosen.toStdString(), info, pluginIndex, supported)) {
        m_dialogs.information(QStringLiteral("\"") + chosen +
                              QStringLiteral("\" is not an audio file that Tindrel can read."));
        return;
    }
    edtFile->setText(chosen);
    m_loadedPath = chosen;
    m_cursorTimer->stop();
    m_player.Close();
    m_cursorMs = 0;
    m_waveform->openFile(chosen);
    m_waveform->setMarkers({}); // the pauses and cuts of another file
    const std::string path = chosen.toStdString();
    m_id3v1Tag.Load(path);
    if (m_id3v1Tag.Exists()) {
        const std::string* texts[] = {&m_id3v1Tag.Title(), &m_id3v1Tag.Artist(), &m_id3v1Tag.Album(),
                                      &m_id3v1Tag.Year(), &m_id3v1Tag.Comment()};
        for (int i = 0; i < 5; ++i)
            m_infoLabels[i]->setText(fromLatin1Tag(*texts[i]));
    } else {
        m_infoLabels[0]->setText(QString::fromStdString(SourceStem(path)));
        for (int i = 1; i < 5; ++i)
            m_infoLabels[i]->setText(QStringLiteral("Unknown"));
    }
    if (m_player.PlayerReady()) {
        m_player.Open(path);
        m_playerFile = path;
        m_lengthMs = static_cast<int64_t>(m_player.GetPlayLength());
        tkbPosition->setMaximum(static_cast<int>(m_lengthMs / 1000));
        m_infoLabels[5]->setText(QString::fromStdString(FormatTimeText(m_lengthMs / 1000.0)));
    }
    edtStart->setText(QStringLiteral("00:00.000"));
    edtEnd->setText(QStringLiteral("00:00.000"));
    tkbPosition->setValue(0);
    for (QShortcut* key : m_keys)
        key->setEnabled(true);
    syncPauseDialog();
    // Opened from the file field (Enter) or the command line: the keys go
    // to the preview, not into the path.
    if (!focusWidget() || focusWidget() == edtFile)
        tkbPosition->setFocus();
}

void TSplitPage::rdbTimeClick() {
    for (QWidget* w : std::initializer_list<QWidget*>{edtStart, edtEnd, labStart1, labEnd1})
        w->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{edtPart, updPart, labPart2})
        w->setEnabled(false);
}

void TSplitPage::rdbPartClick() {
    for (QWidget* w : std::initializer_list<QWidget*>{edtStart, edtEnd, labStart1, labEnd1})
        w->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{edtPart, updPart, labPart2})
        w->setEnabled(true);
}

void TSplitPage::btnStopClick() {
    m_splitStopRequested = true;
    if (m_pauseDialog && m_pauseDialog->Splitting())
        m_pauseDialog->btnStopClick();
}

bool TSplitPage::Running() const {
    return m_splitRunning || (m_pauseDialog && m_pauseDialog->Splitting());
}

DescribeSource TSplitPage::describeWithPlayer() {
    return [this](const std::string& path) { return DescribeWithPlayer(m_player, path); };
}

void TSplitPage::btnSplitClick() {
    // A parts run lets window events through; a second Split meanwhile
    // would run inside it.
    if (Running())
        return;
    if (!FileExists(edtFile->text().toStdString())) {
        m_dialogs.information(QStringLiteral("Please open a MP3 file."));
        return;
    }
    // A path typed but not opened is opened now, so the labels, the length
    // and the cut all describe the same file.
    if (edtFile->text() != m_loadedPath) {
        openPath(edtFile->text());
        return;
    }
    if (rdbTime->isChecked())
        splitTimeMode();
    else
        splitPartsMode();
}

SplitMode TSplitPage::splitMode() const {
    return chkExact->isChecked() ? SplitMode::Exact : SplitMode::Bytes;
}

void TSplitPage::splitTimeMode() {
    if (!checkTimeFields()) {
        m_dialogs.information(labPeriod->text());
        return;
    }
    if (const auto refusal = SplitRangeRefusal(edtStart->text().toStdString(), edtEnd->text().toStdString())) {
        m_dialogs.information(QString::fromStdString(*refusal));
        return;
    }
    const std::string source = edtFile->text().toStdString();
    const auto chosen = m_dialogs.saveFile(kMp3SaveFilter, QStringLiteral("mp3"),
                                           QString::fromStdString(SourceStem(source)) + QStringLiteral("_chunk_1.mp3"));
    if (!chosen || !confirmReplacing({chosen->toStdString()}))
        return;
    const SplitOutcome outcome = RunSplitRange(source, chosen->toStdString(), edtStart->text().toStdString(),
                                               edtEnd->text().toStdString(), describeWithPlayer(), splitMode());
    m_dialogs.information(QString::fromStdString(SplitOutcomeText(outcome)));
}

void TSplitPage::splitPartsMode() {
    m_splitStopRequested = false;
    int32_t n = 0;
    if (const auto refusal = PartsCountRefusal(edtPart->text().toStdString(), n)) {
        m_dialogs.information(QString::fromStdString(*refusal));
        return;
    }
    const auto chosen = m_dialogs.chooseFolder();
    if (!chosen)
        return;
    if (const auto refusal = PartsFolderRefusal(chosen->toStdString())) {
        m_dialogs.information(QString::fromStdString(*refusal));
        return;
    }
    std::vector<std::string> pieces;
    for (int k = 1; k <= n; ++k)
        pieces.push_back(PartOutputPath(chosen->toStdString(), SourceStem(edtFile->text().toStdString()), k));
    if (!confirmReplacing(pieces))
        return;
    // While the run lets window events through, a second Split or a pause
    // split would cut the same file into the same names.
    m_splitRunning = true;
    btnSplit->setEnabled(false);
    btnPauses->setEnabled(false);
    if (m_pauseDialog)
        m_pauseDialog->setEnabled(false);
    const auto running = qScopeGuard([this] {
        m_splitRunning = false;
        btnSplit->setEnabled(true);
        btnPauses->setEnabled(true);
        if (m_pauseDialog)
            m_pauseDialog->setEnabled(true);
        emit runEnded();
    });
    // Only a run that completes or is stopped hides the gauge; one that ends
    // in an error leaves it showing how far it came.
    // The run keeps its own copies of everything it works from, so what the
    // user does meanwhile (opening another file, say) cannot change it.
    const std::string source = edtFile->text().toStdString();
    pgbProgress->show();
    TGaugeSplitObserver observer(*pgbProgress, m_splitStopRequested);
    const SplitOutcome outcome =
        RunSplitParts(source, chosen->toStdString(), n, m_lengthMs, describeWithPlayer(), observer, splitMode());
    pgbProgress->hide();
    if (outcome.result != SplitResult::Stopped)
        m_dialogs.information(QString::fromStdString(SplitOutcomeText(outcome)));
    else
        m_dialogs.information(QStringLiteral("Splitting was stopped after %1 of %2 parts; the parts written are in "
                                             "\"%3\".")
                                  .arg(outcome.partsDone)
                                  .arg(n)
                                  .arg(*chosen));
}

bool TSplitPage::confirmReplacing(const std::vector<std::string>& outputs) {
    const auto marked = FirstWithReadOnlyMark(outputs);
    return !marked ||
           m_dialogs.messageBox(QStringLiteral("Confirm"), QString::fromStdString(ReplaceReadOnlyQuestion(*marked)),
                                MessageIcon::Question, MessageButtons::YesNoDefaultNo) == MessageResult::Yes;
}

void TSplitPage::showPlanOnWaveform(const std::vector<Silence>& pauses, const std::vector<int64_t>& cuts) {
    // Pauses shaded green, planned cuts as violet lines: red is the play
    // position's, and a cut must not be taken for it.
    std::vector<TWaveform::Marker> marks;
    for (const Silence& pause : pauses)
        marks.push_back({pause.startMs, pause.endMs, QColor(0x2e, 0xa0, 0x43, 110)});
    for (int64_t cut : cuts)
        marks.push_back({cut, cut, QColor(0xc0, 0x70, 0xff)});
    m_waveform->setMarkers(std::move(marks));
}

void TSplitPage::btnPausesClick() {
    const std::string source = edtFile->text().toStdString();
    if (!FileExists(source)) {
        m_dialogs.information(QStringLiteral("Please open a MP3 file."));
        return;
    }
    if (!m_pauseDialog) {
        m_pauseDialog = new TPauseDialog(m_dialogs, this);
        SettingsMemory().keepAll(m_pauseDialog, QStringLiteral("Pauses"));
        // The preview plays from the track bar's whole second.
        connect(m_pauseDialog, &TPauseDialog::planShown, this,
                [this](const std::vector<Silence>& pauses, const std::vector<int64_t>& cuts) {
                    showPlanOnWaveform(pauses, cuts);
                });
        connect(m_pauseDialog, &TPauseDialog::previewAt, this, [this](int64_t ms) {
            ErrorHandler::guard([this, ms] {
                tkbPosition->setValue(static_cast<int>(ms / 1000));
                sbtnPlayClick();
            })();
        });
        connect(m_pauseDialog, &TPauseDialog::previewStopped, this, ErrorHandler::guard([this] { sbtnStopClick(); }));
        m_pauseDialog->SetPreviewPlaying([this] { return previewing() && m_player.Mode() == TPlayerMode::Playing; });
        connect(m_pauseDialog, &TPauseDialog::splitEnded, this, &TSplitPage::runEnded);
    }
    // The page's count is where the window's starts for a file new to it;
    // from there the window shows and keeps its own.
    int32_t n = 0;
    if (PartsCountRefusal(edtPart->text().toStdString(), n))
        n = 0;
    m_pauseDialog->Start(source, m_lengthMs, n, describeWithPlayer(), splitMode());
    m_pauseDialog->show();
    m_pauseDialog->raise();
}

void TSplitPage::syncPauseDialog() {
    if (!m_pauseDialog || m_loadedPath.isEmpty())
        return;
    m_pauseDialog->Start(m_loadedPath.toStdString(), m_lengthMs, 0, describeWithPlayer(), splitMode());
}

void TSplitPage::sbtnPlayClick() {
    const std::string path = edtFile->text().toStdString();
    if (!FileExists(path))
        return;
    m_player.Open(path);
    m_playerFile = path;
    m_player.SetPosition(static_cast<uint64_t>(m_cursorMs));
    m_player.Play();
    TmrPlayer->start();
    m_cursorTimer->start();
}

void TSplitPage::sbtnPauseClick() {
    // The button acts by its hint, which only this button changes.
    // When the Edit page's preview has taken the player, there is nothing
    // of this page's to pause or resume: only the hint changes.
    const bool own = holdsPlayer();
    if (sbtnPause->toolTip() == QLatin1String("Pause")) {
        if (own)
            m_player.SetPaused(true);
        sbtnPause->setToolTip(QStringLiteral("Resume"));
        TmrPlayer->stop();
        m_cursorTimer->stop();
        showPosition(PlayPositionMs());
    } else {
        if (own)
            m_player.SetPaused(false);
        sbtnPause->setToolTip(QStringLiteral("Pause"));
        TmrPlayer->start();
        m_cursorTimer->start();
    }
}

void TSplitPage::sbtnStopClick() {
    m_player.Stop();
    TmrPlayer->stop();
    m_cursorTimer->stop();
    tkbPosition->setValue(0);
    m_cursorMs = 0;
    m_waveform->setPositionMs(0);
}

void TSplitPage::TmrPlayerTimer() {
    // PlayPositionMs, so that a file played to its end leaves the thumb there.
    const int64_t ms = PlayPositionMs();
    m_timerMoving = true;
    tkbPosition->setValue(static_cast<int>(ms / 1000));
    m_timerMoving = false;
    showPosition(ms);
}

void TSplitPage::tkbPositionChange() {
    if (edtFile->text().isEmpty())
        return;
    const int p = tkbPosition->value();
    const int32_t ms = p == tkbPosition->maximum() ? static_cast<int32_t>(m_lengthMs % 1000) : 0;
    if (m_seekingByMs)
        return; // seekTo has placed everything to the ms
    // The timer shows where the player is itself, to the ms, not the whole
    // second the thumb stands on.
    if (m_timerMoving)
        return;
    labTime1->setText(QString::fromStdString(PositionLabelText(p, ms)));
    m_cursorMs = int64_t{p} * 1000 + ms;
    m_waveform->setPositionMs(m_cursorMs);
    if (previewing() && m_player.Mode() == TPlayerMode::Playing) {
        const int32_t volume = m_player.GetVolume();
        m_player.SetVolume(0);
        m_player.SetPosition(static_cast<uint32_t>(p) * 1000);
        m_player.SetVolume(volume);
        m_player.Play();
    }
}

void TSplitPage::sbtnBeginClick() {
    setFieldByButton(edtStart, m_startOneShot, true);
}

void TSplitPage::sbtnEndClick() {
    setFieldByButton(edtEnd, m_endOneShot, false);
}

void TSplitPage::setFieldByButton(QLineEdit* field, bool& oneShot, bool isStart) {
    if (edtFile->text().isEmpty())
        return;
    const int p = tkbPosition->value();
    if (isStart)
        tkbPosition->SetSelStart(p);
    else
        tkbPosition->SetSelEnd(p);
    const double seconds = p == tkbPosition->maximum() ? p + (m_lengthMs % 1000) / 1000.0 : p;
    const QString text = QString::fromStdString(FormatTimeText(seconds));
    // Only a change of the text reaches the field's handler, which clears
    // the flag; an unchanged text must not leave it set.
    oneShot = text != field->text();
    field->setText(text);
    UpdateSelectedPartLabel();
}

} // namespace tindrel
