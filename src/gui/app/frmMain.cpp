// The main window: its load, its settings, the batch and the ways out.
#include "app/frmMain.h"

#include "Product.h"
#include "app/DesktopNotice.h"
#include "app/TaskbarProgress.h"
#include "app/frmMenu.h"
#include "convert/ProgressParser.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"
#include "filelist/PathBytes.h"
#include "skin/SkinArt.h"
#include "ui/Announcer.h"
#include "ui/DropTarget.h"
#include "ui/MsgBox.h"
#include "ui/Sound.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTreeView>

frmMain::frmMain(const QString& programFolder, QWidget* parent)
    : SkinnedWindow(parent), m_programFolder(programFolder), m_places(ProgramPlace::For(programFolder))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(Product::kName));
    m_ui.setup(this);
    m_commands = new MainCommands(this, m_ui.LV);
    connectControls();

    Form_Load();
    // The keyboard starts in the list, the window's content, not on the first painted button.
    m_ui.LV->setFocus(Qt::OtherFocusReason);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

frmMain::~frmMain()
{
    delete m_menu;
}

void frmMain::connectControls()
{
    using C = MainCommands;
    connect(m_commands, &MainCommands::triggered, this, &frmMain::run);
    for (const auto& [index, command] :
         {std::pair{0, C::AddFiles}, {1, C::Remove}, {2, C::Options}, {3, C::Help}, {4, C::Exit}, {6, C::AddFolder}})
        m_commands->bind(m_ui.imgToolbar[index], command, true);
    for (int i = 0; i < 3; ++i)
        m_commands->bind(m_ui.imgMenu[i], MainCommands::Command(C::FileMenu + i));
    const std::pair<HotArea*, C::Command> buttons[] = {{m_ui.imgMin, C::Minimize},        {m_ui.imgHelp, C::Help},
                                                       {m_ui.imgExit, C::Exit},           {m_ui.imgBrowse, C::Browse},
                                                       {m_ui.imgStart, C::Convert},       {m_ui.imgAdd, C::AddFiles},
                                                       {m_ui.imgRemove, C::RemoveCurrent}};
    for (const auto& [button, command] : buttons)
        m_commands->bind(button, command);
    // The drop zone takes drops whatever runs: only its click is the command.
    connect(m_ui.picDrag, &HotArea::clicked, m_commands->action(C::DropZone), &QAction::trigger);
    // The start button is the Stop button while a list converts or a folder is searched.
    connect(m_ui.imgConvert, &HotArea::clicked, this,
            [this] { m_commands->action(m_commands->action(C::Stop)->isEnabled() ? C::Stop : C::Convert)->trigger(); });
    connect(m_ui.lblFeed, &LinkLabel::clicked, m_commands->action(C::Feedback), &QAction::trigger);
    connect(m_ui.lblWeb, &LinkLabel::clicked, m_commands->action(C::HomePage), &QAction::trigger);
    connect(m_ui.txtAction, &QLineEdit::textChanged, this, &frmMain::txtAction_Change);
    // A pointer move over the bare background: every painted button back to rest.
    connect(this, &SkinnedWindow::backgroundMoved, this, [this] {
        m_ui.lblFeed->clearHover();
        HotArea::ClearAll(this);
    });

    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_ui.lstFile, signal, this, &frmMain::placardUpdate);
    connect(m_ui.lstFile, &QAbstractItemModel::modelReset, this, &frmMain::placardUpdate);
    connect(m_ui.drops, &DropTarget::dropped, this, &frmMain::DropFiles);
    connect(m_ui.cmbOF, &QComboBox::currentIndexChanged, this, [this](int format) { m_ui.showFormatUse(format); });
}

void frmMain::Form_Load()
{
    m_dialogs.Init(this);
    setSkin(SkinArt::MainSkin());
    QCoreApplication::processEvents();
    m_ui.imgPB->resize(0, m_ui.imgPB->height());
    m_filler = new ListFiller(m_ui.lstFile, this);
    connect(m_filler, &ListFiller::busyChanged, this, &frmMain::updateCommands);
    connect(m_filler, &ListFiller::listUpdated, this, &frmMain::placardUpdate);
    // An album image listed whole says why in the status line, as a search says what it left out.
    connect(m_filler, &ListFiller::albumsNoted, this, &frmMain::searchEnded);
    connect(m_filler, &ListFiller::scanningChanged, this, [this](bool scanning) {
        m_ui.lblText->setText(scanning ? QStringLiteral("Searching Files...")
                                       : QStringLiteral("Drag & Drop Files Here"));
        if (scanning)
            m_ui.picText->show();
        else
            searchEnded();
    });
    // A scan never collects the batch's own outputs: last run's files inside the library would come
    // back one level deeper every run.
    m_filler->setSkipFolders([this]() -> QList<QString> {
        const CommandBuilder::Request request = shownSetup().Request(m_programFolder);
        return request.options.OutputFiles == OutputLayout::BesideOriginal ? QList<QString>{}
                                                                           : QList<QString>{request.outputFolder};
    });
    m_notice = new DesktopNotice(this);
    connect(m_notice, &DesktopNotice::openFolder, this,
            [](const QString& folder) { QDesktopServices::openUrl(PathBytes::ToUrl(folder)); });
    m_taskbar = new TaskbarProgress(this);
    m_batch = new BatchDriver(m_ui.lstFile, this);
    connect(m_batch, &BatchDriver::progressChanged, this, [this](int width, const QString& caption) {
        m_ui.imgPB->resize(width, m_ui.imgPB->height());
        m_ui.lblPB->setText(caption);
        m_ui.lblPB->setValue(qRound(width * 100.0 / ProgressParser::kBarFullWidth));
        showProgressInTitle(caption);
        m_taskbar->setProgress(double(width) / ProgressParser::kBarFullWidth);
    });
    connect(m_batch, &BatchDriver::batchEnded, this, &frmMain::batchEnded);
    connect(m_batch, &BatchDriver::pausedChanged, this, &frmMain::updateCommands);
    // Said once, after the batch has gone on: a setting it cannot honour does not hold it up.
    connect(
        m_batch, &BatchDriver::batchNote, this,
        [](const QString& text) { MsgBox::show(text, MsgBox::Icon::Information); }, Qt::QueuedConnection);
    showSetup(ConversionSetup::Load(m_places));
    m_ui.lblVersion->setText(QStringLiteral("Ver ") + QString::fromLatin1(Product::kVersion));
    m_ui.lblWeb->setText(QString::fromLatin1(Product::kName));
    m_ui.showFormatUse(m_ui.cmbOF->currentIndex());
    updateCommands();
    // Every control's font, the folder box's included, is scaled exactly once.
    GeometryPass();
}

void frmMain::showSetup(const ConversionSetup& setup)
{
    m_ui.cmbBR->setCurrentIndex(setup.bitrateIndex);
    m_ui.cmbR->setCurrentIndex(setup.rateIndex);
    m_ui.cmbChannel->setCurrentIndex(setup.channelIndex);
    m_ui.cmbOF->setCurrentIndex(setup.formatIndex);
    m_ui.txtPath->setText(setup.outputFolder);
    m_options = setup.options;
}

ConversionSetup frmMain::shownSetup() const
{
    return {m_ui.cmbOF->currentIndex(),      m_ui.cmbBR->currentIndex(), m_ui.cmbR->currentIndex(),
            m_ui.cmbChannel->currentIndex(), m_ui.txtPath->text(),       m_options};
}

void frmMain::updateCommands()
{
    const bool converting = m_batch && m_batch->isConverting();
    const bool stops = converting || m_filler->isScanning();
    m_commands->update({converting, m_filler->isBusy(), stops, m_options.OutputFiles != OutputLayout::BesideOriginal,
                        m_batch && m_batch->isPaused()});
    // While a list converts or a folder is searched the start button is the Stop button; during Remove
    // All it waits like the rest.
    m_ui.imgConvert->setDimWhenDisabled(true);
    m_ui.imgConvert->setEnabled(stops || !m_filler->isBusy());
    m_ui.showStartButtonStops(stops);
    m_ui.lblFeed->setEnabled(!converting);
    m_ui.showOutputFolderUsed(m_options.OutputFiles != OutputLayout::BesideOriginal);
    m_ui.lockSettings(converting);
}

void frmMain::imgStart_Click()
{
    if (m_filler->isBusy() || isConverting())
        return;
    if (m_ui.lstFile->count() < 1) {
        MsgBox::show(QStringLiteral("Please add a file"), MsgBox::Icon::Exclamation, QStringLiteral("Add"));
        return;
    }
    // The batch converts with what is shown now, to its end.
    m_batch->Start(shownSetup().Request(m_programFolder));
    updateCommands();
}

void frmMain::batchEnded(BatchDriver::End how, const QString& folder)
{
    // Behind other windows or minimised, the end would go unseen: the desktop says it. A batch that
    // could not start has said why in a message box already.
    if (how != BatchDriver::End::CannotStart && !isActiveWindow()) {
        const BatchOutcome& outcome = m_batch->outcome();
        m_notice->Show({outcome.converted(), int(outcome.failures().size()), outcome.skipped(),
                        int(m_filler->unsearched().size()), how == BatchDriver::End::Stopped, folder});
    }
    m_taskbar->clear();
    if (how == BatchDriver::End::Finished) {
        if (!folder.isEmpty())
            QDesktopServices::openUrl(PathBytes::ToUrl(folder));
        if (m_options.SoundReminder == 0)
            Sound::play(m_programFolder + QStringLiteral("/sound.wav"));
        m_ui.picDrag->setVisible(true);
    }
    updateCommands();
    m_ui.imgPB->resize(0, m_ui.imgPB->height());
    m_ui.lblPB->setText(how == BatchDriver::End::Finished ? m_batch->outcome().label() : QStringLiteral("Stopped."));
    m_ui.lblPB->setToolTip(m_batch->outcome().skippedText());
    m_ui.lblPB->setValue(0);
    showProgressInTitle(QString());
    placardUpdate();
    Announcer::alert(m_ui.lblPB, m_ui.lblPB->text());
    if (!m_batch->outcome().failures().isEmpty()) {
        Announcer::alert(m_ui.lblPB, m_batch->outcome().failureMessage());
        MsgBox::show(m_batch->outcome().failureMessage(), MsgBox::Icon::Warning, {},
                     m_batch->outcome().failureDetails());
    }
    if (!m_batch->outcome().noGainFiles().isEmpty())
        MsgBox::show(m_batch->outcome().noGainMessage(), MsgBox::Icon::Information, {},
                     m_batch->outcome().noGainDetails());
    emit batchFinished();
}

void frmMain::showProgressInTitle(const QString& caption)
{
    const QString title = QString::fromLatin1(Product::kName);
    const bool shown =
        caption.endsWith(QLatin1Char('%')) || (m_batch->isPaused() && caption == QLatin1String("Paused"));
    setWindowTitle(isConverting() && shown ? caption + QStringLiteral(" - ") + title : title);
}

bool frmMain::isListBusy() const
{
    return m_filler->isBusy();
}

bool frmMain::isScanning() const
{
    return m_filler->isScanning();
}

void frmMain::BringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmMain::imgExit_Click()
{
    shownSetup().Save(m_places.settingsFolder);
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    SkinnedWindow::closeEvent(event);
    Form_Unload();
}

void frmMain::Form_Unload()
{
    // A running tool finishes its file after the program has gone, but a held one would wait forever:
    // paused, the tools end as Stop ends them, and take their part files with them.
    if (m_batch->isPaused())
        m_batch->Stop();
    // A scratch file that cannot be deleted must not hold the exit: a bounded number of attempts.
    constexpr int kAttempts = 20;
    for (const QString& scratch : m_seams.scratchFiles) {
        for (int i = 0; i < kAttempts && QFile::exists(scratch); ++i) {
            QFile::remove(scratch);
            QCoreApplication::processEvents();
        }
    }
    if (m_seams.endProcess)
        m_seams.endProcess();
}
