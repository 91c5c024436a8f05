// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/EditPage.h"

#include "app/Waveform.h"
#include "core/EditWriter.h"
#include "core/Silence.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "player/AudioPlayer.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace tindrel {

namespace {

const QColor kRemovedColor(0xc0, 0x30, 0x30, 120);
const QColor kLevelColor(0x30, 0x60, 0xc0, 70);
const QColor kFadeColor(0xe0, 0x90, 0x20, 90);

// The page's progress bar and Stop button while a copy is written.
class PageEditObserver final : public EditObserver {
public:
    PageEditObserver(QProgressBar& bar, const bool& stop) : m_bar(bar), m_stop(stop) {}
    bool stopRequested() override {
        QCoreApplication::processEvents();
        return m_stop;
    }
    void progress(int percent) override { m_bar.setValue(percent); }

private:
    QProgressBar& m_bar;
    const bool& m_stop;
};

// While a copy or a preview is written the page lets events run (for its
// progress bar and Stop): neither can be started again meanwhile.
class BusyButtons {
public:
    explicit BusyButtons(std::initializer_list<QPushButton*> buttons) : m_buttons(buttons) {
        for (QPushButton* b : m_buttons)
            b->setEnabled(false);
    }
    ~BusyButtons() {
        for (QPushButton* b : m_buttons)
            b->setEnabled(true);
    }
    BusyButtons(const BusyButtons&) = delete;
    BusyButtons& operator=(const BusyButtons&) = delete;

private:
    std::vector<QPushButton*> m_buttons;
};

QPushButton* addButton(QWidget* page, QLayout* row, const char* name, const QString& text) {
    auto* button = new QPushButton(text, page);
    button->setObjectName(QString::fromLatin1(name));
    row->addWidget(button);
    return button;
}

} // namespace

TEditPage::TEditPage(IDialogs& dialogs, TAudioPlayer* player, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_player(player) {
    setObjectName(QStringLiteral("tabEdit"));
    buildControls();
    buildKeys();
    showEdits();
}

TEditPage::~TEditPage() = default;

void TEditPage::buildControls() {
    auto* page = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    connect(addButton(this, top, "btnEditOpen", QStringLiteral("Open...")), &QPushButton::clicked, this,
            ErrorHandler::guard([this] { btnOpenClick(); }));
    lblFile = new QLabel(this);
    lblFile->setObjectName(QStringLiteral("lblEditFile"));
    top->addWidget(lblFile, 1);
    page->addLayout(top);
    m_wave = new TWaveform(this);
    m_wave->setObjectName(QStringLiteral("wavEdit"));
    m_wave->setMinimumHeight(180);
    page->addWidget(m_wave, 1);
    connect(m_wave, &TWaveform::selectionDragged, this, [this](qint64 a, qint64 b) { setSelectionMs(a, b); });
    connect(m_wave, &TWaveform::seekRequested, this, [this](qint64 ms) { m_wave->setPositionMs(ms); });

    auto* edits = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, void (TEditPage::*handler)()) {
        return addHandlerButton(edits, name, text, handler);
    };
    button("btnEditDelete", QStringLiteral("Delete"), &TEditPage::btnDeleteClick);
    button("btnEditKeep", QStringLiteral("Keep only"), &TEditPage::btnKeepClick);
    edtLevel = new QDoubleSpinBox(this);
    edtLevel->setObjectName(QStringLiteral("edtLevel"));
    edtLevel->setRange(-30.0, 30.0);
    edtLevel->setSingleStep(1.5);
    edtLevel->setDecimals(1);
    edtLevel->setSuffix(QStringLiteral(" dB"));
    edits->addWidget(edtLevel);
    button("btnEditLevel", QStringLiteral("Level"), &TEditPage::btnLevelClick);
    button("btnEditFadeIn", QStringLiteral("Fade in"), &TEditPage::btnFadeInClick);
    button("btnEditFadeOut", QStringLiteral("Fade out"), &TEditPage::btnFadeOutClick);
    btnUndo = button("btnEditUndo", QStringLiteral("Undo"), &TEditPage::btnUndoClick);
    btnRedo = button("btnEditRedo", QStringLiteral("Redo"), &TEditPage::btnRedoClick);
    page->addLayout(edits);
    buildListenRow(page);

    auto* save = new QHBoxLayout;
    chkExact = new QCheckBox(QStringLiteral("Exact"), this);
    chkExact->setObjectName(QStringLiteral("chkEditExact"));
    save->addWidget(chkExact);
    prgSave = new QProgressBar(this);
    prgSave->setObjectName(QStringLiteral("prgEditSave"));
    prgSave->setRange(0, 100);
    save->addWidget(prgSave, 1);
    btnSave = addButton(this, save, "btnEditSaveAs", QStringLiteral("Save as..."));
    connect(btnSave, &QPushButton::clicked, this, ErrorHandler::guard([this] { btnSaveAsClick(); }));
    btnStop = addButton(this, save, "btnEditStop", QStringLiteral("Stop"));
    connect(btnStop, &QPushButton::clicked, this, [this] { btnStopClick(); });
    page->addLayout(save);
}

QPushButton* TEditPage::addHandlerButton(QLayout* row, const char* name, const QString& text,
                                         void (TEditPage::*handler)()) {
    QPushButton* b = addButton(this, row, name, text);
    connect(b, &QPushButton::clicked, this, ErrorHandler::guard([this, handler] { (this->*handler)(); }));
    return b;
}

// Finding pauses, with what is left of each, and listening to the cuts.
void TEditPage::buildListenRow(QVBoxLayout* page) {
    auto* row = new QHBoxLayout;
    addHandlerButton(row, "btnEditPauses", QStringLiteral("Find pauses..."), &TEditPage::btnPausesClick);
    edtPauseKeep = new QDoubleSpinBox(this);
    edtPauseKeep->setObjectName(QStringLiteral("edtPauseKeep"));
    edtPauseKeep->setToolTip(QStringLiteral("What Find pauses... leaves of each pause"));
    edtPauseKeep->setRange(0.0, 10.0);
    edtPauseKeep->setSingleStep(0.1);
    edtPauseKeep->setDecimals(1);
    edtPauseKeep->setSuffix(QStringLiteral(" s"));
    edtPauseKeep->setSpecialValueText(QStringLiteral("remove"));
    edtPauseKeep->setValue(double(kPauseKeptMs) / 1000.0);
    row->addWidget(edtPauseKeep);
    row->addStretch(1);
    btnPlayCut =
        addHandlerButton(row, "btnEditPlayCut", QStringLiteral("Play across the cut"), &TEditPage::btnPlayCutClick);
    page->addLayout(row);
}

void TEditPage::buildKeys() {
    const auto key = [this](const char* name, const QKeySequence& sequence, auto handler) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setObjectName(QString::fromLatin1(name));
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, ErrorHandler::guard(handler));
    };
    key("scEditDelete", QKeySequence(Qt::Key_Delete), [this] { btnDeleteClick(); });
    key("scEditKeep", QKeySequence(QStringLiteral("Ctrl+K")), [this] { btnKeepClick(); });
    key("scEditUndo", QKeySequence::Undo, [this] { btnUndoClick(); });
    key("scEditRedo", QKeySequence::Redo, [this] { btnRedoClick(); });
    key("scEditSelStart", QKeySequence(Qt::Key_BracketLeft),
        [this] { setSelectionMs(m_wave->positionMs(), std::max(m_selEndMs, m_wave->positionMs())); });
    key("scEditSelEnd", QKeySequence(Qt::Key_BracketRight),
        [this] { setSelectionMs(std::min(m_selStartMs, m_wave->positionMs()), m_wave->positionMs()); });
}

void TEditPage::openFile(const QString& path) {
    m_path = path;
    m_edits = EditList();
    m_unsaved = false;
    lblFile->setText(path);
    m_wave->openFile(path);
    setSelectionMs(0, 0);
    showEdits();
}

void TEditPage::setSelectionMs(int64_t startMs, int64_t endMs) {
    m_selStartMs = std::max<int64_t>(0, startMs);
    m_selEndMs = std::max(m_selStartMs, endMs);
    m_wave->setSelectionMs(m_selStartMs, m_selEndMs);
}

void TEditPage::btnOpenClick() {
    if (!offerToSaveEdits())
        return;
    if (const auto path = m_dialogs.openFile(QStringLiteral("MP3 files (*.mp3);;All files (*)")))
        openFile(*path);
}

void TEditPage::apply(EditKind kind, int gainSteps) {
    if (m_path.isEmpty() || m_selEndMs <= m_selStartMs)
        return;
    m_edits.Apply({kind, {{m_selStartMs, m_selEndMs}}, gainSteps});
    m_unsaved = true;
    showEdits();
}

void TEditPage::btnDeleteClick() {
    apply(EditKind::Delete);
}
void TEditPage::btnKeepClick() {
    apply(EditKind::Keep);
}
void TEditPage::btnLevelClick() {
    if (const int steps = GainStepsOf(edtLevel->value()); steps != 0)
        apply(EditKind::Gain, steps);
}
void TEditPage::btnFadeInClick() {
    apply(EditKind::FadeIn);
}
void TEditPage::btnFadeOutClick() {
    apply(EditKind::FadeOut);
}
void TEditPage::btnUndoClick() {
    m_unsaved = m_edits.Undo() || m_unsaved;
    showEdits();
}
void TEditPage::btnRedoClick() {
    m_unsaved = m_edits.Redo() || m_unsaved;
    showEdits();
}

void TEditPage::btnSaveAsClick() {
    if (m_path.isEmpty())
        return;
    const QFileInfo source(m_path);
    const auto output = m_dialogs.saveFile(QStringLiteral("MP3 files (*.mp3)"), QStringLiteral("mp3"),
                                           source.completeBaseName() + QStringLiteral("_edited.mp3"));
    if (!output)
        return;
    m_stopRequested = false;
    prgSave->setValue(0);
    PageEditObserver observer(*prgSave, m_stopRequested);
    EditResult result = EditResult::Stopped;
    {
        const BusyButtons busy{btnSave, btnPlayCut};
        result = RunEdit(m_path.toStdString(), output->toStdString(), m_edits,
                         chkExact->isChecked() ? EditMode::Exact : EditMode::Frames, observer);
    }
    m_dialogs.messageBox(QStringLiteral("Edit MP3"),
                         result == EditResult::Completed ? QStringLiteral("Editing MP3 is completed.")
                                                         : QStringLiteral("Editing MP3 is stopped."),
                         MessageIcon::Information);
}

void TEditPage::btnPlayCutClick() {
    if (m_path.isEmpty())
        return;
    if (!m_previewDir || !m_previewDir->isValid())
        m_previewDir = std::make_unique<QTemporaryDir>();
    if (!m_previewDir->isValid())
        throw std::runtime_error("No folder for the preview of the cuts: " + m_previewDir->errorString().toStdString());
    const QString preview = m_previewDir->filePath(QStringLiteral("cuts.mp3"));
    // The player lets go of the last preview before it is written anew.
    if (m_player)
        m_player->Close();
    m_stopRequested = false;
    prgSave->setValue(0);
    PageEditObserver observer(*prgSave, m_stopRequested);
    const BusyButtons busy{btnSave, btnPlayCut};
    if (RunCutPreview(m_path.toStdString(), preview.toStdString(), m_edits,
                      chkExact->isChecked() ? EditMode::Exact : EditMode::Frames, observer) != EditResult::Completed)
        return;
    m_previewFile = preview;
    if (m_player && m_player->Open(preview.toStdString()))
        m_player->Play();
}

void TEditPage::btnPausesClick() {
    if (m_path.isEmpty())
        return;
    m_stopRequested = false;
    const std::optional<LevelProfile> profile = ScanLevels(
        m_path.toStdString(), [this](int percent) { prgSave->setValue(percent); },
        [this] {
            QCoreApplication::processEvents();
            return m_stopRequested;
        });
    if (!profile)
        return;
    const int64_t keep = std::llround(edtPauseKeep->value() * 1000.0);
    for (const Silence& pause : profile->FindSilences(SilenceOptions{})) {
        const int64_t cut = pause.lengthMs() - keep;
        if (cut <= 0)
            continue;
        const int64_t start = pause.startMs + keep / 2;
        m_edits.Apply({EditKind::Delete, {{start, start + cut}}, 0});
        m_unsaved = true;
    }
    showEdits();
}

bool TEditPage::offerToSaveEdits() {
    if (m_path.isEmpty() || !m_unsaved || m_edits.Empty())
        return true;
    const QString list = m_path + QStringLiteral(".edits");
    const MessageResult answer = m_dialogs.messageBox(
        QStringLiteral("Edit MP3"), QStringLiteral("Save the edits of \"%1\" as \"%2\"?").arg(m_path, list),
        MessageIcon::Question, MessageButtons::YesNoCancel);
    if (answer == MessageResult::Yes) {
        m_edits.Save(list.toStdString());
        m_unsaved = false;
    }
    return answer != MessageResult::Cancel;
}

void TEditPage::showEdits() {
    std::vector<TWaveform::Marker> markers;
    // Until the waveform knows the file's length, a crop reaches as far as
    // the edits do.
    int64_t length = m_wave->lengthMs();
    for (const EditOperation& op : m_edits.Operations())
        for (const EditRange& r : op.Ranges)
            length = m_wave->lengthMs() > 0 ? length : std::max(length, r.EndMs);
    if (length > 0) {
        int64_t at = 0;
        for (const EditRange& kept : m_edits.KeptRanges(length)) {
            if (kept.StartMs > at)
                markers.push_back({at, kept.StartMs, kRemovedColor});
            at = kept.EndMs;
        }
        if (at < length)
            markers.push_back({at, length, kRemovedColor});
    }
    for (const GainSpan& gain : m_edits.Gains())
        markers.push_back({gain.Range.StartMs, gain.Range.EndMs, gain.Fade ? kFadeColor : kLevelColor});
    m_wave->setMarkers(std::move(markers));
    btnUndo->setEnabled(m_edits.CanUndo());
    btnRedo->setEnabled(m_edits.CanRedo());
}

} // namespace tindrel
