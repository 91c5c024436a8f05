// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The preview on the split page: play, pause, stop, the position on the
// track bar, and taking the start and end times from it.
#include "app/Main.h"
#include "app/TrackBar.h"
#include "core/TimeText.h"
#include "platform/FileOps.h"
#include "player/AudioPlayer.h"

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace tindrel {

void TMainForm::sbtnPlayClick() {
    const std::string path = edtFile->text().toStdString();
    if (!FileExists(path))
        return;
    m_player->Open(path);
    m_player->SetPosition(static_cast<uint32_t>(tkbPosition->value()) * 1000);
    m_player->Play();
    TmrPlayer->start();
}

void TMainForm::sbtnPauseClick() {
    // The button acts by its hint, which only this button changes.
    if (sbtnPause->toolTip() == QLatin1String("Pause")) {
        m_player->SetPaused(true);
        sbtnPause->setToolTip(QStringLiteral("Resume"));
        TmrPlayer->stop();
    } else {
        m_player->SetPaused(false);
        sbtnPause->setToolTip(QStringLiteral("Pause"));
        TmrPlayer->start();
    }
}

void TMainForm::sbtnStopClick() {
    m_player->Stop();
    TmrPlayer->stop();
    tkbPosition->setValue(0);
}

void TMainForm::TmrPlayerTimer() {
    m_timerMoving = true;
    tkbPosition->setValue(static_cast<int>(m_player->GetPosition() / 1000));
    m_timerMoving = false;
}

void TMainForm::tkbPositionChange() {
    if (edtFile->text().isEmpty())
        return;
    const int p = tkbPosition->value();
    const int32_t ms = p == tkbPosition->maximum() ? m_lengthMs % 1000 : 0;
    labTime1->setText(QString::fromStdString(PositionLabelText(p, ms)));
    if (!m_timerMoving && m_player->Mode() == TPlayerMode::Playing) {
        const int32_t volume = m_player->GetVolume();
        m_player->SetVolume(0);
        m_player->SetPosition(static_cast<uint32_t>(p) * 1000);
        m_player->SetVolume(volume);
        m_player->Play();
    }
}

void TMainForm::sbtnBeginClick() {
    setFieldByButton(edtStart, m_startOneShot, true);
}

void TMainForm::sbtnEndClick() {
    setFieldByButton(edtEnd, m_endOneShot, false);
}

void TMainForm::setFieldByButton(QLineEdit* field, bool& oneShot, bool isStart) {
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
