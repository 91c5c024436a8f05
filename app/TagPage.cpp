// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/FormBuilder.h"
#include "app/Main.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/PlatformInt.h"
#include "player/AudioPlayer.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QValidator>

namespace tindrel {

namespace {

const char* const kFieldCaptions[] = {"Title:", "Artist:", "Album:", "Year:", "Genre:", "Comment:"};
// The background of a disabled tag field: the colour of an inactive title bar.
const QColor kInactiveCaption(0xbf, 0xcd, 0xdb);

// Tag texts are bytes; the page shows one byte as one character.
QString fromTag(const std::string& bytes) { return QString::fromLatin1(bytes.data(), qsizetype(bytes.size())); }
std::string toTag(const QString& text) { return text.toLatin1().toStdString(); }

// A track typed on the page: a whole number in the platform's syntax, kept
// in 8 bits; anything else, or a value of 0 or less, means no track.
uint8_t trackFromText(const QString& text) {
    int32_t value = 0;
    if (!TryParsePlatformInt(text.toStdString(), value) || value <= 0)
        return 0;
    return static_cast<uint8_t>(value);
}

// Limits what the user types into a field, but not what the page itself
// puts there: a longer text copied in stays whole, and the user may still
// shorten it.
class TypingLimit final : public QValidator {
public:
    TypingLimit(QLineEdit* field, int limit) : QValidator(field), m_limit(limit) {
        // The field's own text is already the candidate while it validates,
        // so the length before the edit is kept here.
        connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { m_lengthBefore = text.size(); });
    }
    State validate(QString& input, int&) const override {
        const bool grows = input.size() > m_lengthBefore;
        return grows && input.size() > m_limit ? Invalid : Acceptable;
    }

private:
    int m_limit;
    qsizetype m_lengthBefore = 0;
};

void limitTyping(QLineEdit* field, int limit) { field->setValidator(new TypingLimit(field, limit)); }

void setFieldEnabled(QWidget* field, bool enabled) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, enabled ? QApplication::palette().color(QPalette::Base) : kInactiveCaption);
    field->setPalette(palette);
    field->setEnabled(enabled);
}

} // namespace

QWidget* TMainForm::buildTagGroup(QWidget* page, bool v1) {
    // The two groups have the same shape; the ID3v1 names end in "1" and its
    // fields take at most what the 128-byte tag can hold.
    const QString suffix = v1 ? QStringLiteral("1") : QString();
    const int x = v1 ? 6 : 316;
    const int width = v1 ? 304 : 320;
    TagGroup& g = v1 ? m_v1 : m_v2;
    g.group = make<QGroupBox>(page, v1 ? QStringLiteral("gpbID3v1") : QStringLiteral("gpbID3v2"),
                              {x, 38, width, v1 ? 222 : 260});
    g.group->setTitle(v1 ? QStringLiteral("ID3v1") : QStringLiteral("ID3v2"));
    g.exists = make<QCheckBox>(g.group, v1 ? QStringLiteral("chkTagExists1") : QStringLiteral("chkTagExists"),
                               {10, 22, 150, 22});
    g.exists->setText(v1 ? QStringLiteral("ID3v1 Tag Exists") : QStringLiteral("ID3 v2 Tag Exists"));
    makeLabel(g.group, {}, QStringLiteral("Track:"), {width - 110, 22, 46, 22});
    g.track = make<QLineEdit>(g.group, QStringLiteral("TrackEdit") + suffix, {width - 62, 21, 52, 24});
    limitTyping(g.track, v1 ? 2 : 250);

    const int fieldWidth = width - 86;
    const char* const editNames[] = {"TitleEdit", "ArtistEdit", "AlbumEdit", "YearEdit"};
    QLineEdit** edits[] = {&g.title, &g.artist, &g.album, &g.year};
    const int v1Limits[] = {30, 30, 30, 4};
    for (int i = 0; i < 6; ++i) {
        const int y = 52 + 28 * i;
        makeLabel(g.group, {}, QString::fromLatin1(kFieldCaptions[i]), {10, y, 64, 24});
        const QRect field(76, y, fieldWidth, 24);
        if (i < 4) {
            *edits[i] = make<QLineEdit>(g.group, QString::fromLatin1(editNames[i]) + suffix, field);
            limitTyping(*edits[i], v1 ? v1Limits[i] : 250);
        } else if (i == 4 && v1) {
            g.genreList = make<QComboBox>(g.group, QStringLiteral("GenreComboBox1"), field);
        } else if (i == 4) {
            g.genre = make<QLineEdit>(g.group, QStringLiteral("GenreEdit"), field);
        } else if (v1) {
            g.comment = make<QLineEdit>(g.group, QStringLiteral("CommentEdit1"), field);
            limitTyping(g.comment, 30);
        } else {
            g.memo = make<QPlainTextEdit>(g.group, QStringLiteral("CommentMemo"), field.adjusted(0, 0, 0, 40));
            g.memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        }
    }
    return g.group;
}

QWidget* TMainForm::buildTagPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tabTag"));
    edtFileTag = make<QLineEdit>(page, QStringLiteral("edtFileTag"), {6, 6, 538, 26});
    auto* open = make<QPushButton>(page, QStringLiteral("btnOpenTag"), {552, 6, 84, 26});
    open->setText(QStringLiteral("&Open"));
    buildTagGroup(page, true);
    buildTagGroup(page, false);
    struct ButtonSpec {
        const char* name;
        const char* caption;
        QRect geometry;
        void (TMainForm::*handler)();
    };
    const ButtonSpec buttons[] = {
        {"Button1", "&Copy to ID3v2", {6, 266, 104, 28}, &TMainForm::Button1Click},
        {"Button2", "Copy &from ID3v2", {114, 266, 114, 28}, &TMainForm::Button2Click},
        {"Button3", "&Updat All", {232, 266, 78, 28}, &TMainForm::Button3Click},
    };
    for (const ButtonSpec& entry : buttons) {
        auto* button = make<QPushButton>(page, QString::fromLatin1(entry.name), entry.geometry);
        button->setText(QString::fromLatin1(entry.caption));
        connect(button, &QPushButton::clicked, this, ErrorHandler::guard([this, h = entry.handler] { (this->*h)(); }));
    }
    connect(open, &QPushButton::clicked, this, ErrorHandler::guard([this] { btnOpenTagClick(); }));
    // A box's click handler runs whenever its state changes, by the user or
    // by the page itself.
    connect(m_v1.exists, &QCheckBox::toggled, this, ErrorHandler::guard([this] { chkTagExists1Click(); }));
    connect(m_v2.exists, &QCheckBox::toggled, this, ErrorHandler::guard([this] { chkTagExistsClick(); }));
    addHelpAndAbout(page, 3, {456, 302, 86, 26}, {550, 302, 86, 26});
    return page;
}

void TMainForm::tabTagShow() {
    if (!m_genreListFilled) {
        m_genreListFilled = true;
        m_v1.genreList->addItem(QString());
        for (std::string_view name : GenreNames)
            m_v1.genreList->addItem(QString::fromLatin1(name.data(), qsizetype(name.size())));
    }
    edtFileTag->setText(edtFile->text());
    if (!edtFileTag->text().isEmpty()) {
        ShowID3v1(edtFileTag->text());
        ShowID3v2(edtFileTag->text());
    }
}

void TMainForm::btnOpenTagClick() {
    if (const auto chosen = m_dialogs.openFile(QStringLiteral("MP3 files (*.mp3)|*.mp3")))
        edtFileTag->setText(*chosen);
    if (!edtFileTag->text().isEmpty()) {
        ShowID3v1(edtFileTag->text());
        ShowID3v2(edtFileTag->text());
    }
}

void TMainForm::clearGenreSelection() {
    // With no entry selected a save would store 254; the empty first entry
    // stands for "no genre" and saves as 255.
    m_v1.genreList->setCurrentIndex(m_v1.genreList->count() > 0 ? 0 : -1);
}

void TMainForm::ShowID3v1(const QString& fileName) {
    m_v1.group->setTitle(QStringLiteral("ID3v1"));
    m_v1.exists->setChecked(false);
    for (QLineEdit* edit : {m_v1.title, m_v1.artist, m_v1.album, m_v1.track, m_v1.year, m_v1.comment})
        edit->clear();
    clearGenreSelection();
    const std::string path = fileName.toStdString();
    if (!FileExists(path))
        return;
    if (m_id3v1Tag->Load(path)) {
        if (m_id3v1Tag->Exists()) {
            m_v1.exists->setChecked(true);
            m_v1.group->setTitle(m_id3v1Tag->Version() == 1 ? QStringLiteral("ID3v1 - Version 1.0")
                                                           : QStringLiteral("ID3v1 - Version 1.1"));
            m_v1.title->setText(fromTag(m_id3v1Tag->Title()));
            m_v1.artist->setText(fromTag(m_id3v1Tag->Artist()));
            m_v1.album->setText(fromTag(m_id3v1Tag->Album()));
            m_v1.year->setText(fromTag(m_id3v1Tag->Year()));
            m_v1.track->setText(QString::number(m_id3v1Tag->Track()));
            m_v1.comment->setText(fromTag(m_id3v1Tag->Comment()));
            if (m_id3v1Tag->GenreIndex() < kGenreCount)
                m_v1.genreList->setCurrentIndex(m_id3v1Tag->GenreIndex() + 1);
        } else {
            m_v1.exists->setChecked(false);
        }
    }
    EnableID3v1Edits(m_v1.exists->isChecked());
}

void TMainForm::ShowID3v2(const QString& fileName) {
    m_v2.group->setTitle(QStringLiteral("ID3v2"));
    m_v2.exists->setChecked(false);
    for (QLineEdit* edit : {m_v2.title, m_v2.artist, m_v2.album, m_v2.track, m_v2.year, m_v2.genre})
        edit->clear();
    m_v2.memo->clear();
    const std::string path = fileName.toStdString();
    if (!FileExists(path))
        return;
    if (m_id3v2Tag->Load(path)) {
        if (m_id3v2Tag->Exists()) {
            m_v2.exists->setChecked(true);
            m_v2.group->setTitle(QStringLiteral("ID3v2 - Version 2.") + QString::number(m_id3v2Tag->MajorVersion()));
            m_v2.title->setText(fromTag(m_id3v2Tag->Title()));
            m_v2.artist->setText(fromTag(m_id3v2Tag->Artist()));
            m_v2.album->setText(fromTag(m_id3v2Tag->Album()));
            m_v2.year->setText(fromTag(m_id3v2Tag->Year()));
            m_v2.genre->setText(fromTag(m_id3v2Tag->Genre()));
            m_v2.memo->setPlainText(fromTag(m_id3v2Tag->Comment()));
            if (m_id3v2Tag->Track() > 0)
                m_v2.track->setText(QString::number(m_id3v2Tag->Track()));
        } else {
            m_v2.exists->setChecked(false);
        }
    }
    EnableID3v2Edits(m_v2.exists->isChecked());
}

void TMainForm::EnableID3v1Edits(bool enabled) {
    for (QWidget* field : std::initializer_list<QWidget*>{m_v1.track, m_v1.title, m_v1.artist, m_v1.album, m_v1.year,
                                                          m_v1.genreList, m_v1.comment})
        setFieldEnabled(field, enabled);
}

void TMainForm::EnableID3v2Edits(bool enabled) {
    for (QWidget* field : std::initializer_list<QWidget*>{m_v2.track, m_v2.title, m_v2.artist, m_v2.album, m_v2.year,
                                                          m_v2.genre, m_v2.memo})
        setFieldEnabled(field, enabled);
}

void TMainForm::chkTagExists1Click() { EnableID3v1Edits(m_v1.exists->isChecked()); }

void TMainForm::chkTagExistsClick() { EnableID3v2Edits(m_v2.exists->isChecked()); }

void TMainForm::Button1Click() {
    if (!m_v1.exists->isChecked())
        return;
    m_v2.exists->setChecked(true);
    EnableID3v2Edits(true);
    m_v2.track->setText(m_v1.track->text());
    m_v2.title->setText(m_v1.title->text());
    m_v2.artist->setText(m_v1.artist->text());
    m_v2.album->setText(m_v1.album->text());
    m_v2.year->setText(m_v1.year->text());
    m_v2.genre->setText(m_v1.genreList->currentText());
    m_v2.memo->setPlainText(m_v1.comment->text());
}

namespace {

// Lower-cases the letters A to Z only, as the genre match does.
QString asciiLower(const QString& text) {
    QString lowered = text;
    for (QChar& c : lowered)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return lowered;
}

} // namespace

void TMainForm::Button2Click() {
    if (!m_v2.exists->isChecked())
        return;
    m_v1.exists->setChecked(true);
    EnableID3v1Edits(true);
    m_v1.track->setText(m_v2.track->text());
    m_v1.title->setText(m_v2.title->text());
    m_v1.artist->setText(m_v2.artist->text());
    m_v1.album->setText(m_v2.album->text());
    m_v1.year->setText(m_v2.year->text());
    const QString wanted = asciiLower(m_v2.genre->text());
    for (int i = 0; i < m_v1.genreList->count(); ++i) {
        if (asciiLower(m_v1.genreList->itemText(i)) == wanted) {
            m_v1.genreList->setCurrentIndex(i);
            break;
        }
    }
    m_v1.comment->setText(m_v2.memo->toPlainText());
}

void TMainForm::Button3Click() {
    if (m_v1.exists->isChecked())
        SaveID3v1(edtFileTag->text());
    if (m_v2.exists->isChecked())
        SaveID3v2(edtFileTag->text());
}

void TMainForm::releaseFileForWriting() {
    TmrPlayer->stop();
    m_player->Close();
}

void TMainForm::SaveID3v1(const QString& fileName) {
    const std::string path = fileName.toStdString();
    if (!FileExists(path))
        return;
    releaseFileForWriting();
    m_id3v1Tag->SetTitle(toTag(m_v1.title->text()));
    m_id3v1Tag->SetArtist(toTag(m_v1.artist->text()));
    m_id3v1Tag->SetAlbum(toTag(m_v1.album->text()));
    m_id3v1Tag->SetYear(toTag(m_v1.year->text()));
    m_id3v1Tag->SetTrack(trackFromText(m_v1.track->text()));
    const int entry = m_v1.genreList->currentIndex();
    m_id3v1Tag->SetGenreIndex(entry <= 0 ? 255 : static_cast<uint8_t>(entry - 1));
    m_id3v1Tag->SetComment(toTag(m_v1.comment->text()));
    m_id3v1Tag->Save(path);
}

void TMainForm::SaveID3v2(const QString& fileName) {
    const std::string path = fileName.toStdString();
    if (!FileExists(path))
        return;
    releaseFileForWriting();
    m_id3v2Tag->SetTitle(toTag(m_v2.title->text()));
    m_id3v2Tag->SetArtist(toTag(m_v2.artist->text()));
    m_id3v2Tag->SetAlbum(toTag(m_v2.album->text()));
    m_id3v2Tag->SetTrack(trackFromText(m_v2.track->text()));
    m_id3v2Tag->SetYear(toTag(m_v2.year->text()));
    m_id3v2Tag->SetGenre(toTag(m_v2.genre->text()));
    m_id3v2Tag->SetComment(toTag(m_v2.memo->toPlainText()));
    m_id3v2Tag->Save(path);
}

} // namespace tindrel
