#include "OptionsUi.h"

#include "settings/FilesAtOnce.h"
#include "skin/SkinArt.h"
#include "ui/HotArea.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {
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
    cmbSR->setGeometry(146, 34, 163, 20);
    cmbSR->addItems({QStringLiteral("ON"), QStringLiteral("OFF")});
    chkMC = new QCheckBox(QStringLiteral("Music Cutter"), w);
    chkMC->setObjectName(QStringLiteral("chkMC"));
    chkMC->setGeometry(146, 64, 13, 13);
    txtFromH = timeBox(w, "txtFromH", {94, 85, 19, 18});
    txtFromM = timeBox(w, "txtFromM", {160, 85, 31, 18});
    txtFromS = timeBox(w, "txtFromS", {230, 85, 43, 18});
    txtToH = timeBox(w, "txtToH", {94, 109, 19, 18});
    txtToM = timeBox(w, "txtToM", {160, 109, 31, 18});
    txtToS = timeBox(w, "txtToS", {230, 109, 43, 18});
    cmbFiles = new QComboBox(w);
    cmbFiles->setObjectName(QStringLiteral("cmbFiles"));
    cmbFiles->setGeometry(146, 132, 163, 20);
    const int cores = FilesAtOnce::Resolve(0);
    cmbFiles->addItem(QStringLiteral("Auto (%1 %2)").arg(cores).arg(cores == 1 ? "core" : "cores"));
    for (int n = 1; n <= 8; ++n)
        cmbFiles->addItem(QString::number(n));
    cmbFiles->setToolTip(QStringLiteral("How many files convert at the same time; Auto takes one per processor core"));
    QWidget::setTabOrder(cmbSR, chkMC);
    QWidget* previous = chkMC;
    for (QLineEdit* box : timeBoxes()) {
        QWidget::setTabOrder(previous, box);
        previous = box;
    }
    QWidget::setTabOrder(previous, cmbFiles);
}

void OptionsUi::setupButtons(QWidget* w)
{
    picButtonBR = HotArea::create(w, "picButtonBR", {290, 35, 19, 19});
    picButtonFiles = HotArea::create(w, "picButtonFiles", {290, 133, 19, 19});
    imgOK = HotArea::create(w, "imgOK", {166, 162, 58, 18});
    imgBack = HotArea::create(w, "imgBack", {246, 162, 58, 18}, QStringLiteral("Back"));
    imgExit = HotArea::create(w, "imgExit", {299, 11, 15, 15}, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));

    using SkinArt::Look;
    imgOK->setLooks(SkinArt::DialogButton(QStringLiteral("OK"), Look::Light));
    imgBack->setLooks(SkinArt::DialogButton(QStringLiteral("Back"), Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
    for (HotArea* b : {picButtonBR, picButtonFiles}) {
        b->setRestingLook(SkinArt::DropButton(Look::Normal));
        b->setLooks(SkinArt::DropButton(Look::Light));
    }
}
