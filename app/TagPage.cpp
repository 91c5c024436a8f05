// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/TagPage.h"

#include "app/FileDrop.h"
#include "app/LoudnessDialog.h"
#include "core/ReadOnlyMark.h"
#include "core/TagFields.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/FormBuilder.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <cerrno>
#include <cstring>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QValidator>

namespace tindrel {

namespace {

const char* const kFieldCaptions[] = {"Title:", "Artist:", "Album:", "Year:", "Genre:", "Comment:"};
// The background of a disabled tag field: the colour of an inactive title bar.
const QColor kInactiveCaption(0xbf, 0xcd, 0xdb);

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

void limitTyping(QLineEdit* field, int limit) {
    field->setValidator(new TypingLimit(field, limit));
}

void setFieldEnabled(QWidget* field, bool enabled) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, enabled ? QApplication::palette().color(QPalette::Base) : kInactiveCaption);
    field->setPalette(palette);
    field->setEnabled(enabled);
}

} // namespace

TTagPage::TTagPage(IDialogs& dialogs, TID3v1& id3v1Tag, TID3v2& id3v2Tag, PreviewLink preview, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_id3v1Tag(id3v1Tag), m_id3v2Tag(id3v2Tag), m_preview(std::move(preview)) {
    setObjectName(QStringLiteral("tabTag"));
    edtFileTag = make<QLineEdit>(this, QStringLiteral("edtFileTag"), {6, 6, 538, 26});
    auto* open = makeButton(this, QStringLiteral("btnOpenTag"), QStringLiteral("&Open"), {552, 6, 84, 26});
    buildTagGroup(true);
    buildTagGroup(false);
    buildButtons();
    // Two lines, for a save that left a tag or took a read-only mark off.
    m_status = makeLabel(this, QStringLiteral("labStatus"), {}, {6, 382, 440, 40});
    m_status->setWordWrap(true);
    onClick(open, this, &TTagPage::btnOpenTagClick);
    connect(edtFileTag, &QLineEdit::returnPressed, this, ErrorHandler::guard([this] { openPath(edtFileTag->text()); }));
    setAcceptDrops(true);
    for (QLineEdit* field : findChildren<QLineEdit*>())
        field->setAcceptDrops(false);
    m_v2.memo->setAcceptDrops(false);
    // Reading order: the ID3v1 column with its buttons below it, then the
    // ID3v2 column.
    const QList<QWidget*> chain = {edtFileTag,
                                   open,
                                   m_v1.exists,
                                   m_v1.track,
                                   m_v1.title,
                                   m_v1.artist,
                                   m_v1.album,
                                   m_v1.year,
                                   m_v1.genreList,
                                   m_v1.comment,
                                   findChild<QWidget*>(QStringLiteral("Button1")),
                                   findChild<QWidget*>(QStringLiteral("Button2")),
                                   findChild<QWidget*>(QStringLiteral("Button3")),
                                   m_v2.exists,
                                   m_v2.track,
                                   m_v2.title,
                                   m_v2.artist,
                                   m_v2.album,
                                   m_v2.year,
                                   m_v2.genre,
                                   m_v2.memo};
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
    m_v2.memo->setTabChangesFocus(true);
    // A box's click handler runs whenever its state changes, by the user or
    // by the page itself.
    connect(m_v1.exists, &QCheckBox::toggled, this, ErrorHandler::guard([this] { chkTagExists1Click(); }));
    connect(m_v2.exists, &QCheckBox::toggled, this, ErrorHandler::guard([this] { chkTagExistsClick(); }));
}

void TTagPage::buildTagGroup(bool v1) {
    // The two groups have the same shape; the ID3v1 names end in "1" and its
    // fields take at most what the 128-byte tag can hold.
    const QString suffix = v1 ? QStringLiteral("1") : QString();
    const int x = v1 ? 6 : 316;
    const int width = v1 ? 304 : 320;
    TagGroup& g = v1 ? m_v1 : m_v2;
    g.group = make<QGroupBox>(this, v1 ? QStringLiteral("gpbID3v1") : QStringLiteral("gpbID3v2"),
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
}

void TTagPage::buildButtons() {
    struct ButtonSpec {
        const char* name;
        const char* caption;
        QRect geometry;
        void (TTagPage::*handler)();
    };
    const ButtonSpec buttons[] = {
        {"Button1", "&Copy to ID3v2", {6, 266, 104, 28}, &TTagPage::Button1Click},
        {"Button2", "Copy &from ID3v2", {114, 266, 114, 28}, &TTagPage::Button2Click},
        {"Button3", "&Updat All", {232, 266, 78, 28}, &TTagPage::Button3Click},
    };
    for (const ButtonSpec& entry : buttons) {
        auto* button =
            makeButton(this, QString::fromLatin1(entry.name), QString::fromLatin1(entry.caption), entry.geometry);
        onClick(button, this, entry.handler);
    }
    auto* loudness = makeButton(this, QStringLiteral("btnLoudness"), QStringLiteral("&Loudness..."), {6, 300, 104, 28});
    onClick(loudness, this, &TTagPage::btnLoudnessClick);
}

void TTagPage::btnLoudnessClick() {
    const QString file = edtFileTag->text();
    if (!FileExists(file.toStdString())) {
        m_dialogs.information(QStringLiteral("Please open a MP3 file."));
        return;
    }
    if (!m_loudness) {
        m_loudness = new TLoudnessDialog(m_dialogs, this);
        // The window writes ReplayGain frames while it is open. The page
        // shows the file as it is now, or, holding edits of the user's own,
        // keeps them and takes the new frames into the tag they will be
        // saved with, so that saving loses neither.
        connect(m_loudness, &TLoudnessDialog::FilesWritten, this, [this] {
            if (!HasUnsavedEdits())
                showBothTags();
            else if (m_shownFile == edtFileTag->text() && m_id3v2Tag.Load(m_shownFile.toStdString()))
                m_shownStamp = StampOf(m_shownFile.toStdString()); // the page knows the file as it is now
        });
    }
    m_loudness->Start({file}, false);
}

void TTagPage::tabTagShow() {
    if (m_v1.genreList->count() == 0) { // filled once, with its empty entry first
        m_v1.genreList->addItem(QString());
        for (std::string_view name : GenreNames)
            m_v1.genreList->addItem(QString::fromLatin1(name.data(), qsizetype(name.size())));
    }
    const QString previewFile = m_preview.openFile();
    // Coming back to edits of the same file keeps them; another file asks.
    if (HasUnsavedEdits() && (previewFile == edtFileTag->text() || !confirmDiscard()))
        return;
    edtFileTag->setText(previewFile);
    showBothTags();
}

void TTagPage::btnOpenTagClick() {
    // Cancelling the dialog leaves the page as it was, edits and all.
    if (const auto chosen = m_dialogs.openFile(kMp3Filter))
        openPath(*chosen);
}

void TTagPage::openPath(const QString& path) {
    if (!confirmDiscard())
        return;
    edtFileTag->setText(path);
    showBothTags();
}

void TTagPage::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event);
}

void TTagPage::dropEvent(QDropEvent* event) {
    TakeFileDrop(event, [this](const QStringList& paths) { openPath(paths.front()); });
}

QStringList TTagPage::pageSnapshot() const {
    QStringList fields;
    for (const TagGroup* g : {&m_v1, &m_v2})
        for (const QLineEdit* edit : {g->track, g->title, g->artist, g->album, g->year, g->genre, g->comment})
            fields << (edit ? edit->text() : QString());
    fields << QString::number(m_v1.genreList->currentIndex()) << m_v2.memo->toPlainText()
           << QString::number(m_v1.exists->isChecked()) << QString::number(m_v2.exists->isChecked());
    return fields;
}

bool TTagPage::HasUnsavedEdits() const {
    return !m_shownSnapshot.isEmpty() && pageSnapshot() != m_shownSnapshot;
}

bool TTagPage::confirmDiscard(const QString& afterwards) {
    if (!HasUnsavedEdits())
        return true;
    const QString question = QStringLiteral("The tags of \"") + m_shownFile +
                             QStringLiteral("\" have changes that are not saved. Discard them") + afterwards +
                             QStringLiteral("?");
    return m_dialogs.messageBox(QStringLiteral("Confirm"), question, MessageIcon::Question,
                                MessageButtons::YesNoDefaultNo) == MessageResult::Yes;
}

bool TTagPage::confirmQuit() {
    return confirmDiscard(QStringLiteral(" and quit"));
}

void TTagPage::showBothTags() {
    m_status->clear();
    if (!edtFileTag->text().isEmpty()) {
        ShowID3v1(edtFileTag->text());
        ShowID3v2(edtFileTag->text());
    }
    m_shownFile = edtFileTag->text();
    m_shownStamp = StampOf(m_shownFile.toStdString());
    m_shownSnapshot = pageSnapshot();
}

namespace {

// The fields both tag groups have, from the page and onto it.
template <typename Group, typename Fields> void readSharedFields(const Group& g, Fields& fields) {
    fields.exists = g.exists->isChecked();
    fields.caption = g.group->title().toStdString();
    fields.track = g.track->text().toStdString();
    fields.title = g.title->text().toStdString();
    fields.artist = g.artist->text().toStdString();
    fields.album = g.album->text().toStdString();
    fields.year = g.year->text().toStdString();
}

template <typename Group, typename Fields> void showSharedFields(const Group& g, const Fields& fields) {
    g.group->setTitle(QString::fromStdString(fields.caption));
    g.exists->setChecked(fields.exists);
    g.track->setText(QString::fromStdString(fields.track));
    g.title->setText(QString::fromStdString(fields.title));
    g.artist->setText(QString::fromStdString(fields.artist));
    g.album->setText(QString::fromStdString(fields.album));
    g.year->setText(QString::fromStdString(fields.year));
}

} // namespace

ID3v1Fields TTagPage::v1FromPage() const {
    ID3v1Fields fields;
    readSharedFields(m_v1, fields);
    // No entry selected at all counts as the empty first entry: no genre.
    fields.genreEntry = std::max(m_v1.genreList->currentIndex(), 0);
    fields.comment = m_v1.comment->text().toStdString();
    return fields;
}

ID3v2Fields TTagPage::v2FromPage() const {
    ID3v2Fields fields;
    readSharedFields(m_v2, fields);
    fields.genre = m_v2.genre->text().toStdString();
    fields.comment = m_v2.memo->toPlainText().toStdString();
    return fields;
}

void TTagPage::showOnPage(const ID3v1Fields& fields) {
    showSharedFields(m_v1, fields);
    // The list stays on its empty first entry whenever no genre is shown, so
    // saving gives "no genre" and never the 254 of an unselected list.
    m_v1.genreList->setCurrentIndex(fields.genreEntry < m_v1.genreList->count() ? fields.genreEntry : -1);
    m_v1.comment->setText(QString::fromStdString(fields.comment));
    // Without a file nothing was read that could open or close the fields;
    // only the box being unticked above may have closed them.
    if (fields.fileFound)
        EnableID3v1Edits(fields.exists);
}

void TTagPage::showOnPage(const ID3v2Fields& fields) {
    showSharedFields(m_v2, fields);
    m_v2.genre->setText(QString::fromStdString(fields.genre));
    m_v2.memo->setPlainText(QString::fromStdString(fields.comment));
    if (fields.fileFound)
        EnableID3v2Edits(fields.exists);
}

void TTagPage::ShowID3v1(const QString& fileName) {
    showOnPage(tindrel::ShowID3v1(fileName.toStdString(), m_id3v1Tag));
}

void TTagPage::ShowID3v2(const QString& fileName) {
    showOnPage(tindrel::ShowID3v2(fileName.toStdString(), m_id3v2Tag));
}

void TTagPage::EnableID3v1Edits(bool enabled) {
    for (QWidget* field : std::initializer_list<QWidget*>{m_v1.track, m_v1.title, m_v1.artist, m_v1.album, m_v1.year,
                                                          m_v1.genreList, m_v1.comment})
        setFieldEnabled(field, enabled);
}

void TTagPage::EnableID3v2Edits(bool enabled) {
    for (QWidget* field : std::initializer_list<QWidget*>{m_v2.track, m_v2.title, m_v2.artist, m_v2.album, m_v2.year,
                                                          m_v2.genre, m_v2.memo})
        setFieldEnabled(field, enabled);
}

void TTagPage::chkTagExists1Click() {
    EnableID3v1Edits(m_v1.exists->isChecked());
}

void TTagPage::chkTagExistsClick() {
    EnableID3v2Edits(m_v2.exists->isChecked());
}

void TTagPage::Button1Click() {
    ID3v2Fields to = v2FromPage();
    if (CopyToID3v2(v1FromPage(), to))
        showOnPage(to);
}

void TTagPage::Button2Click() {
    ID3v1Fields to = v1FromPage();
    if (CopyFromID3v2(v2FromPage(), to))
        showOnPage(to);
}

QString TTagPage::saveTarget() {
    // The fields hold what was read from the shown file and edited; written
    // into a name typed since, they would put one song's tags on another.
    // The field goes back to the file they belong to.
    if (!m_shownFile.isEmpty() && edtFileTag->text() != m_shownFile)
        edtFileTag->setText(m_shownFile);
    return edtFileTag->text();
}

bool TTagPage::confirmOverwritingChange(const QString& file) {
    if (file != m_shownFile || !m_shownStamp || StampOf(file.toStdString()) == m_shownStamp)
        return true;
    const QString name = QStringLiteral("\"") + file + QStringLiteral("\"");
    if (m_dialogs.messageBox(QStringLiteral("Confirm"),
                             name + QStringLiteral(" changed on disk since it was loaded. Overwrite those changes?"),
                             MessageIcon::Question, MessageButtons::YesNoDefaultNo) == MessageResult::Yes)
        return true;
    if (m_dialogs.messageBox(QStringLiteral("Confirm"),
                             QStringLiteral("Show the tags of ") + name +
                                 QStringLiteral(" as they are now? The edits on this page are discarded."),
                             MessageIcon::Question, MessageButtons::YesNoDefaultNo) == MessageResult::Yes)
        showBothTags();
    m_status->setText(
        QStringLiteral("Nothing was saved: %1 changed on disk since it was loaded.").arg(QFileInfo(file).fileName()));
    return false;
}

void TTagPage::Button3Click() {
    const bool v1 = m_v1.exists->isChecked();
    const bool v2 = m_v2.exists->isChecked();
    const QString file = saveTarget();
    if (!v1 && !v2) {
        m_status->setText(QStringLiteral("Nothing was saved: both tag boxes are unticked, and an unticked box leaves "
                                         "its tag in the file as it is."));
        return;
    }
    if (!confirmOverwritingChange(file))
        return;
    const bool wasReadOnly = HasReadOnlyMark(file.toStdString());
    const bool saved = v1 && v2 ? SaveBothGroups(file) : v1 ? SaveID3v1(file) : SaveID3v2(file);
    if (!saved) {
        m_status->setText(QStringLiteral("The tags of %1 were not saved.").arg(QFileInfo(file).fileName()));
        return;
    }
    m_shownFile = file;
    m_shownStamp = StampOf(file.toStdString());
    m_shownSnapshot = pageSnapshot();
    m_status->setText(saveReport(v1, v2, wasReadOnly && !HasReadOnlyMark(file.toStdString())));
}

QString TTagPage::saveReport(bool v1, bool v2, bool markRemoved) const {
    const QString name = QFileInfo(edtFileTag->text()).fileName();
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    // An unticked box writes nothing, so a tag of that kind already in the
    // file stays; saying only "saved" would suggest it was taken out.
    QString text = v1 && v2 ? QStringLiteral("Saved the tags of %1 at %2.").arg(name, time)
                            : QStringLiteral("Saved the %1 tag of %2 at %3. The %4 box is unticked: that tag is left "
                                             "in the file as it is.")
                                  .arg(v1 ? "ID3v1" : "ID3v2", name, time, v1 ? "ID3v2" : "ID3v1");
    if (markRemoved)
        text += QStringLiteral(" ") + QString::fromLatin1(kReadOnlyMarkRemoved);
    return text;
}

bool TTagPage::SaveBothGroups(const QString& fileName) {
    if (!FileExists(fileName.toStdString()))
        return false;
    m_preview.releaseFile();
    const ID3v1Fields v1 = v1FromPage();
    if (const auto failure =
            tindrel::SaveBothGroups(fileName.toStdString(), v1, v2FromPage(), m_id3v1Tag, m_id3v2Tag)) {
        m_dialogs.messageBox(QStringLiteral("Error"), QString::fromStdString(*failure), MessageIcon::Error);
        return false;
    }
    if (const std::vector<std::string> lost = FieldsOutsideLatin1(v1); !lost.empty())
        m_dialogs.information(QString::fromStdString(Latin1LossText(lost)));
    return true;
}

bool TTagPage::SaveID3v1(const QString& fileName) {
    if (!FileExists(fileName.toStdString()))
        return false;
    m_preview.releaseFile();
    const ID3v1Fields fields = v1FromPage();
    errno = 0;
    if (!tindrel::SaveID3v1(fileName.toStdString(), fields, m_id3v1Tag)) {
        showSaveFailure("ID3v1", fileName, errno != 0 ? std::strerror(errno) : "");
        return false;
    }
    if (const std::vector<std::string> lost = FieldsOutsideLatin1(fields); !lost.empty())
        m_dialogs.information(QString::fromStdString(Latin1LossText(lost)));
    return true;
}

bool TTagPage::SaveID3v2(const QString& fileName) {
    if (!FileExists(fileName.toStdString()))
        return false;
    m_preview.releaseFile();
    if (!tindrel::SaveID3v2(fileName.toStdString(), v2FromPage(), m_id3v2Tag)) {
        showSaveFailure("ID3v2", fileName, m_id3v2Tag.LastError());
        return false;
    }
    return true;
}

void TTagPage::showSaveFailure(const std::string& tagName, const QString& fileName, const std::string& reason) {
    m_dialogs.messageBox(QStringLiteral("Error"),
                         QString::fromStdString(SaveFailureText(tagName, fileName.toStdString(), reason)),
                         MessageIcon::Error);
}

} // namespace tindrel
