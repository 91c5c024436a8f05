// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/AboutForm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tindrel {

QString SupportedPlatformsText() {
    return QStringLiteral("Linux (x86-64, Debian 12 or newer)");
}

TAboutForm::TAboutForm(const QString& versionText, QWidget* owner) : QDialog(nullptr), m_owner(owner) {
    // No Qt parent: disabling the owner would otherwise disable this window too.
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About Tindrel"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("<b>Tindrel</b>"), this);
    name->setObjectName(QStringLiteral("labProduct"));
    auto* version = new QLabel(QStringLiteral("Version ") + versionText, this);
    version->setObjectName(QStringLiteral("labAboutVersion"));
    auto* purpose = new QLabel(QStringLiteral("Cuts, joins and tags MP3 files."), this);
    auto* platforms = new QLabel(QStringLiteral("Supported platforms: ") + SupportedPlatformsText(), this);
    platforms->setObjectName(QStringLiteral("labPlatforms"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    for (QWidget* w : {static_cast<QWidget*>(name), static_cast<QWidget*>(version), static_cast<QWidget*>(purpose),
                       static_cast<QWidget*>(platforms)})
        layout->addWidget(w);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, [this] {
        if (m_owner)
            m_owner->setEnabled(true);
    });
}

void TAboutForm::showFor() {
    if (m_owner)
        m_owner->setEnabled(false);
    show();
    raise();
    activateWindow();
}

} // namespace tindrel
