#include "frmOptions.h"

#include "settings/NumberRules.h"
#include "settings/OptionsIni.h"
#include "skin/SkinArt.h"
#include "skin/StyleSheets.h"
#include "ui/DialogKeys.h"
#include "ui/HotArea.h"
#include "ui/ModalGuard.h"
#include "ui/MsgBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <cmath>

namespace {

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

    m_ui.setup(this);

    connect(m_ui.picButtonBR, &HotArea::clicked, m_ui.cmbSR, &QComboBox::showPopup);
    connect(m_ui.picButtonFiles, &HotArea::clicked, m_ui.cmbFiles, &QComboBox::showPopup);
    connect(m_ui.picButtonOutputFiles, &HotArea::clicked, m_ui.cmbOutputFiles, &QComboBox::showPopup);
    connect(m_ui.picButtonIfExists, &HotArea::clicked, m_ui.cmbIfExists, &QComboBox::showPopup);
    connect(m_ui.imgOK, &HotArea::clicked, this, &frmOptions::imgOK_Click);
    connect(m_ui.imgBack, &HotArea::clicked, this, &frmOptions::imgBack_Click);
    connect(m_ui.imgExit, &HotArea::clicked, this, &frmOptions::imgBack_Click);
    connect(m_ui.chkMC, &QCheckBox::clicked, this, &frmOptions::chkMC_Click);
    // The fields come first in the Tab chain; each drop button's selector is in it already.
    for (HotArea* a :
         {m_ui.picButtonBR, m_ui.picButtonFiles, m_ui.picButtonOutputFiles, m_ui.picButtonIfExists, m_ui.imgExit})
        a->keepOutOfTabChain();
    m_ui.imgOK->setCaption(QStringLiteral("OK"));
    m_ui.imgBack->setCaption(QStringLiteral("Back"));
    m_ui.imgExit->setCaption(QStringLiteral("Close"));
    DialogKeys::install(this, m_ui.imgOK, m_ui.imgBack);
    connect(this, &SkinnedWindow::backgroundMoved, this, &frmOptions::Form_MouseMove);
    setStyleSheet(StyleSheets::Options());

    Form_Load();
}

void frmOptions::Form_Load()
{
    setSkin(SkinArt::OptionsSkin());
    GeometryPass();
    m_ui.cmbSR->setCurrentIndex(m_options.SoundReminder);
    m_ui.cmbFiles->setCurrentIndex(qBound(0, int(m_options.FilesAtOnce), 8));
    m_ui.cmbOutputFiles->setCurrentIndex(qBound(0, int(m_options.OutputFiles), 2));
    m_ui.cmbIfExists->setCurrentIndex(qBound(0, int(m_options.IfExists), 1));
    m_ui.chkMC->setChecked(m_options.MusicCutter != 0);
    const bool on = m_ui.chkMC->isChecked();
    for (QLineEdit* box : m_ui.timeBoxes())
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
    fill(m_options.CutFrom, m_ui.txtFromH, m_ui.txtFromM, m_ui.txtFromS);
    fill(m_options.CutDuration, m_ui.txtToH, m_ui.txtToM, m_ui.txtToS);
}

void frmOptions::Form_MouseMove()
{
    HotArea::ClearAll(this);
}

void frmOptions::chkMC_Click()
{
    const bool on = m_ui.chkMC->isChecked();
    for (QLineEdit* box : m_ui.timeBoxes())
        box->setEnabled(on);
}

void frmOptions::imgOK_Click()
{
    const struct
    {
        QLineEdit* box;
        const char* message;
    } checks[] = {{m_ui.txtFromM, "Minutes must less than 60"},
                  {m_ui.txtToM, "Minutes must less than 60"},
                  {m_ui.txtFromS, "Seconds must less than 60"},
                  {m_ui.txtToS, "Seconds must less than 60"}};
    for (const auto& c : checks) {
        if (value(c.box) > 59) {
            MsgBox::show(QString::fromLatin1(c.message), MsgBox::Icon::Warning, QStringLiteral("Min"));
            c.box->setFocus();
            return;
        }
    }
    bool allZero = true;
    for (QLineEdit* box : m_ui.timeBoxes())
        allZero = allZero && value(box) == 0;
    if (allZero)
        m_ui.chkMC->setChecked(false);

    m_options.SoundReminder = qint16(qMax(0, m_ui.cmbSR->currentIndex()));
    m_options.MusicCutter = m_ui.chkMC->isChecked() ? 1 : 0;
    const auto seconds = [](QLineEdit* h, QLineEdit* m, QLineEdit* s, qint32 fallback) {
        const auto v = NumberRules::ToInt32(3600 * value(h) + 60 * value(m) + value(s));
        return v ? qint32(*v) : fallback;
    };
    m_options.CutFrom = seconds(m_ui.txtFromH, m_ui.txtFromM, m_ui.txtFromS, m_options.CutFrom);
    m_options.CutDuration = seconds(m_ui.txtToH, m_ui.txtToM, m_ui.txtToS, m_options.CutDuration);
    m_options.FilesAtOnce = qint32(qMax(0, m_ui.cmbFiles->currentIndex()));
    m_options.OutputFiles = qint32(qMax(0, m_ui.cmbOutputFiles->currentIndex()));
    m_options.IfExists = qint32(qMax(0, m_ui.cmbIfExists->currentIndex()));
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
