// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/TagFields.h"
#include "platform/FileStamp.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace tindrel {

class IDialogs;
class TID3v1;
class TID3v2;

// What the tag page needs of the split page's preview: the file open there,
// which the tag page takes up when it is shown, and a way to make the player
// let go of that file before a tag is written into it.
struct PreviewLink {
    std::function<QString()> openFile;
    std::function<void()> releaseFile;
};

// The Edit Tag page: a file, its ID3v1 and ID3v2 tags side by side, copying
// between them and saving both. The field rules are TagFields'; the page
// moves the fields between its controls and those rules.
class TTagPage : public QWidget {
    Q_OBJECT
public:
    // The tags are the window's, shared with the split page; both must
    // outlive the page.
    TTagPage(IDialogs& dialogs, TID3v1& id3v1Tag, TID3v2& id3v2Tag, PreviewLink preview, QWidget* parent = nullptr);

    void tabTagShow();
    void btnOpenTagClick();
    // Shows the tags of a file typed into the file field (Enter) or dropped
    // on the page, after asking about unsaved edits.
    void openPath(const QString& path);
    // Fields were changed since the tags were shown or saved.
    bool HasUnsavedEdits() const;
    // Asked when the window closes: true when nothing is unsaved or the user
    // agrees to lose it.
    bool confirmQuit();
    void ShowID3v1(const QString& fileName);
    void ShowID3v2(const QString& fileName);
    void EnableID3v1Edits(bool enabled);
    void EnableID3v2Edits(bool enabled);
    // Each returns whether the tag was written.
    bool SaveID3v1(const QString& fileName);
    bool SaveID3v2(const QString& fileName);
    // Both boxes checked: both tags in one replacement of the file.
    bool SaveBothGroups(const QString& fileName);
    void chkTagExists1Click();
    void chkTagExistsClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    // Opens the Loudness window for the file shown.
    void btnLoudnessClick();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The two groups have the same fields, except that the ID3v1 genre is a
    // pick list and its comment a single line.
    struct TagGroup {
        QGroupBox* group = nullptr;
        QCheckBox* exists = nullptr;
        QLineEdit* track = nullptr;
        QLineEdit* title = nullptr;
        QLineEdit* artist = nullptr;
        QLineEdit* album = nullptr;
        QLineEdit* year = nullptr;
        QComboBox* genreList = nullptr; // ID3v1
        QLineEdit* genre = nullptr;     // ID3v2
        QLineEdit* comment = nullptr;   // ID3v1
        QPlainTextEdit* memo = nullptr; // ID3v2
    };

    void buildTagGroup(bool v1);
    void buildButtons();
    void showBothTags();
    // Every field and box of both groups, to tell whether anything changed.
    QStringList pageSnapshot() const;
    // True when there is nothing unsaved, or the user agrees to lose it;
    // afterwards says what happens to the edits once they are discarded.
    bool confirmDiscard(const QString& afterwards = {});
    // The status line after "Updat All": what was written, what was not.
    QString saveReport(bool v1, bool v2, bool markRemoved) const;
    // The tag groups as plain fields, and back.
    ID3v1Fields v1FromPage() const;
    ID3v2Fields v2FromPage() const;
    void showOnPage(const ID3v1Fields& fields);
    void showOnPage(const ID3v2Fields& fields);
    void showSaveFailure(const std::string& tagName, const QString& fileName, const std::string& reason);
    // The file "Updat All" writes: the one whose tags are shown, even when
    // another name has been typed since.
    QString saveTarget();
    // False when the file was changed on disk since its tags were shown and
    // the user keeps that change (reloading it on request).
    bool confirmOverwritingChange(const QString& file);

    IDialogs& m_dialogs;
    TID3v1& m_id3v1Tag;
    TID3v2& m_id3v2Tag;
    PreviewLink m_preview;

    QLineEdit* edtFileTag = nullptr;
    QLabel* m_status = nullptr;
    QStringList m_shownSnapshot;
    // The file whose tags the groups show: the field may already name
    // another one, typed but not yet opened.
    QString m_shownFile;
    // The shown file as it was on disk when its tags were read or saved.
    std::optional<FileStamp> m_shownStamp;
    TagGroup m_v1;
    TagGroup m_v2;
    class TLoudnessDialog* m_loudness = nullptr;
};

} // namespace tindrel
