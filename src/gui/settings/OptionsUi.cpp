#include "OptionsUi.h"

#include "settings/OptionRows.h"
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
    setupLists(w);
    setupCutter(w);
    setupButtons(w);
    setupTabOrder();
}

QList<QLineEdit*> OptionsUi::timeBoxes() const
{
    return {txtFromH, txtFromM, txtFromS, txtToH, txtToM, txtToS};
}

void OptionsUi::setupLists(QWidget* w)
{
    const QList<OptionRows::Row>& rows = OptionRows::All();
    for (int row = 0; row < int(rows.size()); ++row) {
        auto* list = new QComboBox(w);
        list->setObjectName(QString::fromLatin1(rows[row].listName));
        list->setGeometry(Options::ListRow(row));
        list->addItems(rows[row].items);
        if (!rows[row].toolTip.isEmpty())
            list->setToolTip(rows[row].toolTip);
        lists.append(list);
    }
    txtPattern = new QLineEdit(w);
    txtPattern->setObjectName(QStringLiteral("txtPattern"));
    txtPattern->setGeometry(Options::TextRow(int(rows.size())));
    txtPattern->setPlaceholderText(QStringLiteral("{artist}/{album}/{track} {title}"));
    txtPattern->setToolTip(QStringLiteral("Fields: {artist} {albumartist} {album} {title} {track} {disc} {year} "
                                          "{genre} {name} (the file's own name) {folder}; \"/\" makes a folder"));
}

void OptionsUi::setupCutter(QWidget* w)
{
    chkMC = new QCheckBox(QStringLiteral("Music Cutter"), w);
    chkMC->setObjectName(QStringLiteral("chkMC"));
    chkMC->setGeometry(Options::kMusicCutter);
    txtFromH = timeBox(w, "txtFromH", Options::kFrom[0]);
    txtFromM = timeBox(w, "txtFromM", Options::kFrom[1]);
    txtFromS = timeBox(w, "txtFromS", Options::kFrom[2]);
    txtToH = timeBox(w, "txtToH", Options::kDuration[0]);
    txtToM = timeBox(w, "txtToM", Options::kDuration[1]);
    txtToS = timeBox(w, "txtToS", Options::kDuration[2]);
}

void OptionsUi::setupButtons(QWidget* w)
{
    using SkinArt::Look;
    const QList<OptionRows::Row>& rows = OptionRows::All();
    for (int row = 0; row < int(rows.size()); ++row) {
        HotArea* b = HotArea::create(w, rows[row].buttonName, Options::ListRowDrop(row));
        b->setRestingLook(SkinArt::DropButton(Look::Normal));
        b->setLooks(SkinArt::DropButton(Look::Light));
        drops.append(b);
    }
    const int allRows = int(OptionRows::All().size()) + Options::kTextRows;
    imgOK = HotArea::create(w, "imgOK", Options::OK(allRows));
    imgBack = HotArea::create(w, "imgBack", Options::Back(allRows), QStringLiteral("Back"));
    imgExit = HotArea::create(w, "imgExit", Options::kClose, QStringLiteral("Exit"));
    imgExit->setCursor(QCursor(SkinArt::HandCursor(), 6, 0));
    imgOK->setLooks(SkinArt::DialogButton(QStringLiteral("OK"), Look::Light));
    imgBack->setLooks(SkinArt::DialogButton(QStringLiteral("Back"), Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
}

void OptionsUi::setupTabOrder()
{
    // Reading order: the first list stands above the cutter, the others below it.
    QList<QWidget*> chain{lists.first(), chkMC};
    for (QLineEdit* box : timeBoxes())
        chain.append(box);
    for (qsizetype row = 1; row < lists.size(); ++row)
        chain.append(lists[row]);
    chain.append(txtPattern);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
