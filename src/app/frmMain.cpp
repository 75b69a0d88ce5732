#include "frmMain.h"

#include "convert/CommandBuilder.h"
#include "convert/DOSOutputs.h"
#include "convert/ProgressParser.h"
#include "filelist/FileQueue.h"
#include "ui/HotArea.h"
#include "ui/MsgBox.h"
#include "ui/Sound.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

namespace {
const QStringList kFormats = {"MP3", "WMA", "OGG", "WAV", "FLAC", "AC3", "AAC", "AMR"};
const QStringList kBitrates = {"32", "48", "56", "64", "80", "96", "112", "128", "192", "224", "256", "320"};
const QStringList kRates = {"48000", "44100", "32000", "24000", "22050", "16000", "12050", "8000"};
const QStringList kChannels = {"Mono", "Stereo"};

HotArea* hotArea(QWidget* parent, const char* name, const QRect& r, const QString& tip = QString())
{
    auto* a = new HotArea(parent);
    a->setObjectName(QString::fromLatin1(name));
    a->setGeometry(r);
    if (!tip.isEmpty())
        a->setToolTip(tip);
    return a;
}

QComboBox* selector(QWidget* parent, const char* name, const QRect& r, const QStringList& items, int index,
                    const QString& tip)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(r);
    c->addItems(items);
    c->setCurrentIndex(index);
    c->setToolTip(tip);
    return c;
}
} // namespace

frmMain::frmMain(const QString& programFolder, QWidget* parent) : QWidget(parent), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Veltra WMA Converter"));
    setFixedSize(700, 500);

    createControls();

    objDOS = new DOSOutputs(this);
    connect(objDOS, &DOSOutputs::ReceiveOutputs, this, &frmMain::objDOS_ReceiveOutputs);
    connect(objDOS, &DOSOutputs::CommandOver, this, &frmMain::objDOS_CommandOver);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
}

frmMain::~frmMain() = default;

QString frmMain::defaultOutputFolder() const
{
    return m_programFolder + QStringLiteral("/output");
}

void frmMain::createControls()
{
    struct Spot
    {
        int index;
        QRect rect;
        const char* caption;
    };
    const Spot toolbar[] = {{0, {16, 55, 86, 53}, "Add File(s)"}, {6, {103, 55, 86, 53}, "Add Folder"},
                            {1, {190, 55, 86, 53}, "Remove"},      {2, {277, 55, 86, 53}, "Options"},
                            {3, {364, 55, 86, 53}, "Help"},        {4, {451, 55, 86, 53}, "Exit"}};
    for (const Spot& s : toolbar) {
        imgToolbar[s.index] = hotArea(this, "imgToolbar", s.rect);
        imgToolbar[s.index]->setProperty("index", s.index);
        imgToolbar[s.index]->setText(QString::fromLatin1(s.caption));
        imgToolbar[s.index]->setAlignment(Qt::AlignCenter);
    }
    const Spot menu[] = {{0, {18, 31, 40, 15}, "File"}, {1, {60, 31, 59, 15}, "Options"}, {2, {122, 31, 51, 15}, "About"}};
    for (const Spot& s : menu) {
        imgMenu[s.index] = hotArea(this, "imgMenu", s.rect);
        imgMenu[s.index]->setProperty("index", s.index);
        imgMenu[s.index]->setText(QString::fromLatin1(s.caption));
    }

    lstFile = new FileQueue(this);
    LV = new QTreeView(this);
    LV->setObjectName(QStringLiteral("LV"));
    LV->setGeometry(17, 160, 455, 274);
    LV->setModel(lstFile);
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setItemsExpandable(false);
    LV->header()->setStretchLastSection(false);
    LV->header()->resizeSection(0, 361);
    LV->header()->resizeSection(1, 94);

    picText = new QLabel(this);
    picText->setObjectName(QStringLiteral("picText"));
    picText->setGeometry(164, 264, 163, 21);
    lblText = new QLabel(QStringLiteral("Drag & Drop Files Here"), picText);
    lblText->setObjectName(QStringLiteral("lblText"));
    lblText->setGeometry(12, 4, 139, 14);
    lblText->setAlignment(Qt::AlignCenter);
    connect(lstFile, &QAbstractItemModel::rowsInserted, this, &frmMain::placardUpdate);
    connect(lstFile, &QAbstractItemModel::rowsRemoved, this, &frmMain::placardUpdate);
    connect(lstFile, &QAbstractItemModel::modelReset, this, &frmMain::placardUpdate);

    cmbOF = selector(this, "cmbOF", {488, 158, 189, 22}, kFormats, 1, QStringLiteral("Output Format"));
    cmbBR = selector(this, "cmbBR", {488, 200, 189, 22}, kBitrates, 8, QStringLiteral("MP3 Audio Bitrate"));
    cmbR = selector(this, "cmbR", {488, 244, 189, 22}, kRates, 1, QStringLiteral("MP3 Audio Rate"));
    cmbChannel = selector(this, "cmbChannel", {488, 286, 189, 22}, kChannels, 1,
                          QStringLiteral("MP3 Audio Channel(Stereo or Mono)"));
    txtPath = new QLineEdit(defaultOutputFolder(), this);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setGeometry(488, 330, 143, 23);
    txtPath->setToolTip(QStringLiteral("Select a Folder to Output"));
    setTabOrder(cmbOF, cmbBR);
    setTabOrder(cmbBR, cmbR);
    setTabOrder(cmbR, cmbChannel);
    setTabOrder(cmbChannel, txtPath);

    imgBrowse = hotArea(this, "imgBrowse", {635, 331, 42, 22}, QStringLiteral("Select an Output Folder"));
    imgBrowse->setText(QStringLiteral("..."));
    imgBrowse->setAlignment(Qt::AlignCenter);
    imgConvert = hotArea(this, "imgConvert", {489, 371, 187, 91});
    imgConvert->setText(QStringLiteral("Start"));
    imgConvert->setAlignment(Qt::AlignCenter);
    // Image buttons below the visible face: reachable by the program, not by the pointer.
    imgAdd = hotArea(this, "imgAdd", {10, 549, 32, 32}, QStringLiteral("Add a new file to file list"));
    imgRemove = hotArea(this, "imgRemove", {50, 549, 32, 32}, QStringLiteral("Remove a file from file list"));
    imgStart = hotArea(this, "imgStart", {90, 549, 32, 32});
    connect(imgConvert, &HotArea::clicked, this, &frmMain::imgConvert_Click);
    connect(imgStart, &HotArea::clicked, this, &frmMain::imgConvert_Click);

    lblFeed = new QLabel(QStringLiteral("Feedback"), this);
    lblFeed->setObjectName(QStringLiteral("lblFeed"));
    lblFeed->setGeometry(628, 477, 46, 13);
    lblFeed->setToolTip(QStringLiteral("Send us your suggestion or question"));

    imgPB = new QLabel(this);
    imgPB->setObjectName(QStringLiteral("imgPB"));
    imgPB->setGeometry(113, 447, 0, 13);
    imgPB->setAutoFillBackground(true);
    QPalette bar = imgPB->palette();
    bar.setColor(QPalette::Window, QColor(46, 160, 96));
    imgPB->setPalette(bar);
    lblPB = new QLabel(QStringLiteral("0%"), this);
    lblPB->setObjectName(QStringLiteral("lblPB"));
    lblPB->setGeometry(214, 447, 157, 13);
    lblPB->setAlignment(Qt::AlignCenter);

    picDrag = new QLabel(this);
    picDrag->setObjectName(QStringLiteral("picDrag"));
    picDrag->setGeometry(728, 422, 143, 146);
    picDrag->setToolTip(QStringLiteral("Drag media files onto this DropZone"));
}

void frmMain::placardUpdate()
{
    picText->setVisible(lstFile->count() < 1);
}

void frmMain::setConversionLocked(bool locked)
{
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
    if (lstFile->count() < 1) {
        MsgBox::show(QStringLiteral("Please add a file"), MsgBox::Icon::Exclamation, QStringLiteral("Add"));
        return;
    }
    // A second start while a batch runs would run two tools on one queue.
    if (m_converting)
        return;
    m_converting = true;
    m_outcome.reset();
    setConversionLocked(true);
    Timer1->start();
}

void frmMain::Timer1_Timer()
{
    Timer1->stop();
    QCoreApplication::processEvents();
    ConvertNext();
}

void frmMain::ConvertNext()
{
    QDir().mkdir(txtPath->text());
    if (lstFile->count() >= 1) {
        CommandBuilder::Request request;
        request.programFolder = m_programFolder;
        request.inputPath = lstFile->at(0);
        request.outputFolder = txtPath->text();
        request.formatIndex = cmbOF->currentIndex();
        request.bitrate = cmbBR->currentText();
        request.sampleRate = cmbR->currentText();
        request.channelIndex = cmbChannel->currentIndex();
        request.options = m_options;
        m_currentInput = request.inputPath;
        m_currentOutput = CommandBuilder::OutputPath(request);
        objDOS->setCommandLine(CommandBuilder::BuildCommandLine(request));
        objDOS->ExecuteCommand();
        return;
    }
    finishBatch();
}

void frmMain::finishBatch()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(txtPath->text()));
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
