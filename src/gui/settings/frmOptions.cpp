#include "frmOptions.h"

#include "convert/BatchDriver.h"
#include "settings/NumberRules.h"
#include "settings/OptionsIni.h"
#include "skin/SkinArt.h"
#include "ui/HotArea.h"
#include "ui/ModalGuard.h"
#include "ui/MsgBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <cmath>

namespace {
const char* kStyle = R"(
QComboBox, QLineEdit {
    background: #11171f; color: #e6edf3; border: 1px solid #344356; border-radius: 3px;
    padding: 0px 4px; selection-background-color: #23b3a0;
}
QLineEdit:disabled { color: #5f7388; background: #161d26; }
QComboBox::drop-down { width: 20px; border: none; }
QComboBox::down-arrow { image: none; }
QComboBox QAbstractItemView {
    background: #1e2835; color: #e6edf3; border: 1px solid #344356;
    selection-background-color: #23b3a0; selection-color: #ffffff; outline: none;
}
QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid #5f7388; border-radius: 2px; background: #11171f; }
QCheckBox::indicator:checked { background: #23b3a0; border-color: #40d6be; }
QToolTip { background: #243142; color: #e6edf3; border: 1px solid #23b3a0; padding: 3px; }
)";

QLineEdit* timeBox(QWidget* parent, const char* name, const QRect& r)
{
    auto* box = new QLineEdit(QStringLiteral("0"), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(r);
    QFont f(SkinArt::FontFamily());
    f.setPointSizeF(8);
    box->setFont(f);
    return box;
}

double value(const QLineEdit* box)
{
    return NumberRules::LeadingNumber(box->text());
}
} // namespace

frmOptions::frmOptions(OptionSettings& options, const QString& programFolder, QWidget* parent)
    : SkinnedWindow(parent), m_options(options), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QFont f(SkinArt::FontFamily());
    f.setPointSizeF(8);
    setFont(f);

    cmbSR = new QComboBox(this);
    cmbSR->setObjectName(QStringLiteral("cmbSR"));
    cmbSR->setGeometry(146, 34, 163, 20);
    cmbSR->addItems({QStringLiteral("ON"), QStringLiteral("OFF")});
    chkMC = new QCheckBox(QStringLiteral("Music Cutter"), this);
    chkMC->setObjectName(QStringLiteral("chkMC"));
    chkMC->setGeometry(146, 64, 13, 13);
    txtFromH = timeBox(this, "txtFromH", {94, 85, 19, 18});
    txtFromM = timeBox(this, "txtFromM", {160, 85, 31, 18});
    txtFromS = timeBox(this, "txtFromS", {230, 85, 43, 18});
    txtToH = timeBox(this, "txtToH", {94, 109, 19, 18});
    txtToM = timeBox(this, "txtToM", {160, 109, 31, 18});
    txtToS = timeBox(this, "txtToS", {230, 109, 43, 18});
    cmbFiles = new QComboBox(this);
    cmbFiles->setObjectName(QStringLiteral("cmbFiles"));
    cmbFiles->setGeometry(146, 132, 163, 20);
    const int cores = BatchDriver::Resolve(0);
    cmbFiles->addItem(QStringLiteral("Auto (%1 %2)").arg(cores).arg(cores == 1 ? "core" : "cores"));
    for (int n = 1; n <= 8; ++n)
        cmbFiles->addItem(QString::number(n));
    cmbFiles->setToolTip(QStringLiteral("How many files convert at the same time; Auto takes one per processor core"));
    setTabOrder(cmbSR, chkMC);
    QWidget* previous = chkMC;
    for (QLineEdit* box : timeBoxes()) {
        setTabOrder(previous, box);
        previous = box;
    }
    setTabOrder(previous, cmbFiles);

    picButtonBR = HotArea::create(this, "picButtonBR", {290, 35, 19, 19});
    picButtonFiles = HotArea::create(this, "picButtonFiles", {290, 133, 19, 19});
    imgOK = HotArea::create(this, "imgOK", {166, 162, 58, 18});
    imgBack = HotArea::create(this, "imgBack", {246, 162, 58, 18}, QStringLiteral("Back"));
    imgExit = HotArea::create(this, "imgExit", {299, 11, 15, 15}, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));

    using SkinArt::Look;
    imgOKLight = SkinArt::DialogButton(QStringLiteral("OK"), Look::Light);
    imgBackLight = SkinArt::DialogButton(QStringLiteral("Back"), Look::Light);
    imgExitLight = SkinArt::CloseButton(Look::Light);
    imgButton = SkinArt::DropButton(Look::Normal);
    imgButtonLight = SkinArt::DropButton(Look::Light);
    picButtonBR->setPixmap(imgButton);
    picButtonFiles->setPixmap(imgButton);

    connect(imgOK, &HotArea::mouseMoved, this, [this] { ShowLook(imgOK, imgOKLight); });
    connect(imgBack, &HotArea::mouseMoved, this, [this] { ShowLook(imgBack, imgBackLight); });
    connect(imgExit, &HotArea::mouseMoved, this, [this] { ShowLook(imgExit, imgExitLight); });
    connect(picButtonBR, &HotArea::mouseMoved, this, [this] { ShowLook(picButtonBR, imgButtonLight); });
    connect(picButtonBR, &HotArea::clicked, cmbSR, &QComboBox::showPopup);
    connect(picButtonFiles, &HotArea::mouseMoved, this, [this] { ShowLook(picButtonFiles, imgButtonLight); });
    connect(picButtonFiles, &HotArea::clicked, cmbFiles, &QComboBox::showPopup);
    connect(imgOK, &HotArea::clicked, this, &frmOptions::imgOK_Click);
    connect(imgBack, &HotArea::clicked, this, &frmOptions::imgBack_Click);
    connect(imgExit, &HotArea::clicked, this, &frmOptions::imgBack_Click);
    connect(chkMC, &QCheckBox::clicked, this, &frmOptions::chkMC_Click);
    connect(this, &SkinnedWindow::backgroundMoved, this, &frmOptions::Form_MouseMove);
    setStyleSheet(QString::fromLatin1(kStyle));

    Form_Load();
}

QList<QLineEdit*> frmOptions::timeBoxes() const
{
    return {txtFromH, txtFromM, txtFromS, txtToH, txtToM, txtToS};
}

void frmOptions::Form_Load()
{
    setSkin(SkinArt::OptionsSkin());
    GeometryPass();
    cmbSR->setCurrentIndex(m_options.SoundReminder);
    cmbFiles->setCurrentIndex(qBound(0, int(m_options.FilesAtOnce), 8));
    chkMC->setChecked(m_options.MusicCutter != 0);
    const bool on = chkMC->isChecked();
    for (QLineEdit* box : timeBoxes())
        box->setEnabled(on);
    if (!on)
        return;
    const auto fill = [](qint32 x, QLineEdit* h, QLineEdit* m, QLineEdit* s) {
        const qint64 hours = qint64(std::floor(x / 3600.0));
        h->setText(QString::number(hours));
        const qint64 minutes = qint64(std::floor((x - 3600.0 * hours) / 60.0));
        m->setText(QString::number(minutes));
        s->setText(QString::number(qint64(std::floor(x - 3600.0 * hours - 60.0 * minutes))));
    };
    fill(m_options.CutFrom, txtFromH, txtFromM, txtFromS);
    fill(m_options.CutDuration, txtToH, txtToM, txtToS);
}

void frmOptions::Form_MouseMove()
{
    ClearLook(imgExit);
    ClearLook(imgBack);
    ClearLook(imgOK);
    ShowLook(picButtonBR, imgButton);
    ShowLook(picButtonFiles, imgButton);
}

void frmOptions::chkMC_Click()
{
    const bool on = chkMC->isChecked();
    for (QLineEdit* box : timeBoxes())
        box->setEnabled(on);
}

void frmOptions::imgOK_Click()
{
    const struct
    {
        QLineEdit* box;
        const char* message;
    } checks[] = {{txtFromM, "Minutes must less than 60"},
                  {txtToM, "Minutes must less than 60"},
                  {txtFromS, "Seconds must less than 60"},
                  {txtToS, "Seconds must less than 60"}};
    for (const auto& c : checks) {
        if (value(c.box) > 59) {
            MsgBox::show(QString::fromLatin1(c.message), MsgBox::Icon::Warning, QStringLiteral("Min"));
            c.box->setFocus();
            return;
        }
    }
    bool allZero = true;
    for (QLineEdit* box : timeBoxes())
        allZero = allZero && value(box) == 0;
    if (allZero)
        chkMC->setChecked(false);

    m_options.SoundReminder = qint16(qMax(0, cmbSR->currentIndex()));
    m_options.MusicCutter = chkMC->isChecked() ? 1 : 0;
    const auto seconds = [](QLineEdit* h, QLineEdit* m, QLineEdit* s, qint32 fallback) {
        const auto v = NumberRules::ToInt32(3600 * value(h) + 60 * value(m) + value(s));
        return v ? qint32(*v) : fallback;
    };
    m_options.CutFrom = seconds(txtFromH, txtFromM, txtFromS, m_options.CutFrom);
    m_options.CutDuration = seconds(txtToH, txtToM, txtToS, m_options.CutDuration);
    m_options.FilesAtOnce = qint32(qMax(0, cmbFiles->currentIndex()));
    QDir().mkpath(m_programFolder);
    OptionsIni::SaveOptions(m_programFolder, m_options);
    close();
}

void frmOptions::ShowModal(OptionSettings& options, const QString& programFolder)
{
    if (ModalGuard::blocked("options window"))
        return;
    frmOptions dialog(options, programFolder);
    dialog.ExecModal();
}
