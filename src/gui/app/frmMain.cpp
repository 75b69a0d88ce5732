#include "frmMain.h"

#include "app/frmMenu.h"
#include "convert/CommandBuilder.h"
#include "convert/DOSOutputs.h"
#include "convert/FormatTraits.h"
#include "convert/ProgressParser.h"
#include "feedback/frmSuggest.h"
#include "filelist/COMDLG.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"
#include "filelist/PathBytes.h"
#include "settings/ConversionSetup.h"
#include "settings/frmOptions.h"
#include "skin/SkinArt.h"
#include "ui/Announcer.h"
#include "ui/DropTarget.h"
#include "ui/FolderDialog.h"
#include "ui/GripLabel.h"
#include "ui/HotArea.h"
#include "ui/LinkLabel.h"
#include "ui/ModalGuard.h"
#include "ui/MsgBox.h"
#include "ui/Sound.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

frmMain::frmMain(const QString& programFolder, QWidget* parent)
    : SkinnedWindow(parent), m_programFolder(programFolder), m_places(ProgramPlace::For(programFolder))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Veltra WMA Converter"));
    m_ui.setup(this);
    connectControls();

    Form_Load();
    // The keyboard starts in the list, the window's content, not on the first painted button.
    m_ui.LV->setFocus(Qt::OtherFocusReason);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void frmMain::connectControls()
{
    connect(this, &SkinnedWindow::backgroundMoved, this, &frmMain::Form_MouseMove);
    for (int i = 0; i < 7; ++i) {
        if (HotArea* a = m_ui.imgToolbar[i])
            connect(a, &HotArea::clicked, this, [this, i] { imgToolbar_Click(i); });
    }
    for (int i = 0; i < 3; ++i)
        connect(m_ui.imgMenu[i], &HotArea::clicked, this, [this, i] { imgMenu_Click(i); });
    connect(m_ui.imgMin, &HotArea::clicked, this, &frmMain::imgMin_Click);
    connect(m_ui.imgHelp, &HotArea::clicked, this, &frmMain::imgHelp_Click);
    connect(m_ui.imgExit, &HotArea::clicked, this, &frmMain::imgExit_Click);
    connect(m_ui.txtAction, &QLineEdit::textChanged, this, &frmMain::txtAction_Change);

    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_ui.lstFile, signal, this, &frmMain::placardUpdate);
    connect(m_ui.lstFile, &QAbstractItemModel::modelReset, this, &frmMain::placardUpdate);
    connect(m_ui.drops, &DropTarget::dropped, this, &frmMain::DropFiles);

    const std::pair<HotArea*, QComboBox*> drops[] = {{m_ui.picButtonOF, m_ui.cmbOF},
                                                     {m_ui.picButtonBR, m_ui.cmbBR},
                                                     {m_ui.picButtonR, m_ui.cmbR},
                                                     {m_ui.picButtonChannel, m_ui.cmbChannel}};
    for (const auto& [button, list] : drops)
        connect(button, &HotArea::clicked, list, &QComboBox::showPopup);
    connect(m_ui.cmbOF, &QComboBox::currentIndexChanged, this, &frmMain::cmbOF_Change);
    connect(m_ui.imgBrowse, &HotArea::clicked, this, &frmMain::imgBrowse_Click);
    connect(m_ui.imgConvert, &HotArea::clicked, this, &frmMain::imgConvert_Click);
    connect(m_ui.imgStart, &HotArea::clicked, this, &frmMain::imgStart_Click);
    connect(m_ui.imgAdd, &HotArea::clicked, this, &frmMain::imgAdd_Click);
    connect(m_ui.imgRemove, &HotArea::clicked, this, &frmMain::imgRemove_Click);
    connect(m_ui.picDrag, &HotArea::clicked, this, &frmMain::picDrag_Click);
    connect(m_ui.lblFeed, &LinkLabel::clicked, this, &frmMain::lblFeed_Click);
    connect(m_ui.lblWeb, &LinkLabel::clicked, this, &frmMain::lblWeb_Click);

    m_keys = new KeyCommands(this, m_ui.LV);
    connect(m_keys, &KeyCommands::triggered, this, &frmMain::runKey);
}

void frmMain::showProgressInTitle(const QString& caption)
{
    const QString title = QStringLiteral("Veltra WMA Converter");
    setWindowTitle(isConverting() && caption.endsWith(QLatin1Char('%')) ? caption + QStringLiteral(" - ") + title
                                                                        : title);
}

void frmMain::cmbOF_Change()
{
    // A selector the chosen format ignores is greyed out and its tooltip says what the format does
    // instead; its choice stays, is saved, and counts again for a format that uses it.
    const int format = m_ui.cmbOF->currentIndex();
    const struct
    {
        QComboBox* list;
        HotArea* button;
        FormatTraits::Selector selector;
    } selectors[] = {{m_ui.cmbBR, m_ui.picButtonBR, FormatTraits::Selector::Bitrate},
                     {m_ui.cmbR, m_ui.picButtonR, FormatTraits::Selector::Rate},
                     {m_ui.cmbChannel, m_ui.picButtonChannel, FormatTraits::Selector::Channels}};
    for (const auto& s : selectors) {
        if (!s.list->property("usedTip").isValid())
            s.list->setProperty("usedTip", s.list->toolTip());
        const bool used = FormatTraits::Uses(format, s.selector);
        const QString tip =
            used ? s.list->property("usedTip").toString() : FormatTraits::IgnoredTip(format, s.selector);
        s.list->setEnabled(used);
        s.button->setDimWhenDisabled(true);
        s.button->setEnabled(used);
        s.list->setToolTip(tip);
        s.button->setToolTip(tip);
    }
}

void frmMain::Form_Load()
{
    m_dialogs.Init(this);
    setSkin(SkinArt::MainSkin());
    QCoreApplication::processEvents();
    m_ui.imgPB->resize(0, m_ui.imgPB->height());
    createFillerAndBatch();
    m_stopLooks[0] = SkinArt::StopButton(SkinArt::Look::Normal);
    m_stopLooks[1] = SkinArt::StopButton(SkinArt::Look::Light);
    m_stopLooks[2] = SkinArt::StopButton(SkinArt::Look::Dark);
    m_convertLit = m_ui.imgConvert->litLook();

    m_ui.lblVersion->setStyleSheet(QStringLiteral("color: rgb(199, 227, 214);"));
    m_ui.lblWeb->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);"));
    showSetup(ConversionSetup::Load(m_places));

    m_ui.lblVersion->setText(
        QStringLiteral("Ver %1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
    m_ui.lblWeb->setText(QStringLiteral("Veltra WMA Converter"));
    cmbOF_Change();
    showOutputMode();
    // Every control's font, the folder box's included, is scaled exactly once.
    GeometryPass();
}

void frmMain::createFillerAndBatch()
{
    m_filler = new ListFiller(m_ui.lstFile, this);
    connect(m_filler, &ListFiller::busyChanged, this, &frmMain::updateCommands);
    connect(m_filler, &ListFiller::listUpdated, this, &frmMain::placardUpdate);
    connect(m_filler, &ListFiller::scanningChanged, this, [this](bool scanning) {
        m_ui.lblText->setText(scanning ? QStringLiteral("Searching Files...")
                                       : QStringLiteral("Drag & Drop Files Here"));
        if (scanning)
            m_ui.picText->show();
        if (!scanning)
            searchEnded();
    });
    // A scan never collects the batch's own outputs: last run's files inside the library would come
    // back one level deeper every run.
    m_filler->setSkipFolders([this]() -> QList<QString> {
        if (m_options.OutputFiles == OutputLayout::BesideOriginal)
            return {};
        return {outputFolder()};
    });
    m_batch = new BatchDriver(m_ui.lstFile, this);
    connect(m_batch, &BatchDriver::progressChanged, this, [this](int width, const QString& caption) {
        m_ui.imgPB->resize(width, m_ui.imgPB->height());
        m_ui.lblPB->setText(caption);
        m_ui.lblPB->setValue(qRound(width * 100.0 / ProgressParser::kBarFullWidth));
        showProgressInTitle(caption);
    });
    connect(m_batch, &BatchDriver::batchEnded, this, &frmMain::batchEnded);
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

void frmMain::SaveSetup()
{
    shownSetup().Save(m_places.settingsFolder);
}

void frmMain::imgExit_Click()
{
    SaveSetup();
    close();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    SkinnedWindow::closeEvent(event);
    Form_Unload();
}

void frmMain::Form_Unload()
{
    // A scratch file that cannot be deleted must not hold the exit: a bounded number of attempts.
    constexpr int kAttempts = 20;
    for (const QString& scratch : m_scratchFiles) {
        for (int i = 0; i < kAttempts && QFile::exists(scratch); ++i) {
            QFile::remove(scratch);
            QCoreApplication::processEvents();
        }
    }
    if (m_endProcess)
        m_endProcess();
}

void frmMain::showOutputMode()
{
    const bool unused = m_options.OutputFiles == OutputLayout::BesideOriginal;
    m_ui.txtPath->setEnabled(!unused);
    m_ui.imgBrowse->setEnabled(!unused);
    m_ui.txtPath->setToolTip(unused ? QStringLiteral("Not used: each output goes beside its original "
                                                     "(Options, Output files)")
                                    : QString());
}

frmMain::~frmMain()
{
    delete m_menu;
}

QString frmMain::defaultOutputFolder() const
{
    return m_places.defaultOutputFolder;
}

void frmMain::Form_MouseMove()
{
    m_ui.lblFeed->clearHover();
    HotArea::ClearAll(this);
    updateCommands();
}

void frmMain::imgBrowse_Click()
{
    const auto folder = FolderDialog::choose(this, QStringLiteral("Please select a folder:"));
    m_ui.txtPath->setText(folder && !folder->isEmpty() ? *folder : defaultOutputFolder());
}

void frmMain::imgMin_Click()
{
    showMinimized();
    m_ui.imgMin->clearLook();
}

void frmMain::BringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmMain::updateCommands()
{
    const bool converting = m_batch && m_batch->isConverting();
    for (HotArea* a : m_ui.imgMenu)
        a->setDimWhenDisabled(true);
    for (int i = 0; i < 7; ++i) {
        if (!m_ui.imgToolbar[i])
            continue;
        m_ui.imgToolbar[i]->setDimWhenDisabled(true);
        const bool changesTheList = i == 0 || i == 1 || i == 6;
        m_ui.imgToolbar[i]->setEnabled(!converting && !(m_filler->isBusy() && changesTheList));
    }
    for (HotArea* a : m_ui.imgMenu)
        a->setEnabled(!converting);
    if (m_menu) {
        for (QAction* a :
             {m_menu->menuAddaFile, m_menu->menuAddaFolder, m_menu->menuRemoveSelected, m_menu->menuRemoveAll})
            a->setEnabled(!m_filler->isBusy());
    }
    for (HotArea* a : {m_ui.imgAdd, m_ui.imgRemove})
        a->setEnabled(!m_filler->isBusy());
    m_ui.lblFeed->setEnabled(!converting);
    // The start button is the Stop button while a list converts or a folder is searched; during Remove
    // All it waits like the rest.
    const bool stops = converting || m_filler->isScanning();
    m_ui.imgConvert->setDimWhenDisabled(true);
    m_ui.imgConvert->setEnabled(stops || !m_filler->isBusy());
    // While it stops, the start button wears the Stop button's looks.
    m_ui.imgConvert->setLooks(stops ? m_stopLooks[1] : m_convertLit, stops ? m_stopLooks[2] : QPixmap());
    m_ui.imgConvert->setRestingLook(stops ? m_stopLooks[0] : QPixmap());
    m_ui.imgConvert->setCaption(stops ? QStringLiteral("Stop") : QStringLiteral("Convert"));
    m_ui.imgConvert->setToolTip(
        stops ? KeyCommands::withKeys(QStringLiteral("Stop"), KeyCommands::Stop)
              : KeyCommands::withKeys(QStringLiteral("Convert the files of the list"), KeyCommands::Convert));
    if (m_keys)
        m_keys->update(converting, m_filler->isBusy(), stops);
}

void frmMain::imgConvert_Click()
{
    if (m_filler->isScanning()) {
        m_filler->stopScan();
        return;
    }
    if (isConverting()) {
        m_batch->Stop();
        return;
    }
    imgStart_Click();
}

void frmMain::imgStart_Click()
{
    if (m_filler->isBusy() || isConverting())
        return;
    if (m_ui.lstFile->count() < 1) {
        MsgBox::show(QStringLiteral("Please add a file"), MsgBox::Icon::Exclamation, QStringLiteral("Add"));
        return;
    }
    m_batch->Start(conversionSettings());
    updateCommands();
}

QString frmMain::outputFolder() const
{
    return ProgramPlace::TypedOutputFolder(m_ui.txtPath->text());
}

CommandBuilder::Request frmMain::conversionSettings() const
{
    return shownSetup().Request(m_programFolder);
}

void frmMain::batchEnded(BatchDriver::End how, const QString& folder)
{
    if (how == BatchDriver::End::Finished) {
        if (!folder.isEmpty())
            QDesktopServices::openUrl(PathBytes::ToUrl(folder));
        if (m_options.SoundReminder == 0)
            Sound::play(m_programFolder + QStringLiteral("/sound.wav"));
        m_ui.picDrag->setVisible(true);
    }
    for (HotArea* a : {m_ui.imgAdd, m_ui.imgRemove, m_ui.imgStart, m_ui.imgBrowse, m_ui.imgConvert})
        a->setEnabled(true);
    showOutputMode();
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
    emit batchFinished();
}

bool frmMain::isListBusy() const
{
    return m_filler->isBusy();
}

bool frmMain::isScanning() const
{
    return m_filler->isScanning();
}
