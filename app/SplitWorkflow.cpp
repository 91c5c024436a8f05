// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The split page: opening the source, choosing the kind of split, and the
// two kinds of split themselves.
#include "app/Main.h"
#include "app/TrackBar.h"
#include "app/UpDown.h"
#include "core/PlayerSource.h"
#include "core/Split.h"
#include "core/TimeText.h"
#include "platform/Dialogs.h"
#include "platform/FileOps.h"
#include "platform/FormBuilder.h"
#include "platform/MessageWindow.h"
#include "platform/PlatformInt.h"
#include "player/AudioPlayer.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>

namespace tindrel {

namespace {

// ID3v1 texts are ISO-8859-1 bytes: one byte a character.
QString fromLatin1Tag(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

void TMainForm::btnOpenClick() {
    const auto chosen = m_dialogs.openFile(kMp3Filter);
    if (!chosen)
        return;
    edtFile->setText(*chosen);
    m_player->Close();
    const std::string path = chosen->toStdString();
    m_id3v1Tag->Load(path);
    if (m_id3v1Tag->Exists()) {
        const std::string* texts[] = {&m_id3v1Tag->Title(), &m_id3v1Tag->Artist(), &m_id3v1Tag->Album(),
                                      &m_id3v1Tag->Year(), &m_id3v1Tag->Comment()};
        for (int i = 0; i < 5; ++i)
            m_infoLabels[i]->setText(fromLatin1Tag(*texts[i]));
    } else {
        m_infoLabels[0]->setText(QString::fromStdString(SourceStem(path)));
        for (int i = 1; i < 5; ++i)
            m_infoLabels[i]->setText(QStringLiteral("Unknown"));
    }
    if (m_player->PlayerReady()) {
        m_player->Open(path);
        m_lengthMs = static_cast<int32_t>(m_player->GetPlayLength());
        tkbPosition->setMaximum(m_lengthMs / 1000);
        m_infoLabels[5]->setText(QString::fromStdString(FormatTimeText(m_lengthMs / 1000.0)));
    }
    edtStart->setText(QStringLiteral("00:00.000"));
    edtEnd->setText(QStringLiteral("00:00.000"));
    tkbPosition->setValue(0);
}

void TMainForm::rdbTimeClick() {
    for (QWidget* w : std::initializer_list<QWidget*>{edtStart, edtEnd, labStart1, labEnd1})
        w->setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{edtPart, updPart, labPart2})
        w->setEnabled(false);
}

void TMainForm::rdbPartClick() {
    for (QWidget* w : std::initializer_list<QWidget*>{edtStart, edtEnd, labStart1, labEnd1})
        w->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{edtPart, updPart, labPart2})
        w->setEnabled(true);
}

void TMainForm::btnStopClick() {
    m_splitStopRequested = true;
}

DescribeSource TMainForm::describeWithPlayer() {
    return [this](const std::string& path) { return DescribeWithPlayer(*m_player, path); };
}

void TMainForm::btnSplitClick() {
    // A parts run lets window events through; a second Split meanwhile
    // would run inside it.
    if (m_splitRunning)
        return;
    if (!FileExists(edtFile->text().toStdString())) {
        m_dialogs.information(QStringLiteral("Please open a MP3 file."));
        return;
    }
    if (rdbTime->isChecked())
        splitTimeMode();
    else
        splitPartsMode();
}

void TMainForm::splitTimeMode() {
    if (const auto refusal = SplitRangeRefusal(edtStart->text().toStdString(), edtEnd->text().toStdString())) {
        m_dialogs.information(QString::fromStdString(*refusal));
        return;
    }
    const std::string source = edtFile->text().toStdString();
    const auto chosen = m_dialogs.saveFile(kMp3SaveFilter, QStringLiteral("mp3"),
                                           QString::fromStdString(SourceStem(source)) + QStringLiteral("_chunk_1.mp3"));
    if (!chosen)
        return;
    const SplitOutcome outcome = RunSplitRange(source, chosen->toStdString(), edtStart->text().toStdString(),
                                               edtEnd->text().toStdString(), describeWithPlayer());
    m_dialogs.information(QString::fromStdString(outcome.message));
}

namespace {

// The gauge and the Stop button of the page, for a parts split.
class PageSplitObserver final : public SplitObserver {
public:
    PageSplitObserver(QProgressBar& gauge, const bool& stopRequested)
        : m_gauge(gauge), m_stopRequested(stopRequested) {}
    void letEventsRun() override { PumpMessages(); }
    bool stopRequested() override { return m_stopRequested; }
    void partDone(int, int, int percent) override { m_gauge.setValue(percent); }

private:
    QProgressBar& m_gauge;
    const bool& m_stopRequested;
};

} // namespace

void TMainForm::splitPartsMode() {
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
    m_splitRunning = true;
    const auto running = qScopeGuard([this] {
        m_splitRunning = false;
        pgbProgress->hide();
    });
    // The run keeps its own copies of everything it works from, so what the
    // user does meanwhile (opening another file, say) cannot change it.
    const std::string source = edtFile->text().toStdString();
    pgbProgress->show();
    PageSplitObserver observer(*pgbProgress, m_splitStopRequested);
    const SplitOutcome outcome =
        RunSplitParts(source, chosen->toStdString(), n, m_lengthMs, describeWithPlayer(), observer);
    pgbProgress->hide();
    if (outcome.result != SplitResult::Stopped)
        m_dialogs.information(QString::fromStdString(outcome.message));
}

} // namespace tindrel
