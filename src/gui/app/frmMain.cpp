#include "frmMain.h"

#include "app/MainControls.h"
#include "app/frmMenu.h"
#include "convert/CommandBuilder.h"
#include "convert/DOSOutputs.h"
#include "convert/ProgressParser.h"
#include "feedback/frmSuggest.h"
#include "filelist/COMDLG.h"
#include "filelist/FileQueue.h"
#include "filelist/FileSearch.h"
#include "settings/OptionsIni.h"
#include "settings/SetupIni.h"
#include "settings/frmOptions.h"
#include "skin/SkinArt.h"
#include "ui/FolderDialog.h"
#include "ui/HotArea.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

frmMain::frmMain(const QString& programFolder, QWidget* parent)
    : SkinnedWindow(parent), m_programFolder(programFolder), m_places(ProgramPlace::For(programFolder))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Veltra WMA Converter"));
    MainControls::CreateLooks(*this);
    MainControls::Create(*this);
    MainControls::ApplyStyle(*this);

    connect(this, &SkinnedWindow::backgroundMoved, this, &frmMain::Form_MouseMove);

    Form_Load();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void frmMain::Form_Load()
{
    m_dialogs.Init(this);
    m_dialogs.setProgramFolder(m_programFolder);
    setSkin(SkinArt::MainSkin());
    QCoreApplication::processEvents();
    imgPB->resize(0, imgPB->height());

    m_batch = new BatchDriver(
        lstFile, [this] { return conversionSettings(); }, this);
    Timer1 = m_batch->Timer1;
    objDOS = m_batch->objDOS;
    connect(m_batch, &BatchDriver::progressChanged, this, [this](int width, const QString& caption) {
        imgPB->resize(width, imgPB->height());
        lblPB->setText(caption);
    });
    connect(m_batch, &BatchDriver::batchEnded, this, &frmMain::batchEnded);
    // An installed program makes its output folder with every missing level (its default lies under the
    // user's music folder); a program in a folder of its own makes the one level, as it always has.
    if (m_places.installed)
        m_batch->setFolderMaker([](const QString& folder) { QDir().mkpath(folder); });
    m_stopLooks[0] = SkinArt::StopButton(SkinArt::Look::Normal);
    m_stopLooks[1] = SkinArt::StopButton(SkinArt::Look::Light);
    m_stopLooks[2] = SkinArt::StopButton(SkinArt::Look::Dark);

    lblVersion->setStyleSheet(QStringLiteral("color: rgb(199, 227, 214);"));
    lblWeb->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);"));

    cmbBR->setCurrentIndex(8);
    cmbR->setCurrentIndex(1);
    cmbChannel->setCurrentIndex(1);
    cmbOF->setCurrentIndex(1);
    txtPath->setText(defaultOutputFolder());

    // Each field stands alone: one that cannot be applied keeps its default, the others still apply.
    if (SetupIni::Exists(m_places.settingsFolder)) {
        const SetupIni::Read saved = SetupIni::Load(m_places.settingsFolder);
        const auto apply = [](QComboBox* list, const std::optional<int>& index) {
            if (index && *index >= -1 && *index < list->count())
                list->setCurrentIndex(*index);
        };
        apply(cmbBR, saved.bitrateIndex);
        apply(cmbR, saved.rateIndex);
        apply(cmbChannel, saved.channelIndex);
        if (saved.outputFolder)
            txtPath->setText(*saved.outputFolder);
        apply(cmbOF, saved.formatIndex);
    }
    if (txtPath->text().isEmpty())
        txtPath->setText(defaultOutputFolder());

    lblVersion->setText(
        QStringLiteral("Ver %1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
    lblWeb->setText(QStringLiteral("Veltra WMA Converter"));
    OptionsIni::LoadOptions(m_places.settingsFolder, m_options);
    // Every control's font, the folder box's included, is scaled exactly once.
    GeometryPass();
}

void frmMain::SaveSetup()
{
    SetupIni::Values v;
    v.bitrateIndex = cmbBR->currentIndex();
    v.rateIndex = cmbR->currentIndex();
    v.channelIndex = cmbChannel->currentIndex();
    v.outputFolder = txtPath->text();
    v.formatIndex = cmbOF->currentIndex();
    // An installed program's configuration folder may not exist yet.
    QDir().mkpath(m_places.settingsFolder);
    SetupIni::Save(m_places.settingsFolder, v);
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

void frmMain::imgOptions_Click()
{
    if (m_showModal)
        m_showModal("options");
    else
        frmOptions::ShowModal(m_options, m_places.settingsFolder);
}

frmMain::~frmMain()
{
    delete m_menu;
}

frmMenu* frmMain::popupMenus()
{
    if (!m_menu) {
        m_menu = new frmMenu(txtAction, [this] { RemoveAll(); });
        updateCommands();
    }
    return m_menu;
}

void frmMain::imgMenu_Click(int index)
{
    QMenu* menus[] = {popupMenus()->menuFile, popupMenus()->menuOptions, popupMenus()->menuAbout};
    if (index < 0 || index > 2)
        return;
    // Directly under the painted entry, left-aligned with it.
    const QRect r = imgMenu[index]->geometry();
    const QPoint at = mapToGlobal(QPoint(r.left(), r.top() + r.height()));
    if (m_showPopup)
        m_showPopup(menus[index], at);
    else if (!ModalGuard::blocked("menu"))
        menus[index]->exec(at);
}

void frmMain::imgToolbar_Click(int index)
{
    switch (index) {
    case 0:
        imgAdd_Click();
        break;
    case 1: {
        QMenu* remove = popupMenus()->menuRemove;
        if (m_showPopup)
            m_showPopup(remove, QCursor::pos());
        else if (!ModalGuard::blocked("menu"))
            remove->exec(QCursor::pos());
        break;
    }
    case 2:
        imgOptions_Click();
        break;
    case 3:
        imgHelp_Click();
        break;
    case 4:
        imgExit_Click();
        break;
    case 6:
        AddFolder();
        break;
    default:
        break;
    }
}

void frmMain::txtAction_Change()
{
    // Every word is tested in this order, each against the box as it is after the commands before.
    if (txtAction->text() == QLatin1String("RemoveSelected"))
        imgRemove_Click();
    if (txtAction->text() == QLatin1String("A"))
        About();
    if (txtAction->text() == QLatin1String("AddaFile"))
        imgAdd_Click();
    if (txtAction->text() == QLatin1String("menuAddaFolder"))
        imgToolbar_Click(6);
    if (txtAction->text() == QLatin1String("menuExit"))
        imgExit_Click();
    if (txtAction->text() == QLatin1String("menuHelp"))
        imgHelp_Click();
    if (txtAction->text() == QLatin1String("menuOption"))
        imgToolbar_Click(2);
    txtAction->setText(QString());
}

void frmMain::About()
{
    MsgBox::show(QStringLiteral("Veltra Software, 2026\r\n"
                                "All rights reserved.\r\n"
                                "https://www.veltrasoft.example/"),
                 MsgBox::Icon::None);
}

void frmMain::imgHelp_Click()
{
    // A missing help file shows nothing, as the shell would.
    const QString help = m_programFolder + QStringLiteral("/help.chm");
    if (QFile::exists(help))
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    ClearLook(imgHelp);
}

void frmMain::lblWeb_Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

void frmMain::lblFeed_Click()
{
    if (m_showModal)
        m_showModal("feedback");
    else
        frmSuggest::ShowModal();
}

QString frmMain::defaultOutputFolder() const
{
    return m_places.defaultOutputFolder;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == picDrag || watched == LV->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (e->mimeData()->hasUrls()) {
                e->setDropAction(Qt::CopyAction);
                e->accept();
            } else {
                e->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            e->setDropAction(Qt::CopyAction);
            e->accept();
            if (e->mimeData()->hasUrls())
                DropFiles(e->mimeData()->urls());
            return true;
        }
        default:
            break;
        }
    }
    if (event->type() == QEvent::MouseMove && (watched == lblFeed || watched == lblWeb || watched == lblVersion)) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (watched == lblFeed) {
            QFont f = lblFeed->font();
            f.setBold(true);
            lblFeed->setFont(f);
        } else if (watched == lblVersion) {
            // The version label drags like the title bar around it, without resetting anything.
            BackgroundDrag(me->globalPosition().toPoint(), me->buttons());
        }
        // Handled here: a move over a label is not a move over the bare background.
        return true;
    } else if (event->type() == QEvent::MouseButtonRelease && (watched == lblFeed || watched == lblWeb)) {
        auto* me = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QLabel*>(watched);
        if (me->button() == Qt::LeftButton && label->isEnabled() && label->rect().contains(me->position().toPoint())) {
            if (watched == lblFeed)
                lblFeed_Click();
            else
                lblWeb_Click();
        }
        return true;
    } else if (event->type() == QEvent::MouseButtonPress && watched == lblVersion) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton)
            BeginDrag(me->globalPosition().toPoint());
        return true;
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblVersion) {
        EndDrag();
        return true;
    }
    return SkinnedWindow::eventFilter(watched, event);
}

void frmMain::imgMenu_MouseMove(int index)
{
    for (HotArea* a : imgMenu)
        ClearLook(a);
    if (index >= 0 && index < 3)
        ShowLook(imgMenu[index], imgMenuData[index]);
}

void frmMain::imgToolbar_MouseMove(int index)
{
    imgToolbar_MouseDown();
    if (index >= 0 && index < 7 && imgToolbar[index])
        ShowLook(imgToolbar[index], imgButtonData[index]);
}

void frmMain::imgToolbar_MouseDown()
{
    for (HotArea* a : imgToolbar)
        ClearLook(a);
}

void frmMain::Form_MouseMove()
{
    QFont f = lblFeed->font();
    f.setBold(false);
    lblFeed->setFont(f);
    ClearLook(imgHelp);
    ClearLook(imgExit);
    for (HotArea* b : {picButtonChannel, picButtonR, picButtonOF, picButtonBR})
        ShowLook(b, imgButton);
    ClearLook(imgBrowse);
    ClearLook(imgMin);
    for (HotArea* a : imgToolbar)
        ClearLook(a);
    for (HotArea* a : imgMenu)
        ClearLook(a);
    updateCommands();
}

void frmMain::imgBrowse_Click()
{
    const auto folder = FolderDialog::choose(this, QStringLiteral("Please select a folder:"));
    txtPath->setText(folder && !folder->isEmpty() ? *folder : defaultOutputFolder());
}

void frmMain::imgMin_Click()
{
    showMinimized();
    ClearLook(imgMin);
}

void frmMain::placardUpdate()
{
    // During a scan the placard says so, whatever the list holds.
    if (lblText->text() == QLatin1String("Searching Files..."))
        return;
    picText->setVisible(lstFile->count() < 1);
}

void frmMain::imgAdd_Click()
{
    if (m_listBusy)
        return;
    m_dialogs.setTitle(QStringLiteral("Open Files"));
    if (!m_dialogs.ShowOpen())
        return;
    const QString chosen = m_dialogs.FileName();
    if (!chosen.isEmpty())
        lstFile->append(chosen);
    placardUpdate();
}

void frmMain::picDrag_Click()
{
    if (m_listBusy)
        return;
    QString folder;
    const QString chosen =
        COMDLG::ShowOpenFile(this, QStringLiteral("Open Files"), folder, m_programFolder, QStringLiteral("*.*|*.*"),
                             COMDLG::OFN_NOCHANGEDIR | COMDLG::OFN_LONGNAMES);
    if (chosen.isEmpty())
        return;
    lstFile->append(chosen);
    placardUpdate();
}

void frmMain::setListBusy(bool busy)
{
    m_listBusy = busy;
    updateCommands();
    if (!busy)
        addHeld();
}

void frmMain::addHeld()
{
    // One at a time, in order: a folder among them is searched before the paths after it join.
    if (m_addingHeld)
        return;
    m_addingHeld = true;
    bool added = false;
    while (!m_listBusy && !m_held.isEmpty()) {
        const Held h = m_held.takeFirst();
        if (h.searchFolders && QFileInfo(h.path).isDir()) {
            ScanFolder(h.path);
        } else {
            lstFile->append(h.path);
            added = true;
        }
    }
    m_addingHeld = false;
    if (added) {
        QCoreApplication::processEvents();
        placardUpdate();
    }
}

void frmMain::AddPaths(const QStringList& paths)
{
    for (const QString& p : paths)
        m_held.append({p, true});
    addHeld();
}

void frmMain::BringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmMain::AddFolder()
{
    if (m_listBusy || isConverting())
        return;
    const auto folder = FolderDialog::choose(this, QStringLiteral("Please select a folder:"));
    ScanFolder(folder ? *folder : QString());
}

void frmMain::ScanFolder(const QString& folder)
{
    m_scanning = true;
    m_scanStopped = false;
    setListBusy(true);
    lblText->setText(QStringLiteral("Searching Files..."));
    picText->show();
    if (!folder.isEmpty()) {
        lstAddFolder.clear();
        // The Stop button ends the walk; what was found so far is kept.
        FileSearch::SearchFolder(folder, lstAddFolder, [this] {
            QCoreApplication::processEvents();
            return !m_scanStopped;
        });
        lstFile->appendMany(lstAddFolder);
    }
    lblText->setText(QStringLiteral("Drag & Drop Files Here"));
    m_scanning = false;
    setListBusy(false);
    placardUpdate();
}

void frmMain::imgRemove_Click()
{
    if (m_listBusy || isConverting())
        return;
    if (lstFile->count() >= 1) {
        const QModelIndex current = LV->currentIndex();
        if (current.isValid())
            lstFile->removeAt(current.row());
    }
    if (lstFile->count() < 1)
        picText->show();
}

void frmMain::RemoveAll()
{
    if (m_listBusy || isConverting())
        return;
    setListBusy(true);
    // Rows go from the top in growing slices, with the window's events let through every 15 ms, so a
    // long list visibly empties while the window stays responsive.
    int left = lstFile->count();
    int slice = 1;
    QElapsedTimer sinceYield;
    sinceYield.start();
    while (left > 0) {
        const int n = qMin(slice, left);
        lstFile->removeFirst(n);
        left -= n;
        if (sinceYield.elapsed() >= 15) {
            QCoreApplication::processEvents();
            sinceYield.restart();
        } else {
            slice = qMin(slice * 2, 8192);
        }
    }
    lstFile->clear();
    picText->show();
    setListBusy(false);
}

void frmMain::DropFiles(const QList<QUrl>& urls)
{
    // A drop while the list is being filled or emptied waits for that to end, so nothing is lost.
    if (m_listBusy) {
        for (const QUrl& url : urls) {
            if (url.isLocalFile())
                m_held.append({url.toLocalFile(), false});
        }
        return;
    }
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            lstFile->append(url.toLocalFile());
    }
    if (lstFile->count() >= 1) {
        QCoreApplication::processEvents();
        placardUpdate();
    }
}

void frmMain::updateCommands()
{
    const bool converting = m_batch && m_batch->isConverting();
    for (HotArea* a : imgMenu)
        a->setDimWhenDisabled(true);
    for (int i = 0; i < 7; ++i) {
        if (!imgToolbar[i])
            continue;
        imgToolbar[i]->setDimWhenDisabled(true);
        const bool changesTheList = i == 0 || i == 1 || i == 6;
        imgToolbar[i]->setEnabled(!converting && !(m_listBusy && changesTheList));
    }
    for (HotArea* a : imgMenu)
        a->setEnabled(!converting);
    if (m_menu) {
        for (QAction* a :
             {m_menu->menuAddaFile, m_menu->menuAddaFolder, m_menu->menuRemoveSelected, m_menu->menuRemoveAll})
            a->setEnabled(!m_listBusy);
    }
    for (HotArea* a : {imgAdd, imgRemove})
        a->setEnabled(!m_listBusy);
    lblFeed->setEnabled(!converting);
    // The start button is the Stop button while a list converts or a folder is searched; during Remove
    // All it waits like the rest.
    const bool stops = converting || m_scanning;
    imgConvert->setDimWhenDisabled(true);
    imgConvert->setEnabled(stops || !m_listBusy);
    if (stops)
        ShowLook(imgConvert, m_stopLooks[0]);
    else
        ClearLook(imgConvert);
}

void frmMain::imgConvert_MouseMove()
{
    ShowLook(imgConvert, isConverting() || m_scanning ? m_stopLooks[1] : imgConvertData);
}

void frmMain::imgConvert_MouseDown()
{
    if (isConverting() || m_scanning)
        ShowLook(imgConvert, m_stopLooks[2]);
    else
        ClearLook(imgConvert);
}

void frmMain::imgConvert_Click()
{
    if (m_scanning) {
        m_scanStopped = true;
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
    if (m_listBusy || isConverting())
        return;
    if (lstFile->count() < 1) {
        MsgBox::show(QStringLiteral("Please add a file"), MsgBox::Icon::Exclamation, QStringLiteral("Add"));
        return;
    }
    m_batch->setFilesAtOnce(m_options.FilesAtOnce);
    m_batch->Start();
    updateCommands();
}

QString frmMain::outputFolder() const
{
    return ProgramPlace::TypedOutputFolder(txtPath->text());
}

CommandBuilder::Request frmMain::conversionSettings() const
{
    CommandBuilder::Request request;
    request.programFolder = m_programFolder;
    request.outputFolder = outputFolder();
    request.formatIndex = cmbOF->currentIndex();
    request.bitrate = cmbBR->currentText();
    request.sampleRate = cmbR->currentText();
    request.channelIndex = cmbChannel->currentIndex();
    request.options = m_options;
    return request;
}

void frmMain::batchEnded(BatchDriver::End how, const QString& folder)
{
    if (how == BatchDriver::End::Finished) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        if (m_options.SoundReminder == 0)
            Sound::play(m_programFolder + QStringLiteral("/sound.wav"));
        picDrag->setVisible(true);
    }
    for (HotArea* a : {imgAdd, imgRemove, imgStart, imgBrowse, imgConvert})
        a->setEnabled(true);
    updateCommands();
    imgPB->resize(0, imgPB->height());
    lblPB->setText(how == BatchDriver::End::Finished ? m_batch->outcome().label() : QStringLiteral("Stopped."));
    placardUpdate();
    if (!m_batch->outcome().failures().isEmpty())
        MsgBox::show(m_batch->outcome().failureMessage(), MsgBox::Icon::Warning, {},
                     m_batch->outcome().failureDetails());
    emit batchFinished();
}
