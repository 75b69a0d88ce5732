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

frmMain::frmMain(const QString& programFolder, QWidget* parent) : SkinnedWindow(parent), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Veltra WMA Converter"));
    MainControls::CreateLooks(*this);
    MainControls::Create(*this);
    MainControls::ApplyStyle(*this);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
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

    objDOS = new DOSOutputs(this);
    connect(objDOS, &DOSOutputs::ReceiveOutputs, this, &frmMain::objDOS_ReceiveOutputs);
    connect(objDOS, &DOSOutputs::CommandOver, this, &frmMain::objDOS_CommandOver);

    lblVersion->setStyleSheet(QStringLiteral("color: rgb(199, 227, 214);"));
    lblWeb->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);"));

    cmbBR->setCurrentIndex(8);
    cmbR->setCurrentIndex(1);
    cmbChannel->setCurrentIndex(1);
    cmbOF->setCurrentIndex(1);
    txtPath->setText(defaultOutputFolder());

    // Each field stands alone: one that cannot be applied keeps its default, the others still apply.
    if (SetupIni::Exists(m_programFolder)) {
        const SetupIni::Read saved = SetupIni::Load(m_programFolder);
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
    OptionsIni::LoadOptions(m_programFolder, m_options);
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
    SetupIni::Save(m_programFolder, v);
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
        frmOptions::ShowModal(m_options, m_programFolder);
}

frmMain::~frmMain()
{
    delete m_menu;
}

frmMenu* frmMain::popupMenus()
{
    if (!m_menu)
        m_menu = new frmMenu(txtAction, [this] { RemoveAll(); });
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
    return m_programFolder + QStringLiteral("/output");
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
    ClearLook(imgConvert);
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

void frmMain::AddFolder()
{
    if (m_listBusy || m_converting)
        return;
    const auto folder = FolderDialog::choose(this, QStringLiteral("Please select a folder:"));
    m_listBusy = true;
    lblText->setText(QStringLiteral("Searching Files..."));
    picText->show();
    if (folder && !folder->isEmpty()) {
        lstAddFolder.clear();
        FileSearch::SearchFolder(*folder, lstAddFolder, [] { QCoreApplication::processEvents(); });
        lstFile->appendMany(lstAddFolder);
    }
    lblText->setText(QStringLiteral("Drag & Drop Files Here"));
    m_listBusy = false;
    placardUpdate();
}

void frmMain::imgRemove_Click()
{
    if (m_listBusy || m_converting)
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
    if (m_listBusy || m_converting)
        return;
    m_listBusy = true;
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
    m_listBusy = false;
}

void frmMain::DropFiles(const QList<QUrl>& urls)
{
    if (m_listBusy)
        return;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            lstFile->append(url.toLocalFile());
    }
    if (lstFile->count() >= 1) {
        QCoreApplication::processEvents();
        placardUpdate();
    }
}

void frmMain::setConversionLocked(bool locked)
{
    for (HotArea* a : imgMenu)
        a->setDimWhenDisabled(true);
    for (HotArea* a : imgToolbar) {
        if (a)
            a->setDimWhenDisabled(true);
    }
    imgConvert->setDimWhenDisabled(true);
    for (HotArea* a : imgToolbar) {
        if (a)
            a->setEnabled(!locked);
    }
    for (HotArea* a : imgMenu)
        a->setEnabled(!locked);
    imgConvert->setEnabled(!locked);
    lblFeed->setEnabled(!locked);
}

void frmMain::imgConvert_Click()
{
    if (m_listBusy)
        return;
    if (lstFile->count() < 1) {
        MsgBox::show(QStringLiteral("Please add a file"), MsgBox::Icon::Exclamation, QStringLiteral("Add"));
        return;
    }
    // A second start while a batch runs would run two tools on one queue.
    if (m_converting)
        return;
    m_converting = true;
    m_outcome.reset();
    m_outputNames.reset();
    setConversionLocked(true);
    Timer1->start();
}

void frmMain::Timer1_Timer()
{
    Timer1->stop();
    QCoreApplication::processEvents();
    ConvertNext();
}

QString frmMain::outputFolder() const
{
    // A relative folder is taken from where the program runs, once, so the tool writes to the folder
    // that opens at the end whatever either of them takes as its own current folder.
    const QString text = txtPath->text();
    if (text.isEmpty() || QDir::isAbsolutePath(text))
        return text;
    return QDir::cleanPath(QDir::current().absoluteFilePath(text));
}

void frmMain::ConvertNext()
{
    const QString folder = outputFolder();
    QDir().mkdir(folder);
    if (lstFile->count() >= 1) {
        CommandBuilder::Request request;
        request.programFolder = m_programFolder;
        request.inputPath = lstFile->at(0);
        request.outputFolder = folder;
        request.formatIndex = cmbOF->currentIndex();
        request.bitrate = cmbBR->currentText();
        request.sampleRate = cmbR->currentText();
        request.channelIndex = cmbChannel->currentIndex();
        request.options = m_options;
        const QString wanted = CommandBuilder::OutputPath(request);
        if (!wanted.isEmpty()) {
            const auto chosen = m_outputNames.Reserve(request.inputPath, wanted);
            if (!chosen) {
                m_outcome.fail(request.inputPath, QStringLiteral("No free name for the output beside ") + wanted);
                lstFile->removeAt(0);
                QMetaObject::invokeMethod(this, &frmMain::ConvertNext, Qt::QueuedConnection);
                return;
            }
            request.outputPath = *chosen;
        }
        m_currentInput = request.inputPath;
        m_currentOutput = request.outputPath;
        objDOS->setCommandLine(CommandBuilder::BuildCommandLine(request));
        objDOS->ExecuteCommand();
        return;
    }
    finishBatch();
}

void frmMain::finishBatch()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(outputFolder()));
    if (m_options.SoundReminder == 0)
        Sound::play(m_programFolder + QStringLiteral("/sound.wav"));
    picDrag->setVisible(true);
    lblFeed->setEnabled(true);
    for (HotArea* a : {imgAdd, imgRemove, imgStart, imgBrowse, imgConvert})
        a->setEnabled(true);
    setConversionLocked(false);
    imgPB->resize(0, imgPB->height());

    // Files that did not convert go back into the list, so nothing is lost silently.
    for (const BatchOutcome::Failure& f : m_outcome.failures())
        lstFile->append(f.input);
    lblPB->setText(m_outcome.label());
    m_converting = false;
    if (!m_outcome.failures().isEmpty())
        MsgBox::show(m_outcome.failureMessage(), MsgBox::Icon::Warning);
    emit batchFinished();
}

void frmMain::objDOS_ReceiveOutputs(const QString& CommandOutputs)
{
    const auto display = ProgressParser::Parse(CommandOutputs, lTotalSeconds, m_options);
    if (!display)
        return;
    imgPB->resize(display->barWidth, imgPB->height());
    lblPB->setText(display->caption);
}

void frmMain::objDOS_CommandOver()
{
    m_outcome.record(m_currentInput, m_currentOutput, objDOS->lastExit(), objDOS->Outputs());
    lstFile->removeAt(0);
    lTotalSeconds = 0;
    // The next file starts once this notification has returned, so the call depth stays the same
    // however many files the batch holds.
    QMetaObject::invokeMethod(this, &frmMain::ConvertNext, Qt::QueuedConnection);
}
