// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The split page: opening the source, choosing the kind of split, and the
// two kinds of split themselves.
#include "app/FormBuilder.h"
#include "app/Main.h"
#include "app/TrackBar.h"
#include "app/UpDown.h"
#include "core/PlayerSource.h"
#include "core/Split.h"
#include "core/TimeText.h"
#include "platform/Dialogs.h"
#include "platform/FileOps.h"
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
    if (edtStart->text() == edtEnd->text()) {
        m_dialogs.information(QStringLiteral("Start Time and End Time can not be the same"));
        return;
    }
    const std::string source = edtFile->text().toStdString();
    const auto chosen = m_dialogs.saveFile(kMp3SaveFilter, QStringLiteral("mp3"),
                                           QString::fromStdString(SourceStem(source)) + QStringLiteral("_chunk_1.mp3"));
    if (!chosen)
        return;
    // Another spelling of the source (a link, "..", a relative path) is the
    // source all the same.
    if (SameFile(chosen->toStdString(), source)) {
        m_dialogs.information(QStringLiteral("Output file can not be the same as the input file."));
        return;
    }
    m_id3v1Tag->Load(source);
    m_id3v2Tag->Load(source);
    const std::string output = chosen->toStdString();
    const bool written = CutRange(source, output, edtStart->text().toStdString(), kCutOffsetMs, true,
                                  edtEnd->text().toStdString(), describeWithPlayer());
    m_dialogs.information(written ? QStringLiteral("Splitting MP3 is completed.")
                                  : QStringLiteral("Splitting MP3 is failed."));
    // Nothing was written after a refusal: the file of that name, if any, is
    // not the piece and keeps its own tags.
    if (written) {
        m_id3v1Tag->Save(output);
        m_id3v2Tag->Save(output);
    }
}

void TMainForm::splitPartsMode() {
    m_splitStopRequested = false;
    int32_t n = 0;
    if (!TryParsePlatformInt(edtPart->text().toStdString(), n) || n <= 0) {
        m_dialogs.information(QStringLiteral("Please specify a proper quantity of parts."));
        return;
    }
    const auto chosen = m_dialogs.chooseFolder();
    if (!chosen)
        return;
    if (!DirectoryExists(chosen->toStdString())) {
        m_dialogs.information(QStringLiteral("Please specify a proper output directory."));
        return;
    }
    m_splitRunning = true;
    const auto running = qScopeGuard([this] {
        m_splitRunning = false;
        pgbProgress->hide();
    });
    // The run keeps its own copies of everything it works from, so what the
    // user does meanwhile (opening another file, say) cannot change it.
    const std::string folder = IncludeTrailingSeparator(chosen->toStdString());
    const std::string source = edtFile->text().toStdString();
    const std::string stem = SourceStem(source);
    const int64_t lengthMs = m_lengthMs;
    m_id3v1Tag->Load(source);
    m_id3v2Tag->Load(source);
    const TID3v1 v1 = *m_id3v1Tag;
    const TID3v2 v2 = *m_id3v2Tag;
    pgbProgress->show();
    QStringList refused;
    for (int i = 0; i < n; ++i) {
        PumpMessages();
        const PartTimes t = PartRange(i, n, lengthMs);
        const std::string output = PartOutputPath(folder, stem, i + 1);
        if (m_splitStopRequested)
            return;
        if (CutRange(source, output, FormatTimeText(t.startMs / 1000.0), kCutOffsetMs, true,
                     FormatTimeText(t.endMs / 1000.0), describeWithPlayer())) {
            TID3v1(v1).Save(output);
            TID3v2(v2).Save(output);
        } else {
            refused << QString::number(i + 1);
        }
        pgbProgress->setValue(PartProgress(i, n));
    }
    pgbProgress->hide();
    QString message = QStringLiteral("Splitting MP3 is completed.");
    if (!refused.isEmpty())
        message += QStringLiteral("\nThese parts could not be cut and were not written: ") +
                   refused.join(QStringLiteral(", ")) + QLatin1Char('.');
    m_dialogs.information(message);
}

} // namespace tindrel
