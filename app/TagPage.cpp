// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/FormBuilder.h"
#include "app/Main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tindrel {

namespace {

const char* const kFieldCaptions[] = {"Title:", "Artist:", "Album:", "Year:", "Genre:", "Comment:"};

} // namespace

QWidget* TMainForm::buildTagGroup(QWidget* page, bool v1) {
    // The two groups have the same shape; the ID3v1 names end in "1" and its
    // fields take at most what the 128-byte tag can hold.
    const QString suffix = v1 ? QStringLiteral("1") : QString();
    const int x = v1 ? 6 : 316;
    const int width = v1 ? 304 : 320;
    auto* group = make<QGroupBox>(page, v1 ? QStringLiteral("gpbID3v1") : QStringLiteral("gpbID3v2"),
                                  {x, 38, width, v1 ? 222 : 260});
    group->setTitle(v1 ? QStringLiteral("ID3v1") : QStringLiteral("ID3v2"));
    auto* exists = make<QCheckBox>(group, v1 ? QStringLiteral("chkTagExists1") : QStringLiteral("chkTagExists"),
                                   {10, 22, 150, 22});
    exists->setText(v1 ? QStringLiteral("ID3v1 Tag Exists") : QStringLiteral("ID3 v2 Tag Exists"));
    makeLabel(group, {}, QStringLiteral("Track:"), {width - 110, 22, 46, 22});
    auto* track = make<QLineEdit>(group, QStringLiteral("TrackEdit") + suffix, {width - 62, 21, 52, 24});
    track->setMaxLength(v1 ? 2 : 250);

    const int fieldWidth = width - 86;
    const char* const editNames[] = {"TitleEdit", "ArtistEdit", "AlbumEdit", "YearEdit"};
    const int v1Limits[] = {30, 30, 30, 4};
    for (int i = 0; i < 6; ++i) {
        const int y = 52 + 28 * i;
        makeLabel(group, {}, QString::fromLatin1(kFieldCaptions[i]), {10, y, 64, 24});
        if (i < 4) {
            auto* edit = make<QLineEdit>(group, QString::fromLatin1(editNames[i]) + suffix, {76, y, fieldWidth, 24});
            edit->setMaxLength(v1 ? v1Limits[i] : 250);
        } else if (i == 4) {
            if (v1) {
                make<QComboBox>(group, QStringLiteral("GenreComboBox1"), {76, y, fieldWidth, 24});
            } else {
                make<QLineEdit>(group, QStringLiteral("GenreEdit"), {76, y, fieldWidth, 24});
            }
        } else if (v1) {
            make<QLineEdit>(group, QStringLiteral("CommentEdit1"), {76, y, fieldWidth, 24})->setMaxLength(30);
        } else {
            auto* memo = make<QPlainTextEdit>(group, QStringLiteral("CommentMemo"), {76, y, fieldWidth, 64});
            memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        }
    }
    return group;
}

QWidget* TMainForm::buildTagPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tabTag"));
    make<QLineEdit>(page, QStringLiteral("edtFileTag"), {6, 6, 538, 26});
    make<QPushButton>(page, QStringLiteral("btnOpenTag"), {552, 6, 84, 26})->setText(QStringLiteral("&Open"));
    buildTagGroup(page, true);
    buildTagGroup(page, false);
    make<QPushButton>(page, QStringLiteral("Button1"), {6, 266, 104, 28})->setText(QStringLiteral("&Copy to ID3v2"));
    make<QPushButton>(page, QStringLiteral("Button2"), {114, 266, 114, 28})->setText(QStringLiteral("Copy &from ID3v2"));
    make<QPushButton>(page, QStringLiteral("Button3"), {232, 266, 78, 28})->setText(QStringLiteral("&Updat All"));
    addHelpAndAbout(page, 3, {456, 302, 86, 26}, {550, 302, 86, 26});
    return page;
}

} // namespace tindrel
