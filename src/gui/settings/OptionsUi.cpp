#include "OptionsUi.h"

#include "settings/FilesAtOnce.h"
#include "skin/SkinArt.h"
#include "skin/SkinLayout.h"
#include "ui/HotArea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {
namespace Options = SkinLayout::Options;

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
} // namespace

void OptionsUi::setup(QWidget* w)
{
    setupFields(w);
    setupButtons(w);
}

QList<QLineEdit*> OptionsUi::timeBoxes() const
{
    return {txtFromH, txtFromM, txtFromS, txtToH, txtToM, txtToS};
}

void OptionsUi::setupFields(QWidget* w)
{
    cmbSR = new QComboBox(w);
    cmbSR->setObjectName(QStringLiteral("cmbSR"));
    cmbSR->setGeometry(Options::kSoundReminder);
    cmbSR->addItems({QStringLiteral("ON"), QStringLiteral("OFF")});
    chkMC = new QCheckBox(QStringLiteral("Music Cutter"), w);
    chkMC->setObjectName(QStringLiteral("chkMC"));
    chkMC->setGeometry(Options::kMusicCutter);
    txtFromH = timeBox(w, "txtFromH", Options::kFrom[0]);
    txtFromM = timeBox(w, "txtFromM", Options::kFrom[1]);
    txtFromS = timeBox(w, "txtFromS", Options::kFrom[2]);
    txtToH = timeBox(w, "txtToH", Options::kDuration[0]);
    txtToM = timeBox(w, "txtToM", Options::kDuration[1]);
    txtToS = timeBox(w, "txtToS", Options::kDuration[2]);
    cmbFiles = new QComboBox(w);
    cmbFiles->setObjectName(QStringLiteral("cmbFiles"));
    cmbFiles->setGeometry(Options::kFilesAtOnce);
    const int cores = FilesAtOnce::Resolve(0);
    cmbFiles->addItem(QStringLiteral("Auto (%1 %2)").arg(cores).arg(cores == 1 ? "core" : "cores"));
    for (int n = 1; n <= 8; ++n)
        cmbFiles->addItem(QString::number(n));
    cmbFiles->setToolTip(QStringLiteral("How many files convert at the same time; Auto takes one per processor core"));
    cmbOutputFiles = new QComboBox(w);
    cmbOutputFiles->setObjectName(QStringLiteral("cmbOutputFiles"));
    cmbOutputFiles->setGeometry(Options::kOutputFiles);
    cmbOutputFiles->addItems({QStringLiteral("Keep the folders"), QStringLiteral("All in one folder"),
                              QStringLiteral("Beside each original")});
    cmbOutputFiles->setToolTip(QStringLiteral("Where the outputs go: below a copy of each added folder's tree, all "
                                              "in the output folder, or in each input's own folder"));
    cmbIfExists = new QComboBox(w);
    cmbIfExists->setObjectName(QStringLiteral("cmbIfExists"));
    cmbIfExists->setGeometry(Options::kIfExists);
    cmbIfExists->addItems({QStringLiteral("Keep both"), QStringLiteral("Skip the file")});
    cmbIfExists->setToolTip(QStringLiteral("When an output of that name is already there: write the new one beside "
                                           "it as \"NAME (2)\", or leave the file unconverted"));
    QWidget::setTabOrder(cmbSR, chkMC);
    QWidget* previous = chkMC;
    for (QLineEdit* box : timeBoxes()) {
        QWidget::setTabOrder(previous, box);
        previous = box;
    }
    QWidget::setTabOrder(previous, cmbFiles);
    QWidget::setTabOrder(cmbFiles, cmbOutputFiles);
    QWidget::setTabOrder(cmbOutputFiles, cmbIfExists);
}

void OptionsUi::setupButtons(QWidget* w)
{
    picButtonBR = HotArea::create(w, "picButtonBR", Options::kSoundReminderDrop);
    picButtonFiles = HotArea::create(w, "picButtonFiles", Options::kFilesAtOnceDrop);
    picButtonOutputFiles = HotArea::create(w, "picButtonOutputFiles", Options::kOutputFilesDrop);
    picButtonIfExists = HotArea::create(w, "picButtonIfExists", Options::kIfExistsDrop);
    imgOK = HotArea::create(w, "imgOK", Options::kOK);
    imgBack = HotArea::create(w, "imgBack", Options::kBack, QStringLiteral("Back"));
    imgExit = HotArea::create(w, "imgExit", Options::kClose, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));

    using SkinArt::Look;
    imgOK->setLooks(SkinArt::DialogButton(QStringLiteral("OK"), Look::Light));
    imgBack->setLooks(SkinArt::DialogButton(QStringLiteral("Back"), Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
    for (HotArea* b : {picButtonBR, picButtonFiles, picButtonOutputFiles, picButtonIfExists}) {
        b->setRestingLook(SkinArt::DropButton(Look::Normal));
        b->setLooks(SkinArt::DropButton(Look::Light));
    }
}
