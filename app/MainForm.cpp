// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"

#include "app/AboutForm.h"
#include "app/EditPage.h"
#include "app/HelpForm.h"
#include "app/JoinPage.h"
#include "app/SettingsMemory.h"
#include "app/SplitPage.h"
#include "app/TagPage.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/FormBuilder.h"
#include "platform/IniFile.h"
#include "player/AudioPlayer.h"
#include "plugins/PluginConfig.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace tindrel {

namespace {

constexpr int kClientWidth = 653;
// The design's 421 pixels, and room for the split page's waveform strip.
constexpr int kClientHeight = 421 + 92;
constexpr int kBannerHeight = 57;

// The banner across the top: a dark gradient with the program's mark (a
// waveform cut by a gap) and its name.
class Banner final : public QWidget {
public:
    explicit Banner(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient background(0, 0, width(), 0);
        background.setColorAt(0, QColor(0x14, 0x2a, 0x4f));
        background.setColorAt(1, QColor(0x2f, 0x6d, 0xb5));
        p.fillRect(rect(), background);
        p.setPen(QPen(QColor(0xf2, 0xb1, 0x34), 2.2));
        const int mid = height() / 2;
        const int heights[] = {6, 14, 22, 12, 18, 8, 0, 0, 10, 20, 16, 9, 4};
        for (int i = 0; i < 13; ++i) {
            if (heights[i] == 0)
                continue;
            const int x = 14 + i * 5;
            p.drawLine(x, mid - heights[i] / 2, x, mid + heights[i] / 2);
        }
        QFont font = p.font();
        font.setPointSize(20);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(88, 0, 300, height()), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Tindrel"));
        font.setPointSize(9);
        font.setBold(false);
        p.setFont(font);
        p.setPen(QColor(0xd6, 0xe4, 0xf5));
        p.drawText(QRect(220, 0, 300, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("split · join · tag"));
    }
};

} // namespace

TMainForm::TMainForm(IDialogs& dialogs, const QString& programFolder, int audioDevice, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("MainForm"));
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    // The player and the tags come first: the pages are built on them.
    FormCreate(programFolder, audioDevice);
    buildBanner();
    buildPages();
    setUpGrowth();
    restoreSettings();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TMainForm::setUpGrowth() {
    using G = GrowthRules;
    const auto named = [this](const char* name) { return findChild<QWidget*>(QString::fromLatin1(name)); };
    m_growth.add(named("imgBanner"), G::kGrowX);
    m_growth.add(labVersion, G::kMoveX);
    m_growth.add(pgcMain, G::kGrowX | G::kGrowY);
    for (const char* help : {"sbtnHelp1", "sbtnAbout1", "sbtnHelp2", "sbtnAbout2", "sbtnHelp3", "sbtnAbout3"})
        m_growth.add(named(help), G::kMoveX | G::kMoveY);
    const std::vector<QWidget*> corner{named("sbtnHelp1"),  named("sbtnAbout1"), named("sbtnHelp2"),
                                       named("sbtnAbout2"), named("gpbSplit"),   named("ltvFile")};
    // The split page: the preview on the left takes all the room, its
    // waveform most of all; the split controls keep to the right.
    m_growth.addChildren(m_splitPage, G::kMoveX, corner);
    m_growth.add(named("gpbSplit"), G::kGrowX | G::kGrowY);
    for (const char* info : {"labTitle", "labArtist", "labAlbum", "labYear", "labComment", "labLength"})
        m_growth.add(named(info), G::kGrowX);
    m_growth.add(named("wfmWave"), G::kGrowX | G::kGrowY);
    m_growth.add(named("tkbPosition"), G::kGrowX | G::kMoveY);
    for (const char* below : {"sbtnPlay", "sbtnPause", "sbtnStop", "labTime", "labTime1", "Label1"})
        m_growth.add(named(below), G::kMoveY);
    for (const char* marks : {"sbtnBegin", "sbtnEnd"})
        m_growth.add(named(marks), G::kMoveX | G::kMoveY);
    // The join page: the list takes the room, the buttons keep to its right.
    m_growth.addChildren(m_joinPage, G::kMoveX, corner);
    m_growth.add(named("ltvFile"), G::kGrowX | G::kGrowY);
    if (auto* list = findChild<QTreeWidget*>(QStringLiteral("ltvFile")))
        m_nameColumnWidth = list->columnWidth(0);
    // The tag page keeps its fields; only the status line follows the bottom.
    m_growth.add(named("labStatus"), G::kGrowX | G::kMoveY);
}

void TMainForm::resizeEvent(QResizeEvent*) {
    m_growth.apply(width() - kClientWidth, height() - kClientHeight);
    if (auto* list = findChild<QTreeWidget*>(QStringLiteral("ltvFile")))
        list->setColumnWidth(0, m_nameColumnWidth + std::max(width() - kClientWidth, 0));
}

void TMainForm::restoreSettings() {
    const SettingsMemory memory;
    const QSize size = memory.value(QStringLiteral("Window/Size")).toSize();
    if (size.isValid()) {
        QSize room = size;
        if (const QScreen* screen = this->screen())
            room = room.boundedTo(screen->availableSize());
        resize(room.expandedTo(minimumSize()));
    }
    if (memory.value(QStringLiteral("Window/Maximized")).toBool())
        setWindowState(windowState() | Qt::WindowMaximized);
    memory.keep(findChild<QWidget*>(QStringLiteral("chkExactSplit")), QStringLiteral("Split/Exact"));
    memory.keep(findChild<QWidget*>(QStringLiteral("chkExactJoin")), QStringLiteral("Join/Exact"));
}

void TMainForm::rememberSize() const {
    const SettingsMemory memory;
    const bool maximized = isMaximized();
    // A maximised window comes back maximised, and the size to return to
    // when it is restored is the one it had before.
    memory.setValue(QStringLiteral("Window/Size"), maximized ? normalGeometry().size() : size());
    memory.setValue(QStringLiteral("Window/Maximized"), maximized);
}

TMainForm::~TMainForm() {
    // Pages going away one by one must not bring the tag page to the front.
    disconnect(pgcMain, nullptr, this, nullptr);
}

void TMainForm::FormCreate(const QString& programFolder, int audioDevice) {
    m_appDir = QString::fromStdString(IncludeTrailingSeparator(programFolder.toStdString()));
    const std::string ini = (m_appDir + QStringLiteral("Option.ini")).toStdString();
    m_versionText = QString::fromStdString(ReadIniString(ini, "General", "Version", "3.1"));
    m_id3v1Tag = std::make_unique<TID3v1>();
    m_id3v2Tag = std::make_unique<TID3v2>();
    setWindowTitle(QStringLiteral("Tindrel V") + m_versionText);
    const auto makeConfigForm = [](IDialogs& dialogs, MessageWindow* playerWindow) {
        return std::unique_ptr<QObject>(std::make_unique<TPluginConfigForm>(dialogs, playerWindow));
    };
    // Loading the engine and its libraries, opening the device and starting
    // the plug-ins take longer than building the whole window: they wait
    // until it is on the screen, or until something needs the player first.
    m_player = new TAudioPlayer(this, m_dialogs, m_appDir.toStdString(), audioDevice, makeConfigForm,
                                TAudioPlayer::kVisShareName, TEngineStart::OnFirstUse);
    afterFirstPaint([player = m_player] { player->Start(); });
    m_player->setObjectName(QStringLiteral("PermanentPlayer"));
    // F1 opens the manual as the pages' Help buttons do.
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(helpKey, &QShortcut::activated, this, ErrorHandler::guard([this] { showHelp(); }));
    // The plug-in dialog has no control of its own on the pages.
    auto* pluginShortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+P")), this);
    pluginShortcut->setObjectName(QStringLiteral("scPluginConfig"));
    connect(pluginShortcut, &QShortcut::activated, this, [this] {
        if (auto* form = qobject_cast<TPluginConfigForm*>(m_player->PluginConfigForm()))
            form->ShowInFront();
    });
}

void TMainForm::buildPages() {
    pgcMain = new QTabWidget(this);
    pgcMain->setObjectName(QStringLiteral("pgcMain"));
    pgcMain->setGeometry(0, kBannerHeight, kClientWidth, kClientHeight - kBannerHeight);
    m_splitPage = new TSplitPage(m_dialogs, *m_player, *m_id3v1Tag);
    addHelpAndAbout(m_splitPage, 1, {456, 390, 86, 26}, {550, 390, 86, 26});
    m_joinPage = new TJoinPage(m_dialogs);
    addHelpAndAbout(m_joinPage, 2, {538, 356, 98, 28}, {538, 390, 98, 28});
    const PreviewLink preview{[split = m_splitPage] { return split->FileName(); },
                              [split = m_splitPage] { split->ReleaseFile(); }};
    m_tagPage = new TTagPage(m_dialogs, *m_id3v1Tag, *m_id3v2Tag, preview);
    addHelpAndAbout(m_tagPage, 3, {456, 390, 86, 26}, {550, 390, 86, 26});
    pgcMain->addTab(m_splitPage, QStringLiteral("  Split MP3  "));
    pgcMain->addTab(m_joinPage, QStringLiteral("  Join MP3  "));
    pgcMain->addTab(m_tagPage, QStringLiteral("  Edit Tag  "));
    m_editPage = new TEditPage(m_dialogs, m_player);
    pgcMain->addTab(m_editPage, QStringLiteral("  Edit MP3  "));
    pgcMain->setCurrentIndex(0);
    // Queued, so the window closes after the run's own handler has returned.
    const auto closeIfAgreed = [this] {
        if (!m_closeWhenIdle || m_splitPage->Running() || m_joinPage->Running())
            return;
        m_closeAgreed = true;
        close();
    };
    connect(m_splitPage, &TSplitPage::runEnded, this, closeIfAgreed, Qt::QueuedConnection);
    connect(m_joinPage, &TJoinPage::runEnded, this, closeIfAgreed, Qt::QueuedConnection);
    connect(pgcMain, &QTabWidget::currentChanged, this, ErrorHandler::guard([this] {
                if (pgcMain->currentWidget() == m_tagPage)
                    m_tagPage->tabTagShow();
            }));
}

QWidget* TMainForm::buildBanner() {
    auto* banner = new Banner(this);
    banner->setObjectName(QStringLiteral("imgBanner"));
    banner->setGeometry(0, 0, kClientWidth, kBannerHeight);
    labVersion = new QLabel(banner);
    labVersion->setObjectName(QStringLiteral("labVersion"));
    labVersion->setGeometry(kClientWidth - 110, 0, 96, kBannerHeight);
    labVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labVersion->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
    labVersion->setText(QStringLiteral("V") + m_versionText);
    return banner;
}

void TMainForm::addHelpAndAbout(QWidget* page, int index, const QRect& helpRect, const QRect& aboutRect) {
    const QString n = QString::number(index);
    onClick(makeButton(page, "sbtnHelp" + n, QStringLiteral("&Help"), helpRect), this, &TMainForm::showHelp);
    onClick(makeButton(page, "sbtnAbout" + n, QStringLiteral("&About"), aboutRect), this, &TMainForm::showAbout);
}

void TMainForm::showHelp() {
    if (!m_help)
        m_help = new THelpForm(this);
    const QWidget* page = pgcMain->currentWidget();
    m_help->showAt(page == m_splitPage  ? QStringLiteral("Splitting a file")
                   : page == m_joinPage ? QStringLiteral("Joining files")
                                        : QStringLiteral("Editing tags"));
}

void TMainForm::afterFirstPaint(std::function<void()> work) {
    if (m_firstPaintDone)
        ErrorHandler::run(work);
    else
        m_afterFirstPaint.push_back(std::move(work));
}

void TMainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_firstPaintQueued)
        return;
    m_firstPaintQueued = true;
    // Queued: the paint is flushed to the screen when this event returns.
    QTimer::singleShot(0, this, [this] {
        m_firstPaintDone = true;
        // One failing does not keep the others from running.
        for (const auto& work : std::exchange(m_afterFirstPaint, {}))
            ErrorHandler::run(work);
    });
}

void TMainForm::openFiles(const QStringList& paths) {
    if (paths.size() == 1) {
        pgcMain->setCurrentWidget(m_splitPage);
        m_splitPage->openPath(paths.front());
    } else if (paths.size() > 1) {
        pgcMain->setCurrentWidget(m_joinPage);
        m_joinPage->addFiles(paths);
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool close = m_closeAgreed;
    if (!close)
        ErrorHandler::run([&] { close = confirmClose(); });
    if (close)
        rememberSize();
    event->setAccepted(close);
}

bool TMainForm::confirmClose() {
    const bool splitting = m_splitPage->Running();
    const bool joining = m_joinPage->Running();
    if (splitting || joining) {
        const QString question =
            (splitting ? QStringLiteral("A split is still writing its parts.")
                       : QStringLiteral("A join is still writing its output.")) +
            QStringLiteral(" Stop it and quit? What it has written so far is kept; No keeps it working.");
        if (m_dialogs.messageBox(QStringLiteral("Confirm"), question, MessageIcon::Question,
                                 MessageButtons::YesNoDefaultNo) != MessageResult::Yes)
            return false;
    }
    if (!m_tagPage->confirmQuit() || !m_editPage->offerToSaveEdits())
        return false;
    if (!splitting && !joining)
        return true;
    // The run is deep in this thread's stack: it sees Stop when it next lets
    // events run, and closes the window once it has returned.
    m_closeWhenIdle = true;
    if (splitting)
        m_splitPage->btnStopClick();
    if (joining)
        m_joinPage->BitBtn1Click();
    return false;
}

void TMainForm::showAbout() {
    if (!m_about)
        m_about = std::make_unique<TAboutForm>(m_versionText, this);
    m_about->showFor();
}

} // namespace tindrel
