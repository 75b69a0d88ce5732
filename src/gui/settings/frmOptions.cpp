#include "frmOptions.h"

#include "convert/NamePattern.h"
#include "settings/NumberRules.h"
#include "settings/OptionRows.h"
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

// The Output names list, whose last item is the pattern in the box below the lists.
QComboBox* namesList(const OptionsUi& ui)
{
    const OptionRows::Row* row = OptionRows::Find(QStringLiteral("cmbOutputNames"));
    return ui.lists.value(row ? row - OptionRows::All().constData() : -1);
}

bool ownPattern(const QComboBox* names)
{
    return names && names->currentIndex() == int(NamePattern::Preset::Custom);
}
} // namespace

frmOptions::frmOptions(OptionSettings& options, const QString& settingsFolder, QWidget* parent)
    : SkinnedWindow(parent), m_options(options), m_settingsFolder(settingsFolder)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    QFont f(SkinArt::FontFamily());
    f.setPointSizeF(8);
    setFont(f);

    m_ui.setup(this);

    for (qsizetype row = 0; row < m_ui.lists.size(); ++row) {
        connect(m_ui.drops[row], &HotArea::clicked, m_ui.lists[row], &QComboBox::showPopup);
        // The fields come first in the Tab chain; each drop button's list is in it already.
        m_ui.drops[row]->keepOutOfTabChain();
    }
    connect(m_ui.imgOK, &HotArea::clicked, this, &frmOptions::imgOK_Click);
    connect(m_ui.imgBack, &HotArea::clicked, this, &frmOptions::imgBack_Click);
    connect(m_ui.imgExit, &HotArea::clicked, this, &frmOptions::imgBack_Click);
    connect(m_ui.chkMC, &QCheckBox::clicked, this, &frmOptions::chkMC_Click);
    if (QComboBox* names = namesList(m_ui)) {
        connect(names, &QComboBox::currentIndexChanged, this,
                [this, names] { m_ui.txtPattern->setEnabled(ownPattern(names)); });
    }
    m_ui.imgExit->keepOutOfTabChain();
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
    const QList<OptionRows::Row>& rows = OptionRows::All();
    for (qsizetype row = 0; row < rows.size(); ++row)
        m_ui.lists[row]->setCurrentIndex(rows[row].position(m_options));
    m_ui.txtPattern->setText(m_options.NamePattern);
    m_ui.txtPattern->setEnabled(ownPattern(namesList(m_ui)));
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
    // A pattern that cannot name anything is refused here, not file after file in the batch.
    QString patternProblem;
    if (ownPattern(namesList(m_ui)) &&
        !NamePattern::For(NamePattern::Preset::Custom, m_ui.txtPattern->text(), &patternProblem)) {
        MsgBox::show(patternProblem, MsgBox::Icon::Warning, QStringLiteral("Output names"));
        m_ui.txtPattern->setFocus();
        return;
    }
    bool allZero = true;
    for (QLineEdit* box : m_ui.timeBoxes())
        allZero = allZero && value(box) == 0;
    if (allZero)
        m_ui.chkMC->setChecked(false);

    const QList<OptionRows::Row>& rows = OptionRows::All();
    for (qsizetype row = 0; row < rows.size(); ++row)
        rows[row].set(m_options, qint32(qMax(0, m_ui.lists[row]->currentIndex())));
    m_options.NamePattern = m_ui.txtPattern->text();
    m_options.MusicCutter = m_ui.chkMC->isChecked() ? 1 : 0;
    const auto seconds = [](QLineEdit* h, QLineEdit* m, QLineEdit* s, qint32 fallback) {
        const auto v = NumberRules::ToInt32(3600 * value(h) + 60 * value(m) + value(s));
        return v ? qint32(*v) : fallback;
    };
    m_options.CutFrom = seconds(m_ui.txtFromH, m_ui.txtFromM, m_ui.txtFromS, m_options.CutFrom);
    m_options.CutDuration = seconds(m_ui.txtToH, m_ui.txtToM, m_ui.txtToS, m_options.CutDuration);
    QDir().mkpath(m_settingsFolder);
    OptionsIni::SaveOptions(m_settingsFolder, m_options);
    close();
}

void frmOptions::ShowModal(OptionSettings& options, const QString& settingsFolder)
{
    if (ModalGuard::blocked("options window"))
        return;
    frmOptions dialog(options, settingsFolder);
    dialog.ExecModal();
}
