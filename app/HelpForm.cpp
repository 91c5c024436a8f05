// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/HelpForm.h"

#include <QFile>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tindrel {

QString ManualText() {
    QFile file(QStringLiteral(":/manual/manual.md"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The manual is missing from this build.");
    return QString::fromUtf8(file.readAll());
}

THelpForm::THelpForm(QWidget* owner) : QDialog(owner), m_browser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Tindrel Help"));
    m_browser->setObjectName(QStringLiteral("txbManual"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setMarkdown(ManualText());
    m_browser->document()->setDocumentMargin(12);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 560);
}

void THelpForm::showAt(const QString& section) {
    show();
    raise();
    activateWindow();
    m_browser->moveCursor(QTextCursor::Start);
    // The section's heading goes to the top of the window, not just into view.
    if (!section.isEmpty() && m_browser->find(section)) {
        QScrollBar* bar = m_browser->verticalScrollBar();
        bar->setValue(bar->value() + m_browser->cursorRect().top() - 8);
    }
}

} // namespace tindrel
