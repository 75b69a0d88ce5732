#include "MainUi.h"

#include "convert/FormatTraits.h"
#include "convert/SelectorChoices.h"
#include "filelist/FileQueue.h"
#include "skin/SkinArt.h"
#include "skin/SkinLayout.h"
#include "skin/StyleSheets.h"
#include "ui/DropTarget.h"
#include "ui/GripLabel.h"
#include "ui/HotArea.h"
#include "ui/LinkLabel.h"
#include "ui/QueueRowDelegate.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

namespace {
namespace Main = SkinLayout::Main;

const QStringList kFormats = FormatTraits::Names();
const QStringList kBitrates = SelectorChoices::Bitrates();
const QStringList kRates = SelectorChoices::Rates();
const QStringList kChannels = SelectorChoices::Channels();

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

template <typename Label> Label* textLabel(QWidget* parent, const char* name, const QString& text, const QRect& r)
{
    auto* l = new Label(parent);
    l->setText(text);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    return l;
}

QCursor handCursor()
{
    return QCursor(SkinArt::HandCursor(), 6, 0);
}

// Fonts are set in code, not in the style sheet, so the geometry pass can scale them.
QFont designFont(double points, bool bold = false)
{
    QFont f(SkinArt::FontFamily());
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}
} // namespace

void MainUi::setup(QWidget* window)
{
    setupToolbar(window);
    setupTitleAndMenus(window);
    setupList(window);
    setupSettings(window);
    setupStatus(window);
    setupDrops(window);
    applyStyle(window);
}

void MainUi::setupToolbar(QWidget* w)
{
    using SkinArt::Look;
    for (int i = 0; i < Main::kToolbarCount; ++i) {
        const int index = Main::kToolbarIndex[i];
        HotArea* a = HotArea::create(w, "imgToolbar", Main::kToolbar[i]);
        a->setProperty("index", index);
        a->setGroup("toolbar");
        a->setLooks(SkinArt::ToolbarButton(index, Look::Light), QPixmap());
        imgToolbar[index] = a;
    }
}

void MainUi::setupTitleAndMenus(QWidget* w)
{
    using SkinArt::Look;
    for (int i = 0; i < 3; ++i) {
        HotArea* a = HotArea::create(w, "imgMenu", Main::kMenu[i]);
        a->setProperty("index", i);
        a->setGroup("menu");
        a->setLooks(SkinArt::MenuEntry(i, Look::Light));
        imgMenu[i] = a;
    }
    imgHelp = HotArea::create(w, "imgHelp", Main::kHelp, QStringLiteral("Help & Tutorial"));
    imgMin = HotArea::create(w, "imgMin", Main::kMin, QStringLiteral("Minimize Window"));
    imgExit = HotArea::create(w, "imgExit", Main::kClose);
    imgHelp->setLooks(SkinArt::HelpButton(Look::Light));
    imgMin->setLooks(SkinArt::MinButton(Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
    for (HotArea* a : {imgHelp, imgMin, imgExit})
        a->setCursor(handCursor());

    txtAction = new QLineEdit(w);
    txtAction->setObjectName(QStringLiteral("txtAction"));
    txtAction->setGeometry(Main::kActionWord);
    txtAction->hide();
}

void MainUi::setupList(QWidget* w)
{
    lstFile = new FileQueue(w);
    LV = new QTreeView(w);
    LV->setObjectName(QStringLiteral("LV"));
    LV->setGeometry(Main::kList);
    LV->setModel(lstFile);
    LV->setItemDelegate(new QueueRowDelegate(FileQueue::ProgressRole, LV));
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setItemsExpandable(false);
    LV->setAlternatingRowColors(true);
    LV->setTextElideMode(Qt::ElideMiddle);
    LV->header()->setStretchLastSection(false);
    LV->header()->setSectionsMovable(false);
    LV->header()->resizeSection(0, Main::kListColumnWidths[0]);
    LV->header()->resizeSection(1, Main::kListColumnWidths[1]);

    picText = new QLabel(w);
    picText->setObjectName(QStringLiteral("picText"));
    picText->setGeometry(Main::kPlacard);
    lblText = textLabel<QLabel>(picText, "lblText", QStringLiteral("Drag & Drop Files Here"),
                                QRect(QPoint(0, 0), Main::kPlacard.size()));
    lblText->setAlignment(Qt::AlignCenter);
    // The placard passes the pointer and drops through to the list beneath it.
    picText->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainUi::setupSettings(QWidget* w)
{
    using SkinArt::Look;
    cmbOF = selector(w, "cmbOF", Main::kSelector[0], kFormats, 1, QStringLiteral("Output Format"));
    cmbBR = selector(w, "cmbBR", Main::kSelector[1], kBitrates, 8, QStringLiteral("MP3 Audio Bitrate"));
    cmbR = selector(w, "cmbR", Main::kSelector[2], kRates, 1, QStringLiteral("MP3 Audio Rate"));
    cmbChannel = selector(w, "cmbChannel", Main::kSelector[3], kChannels, 1,
                          QStringLiteral("MP3 Audio Channel(Stereo or Mono)"));
    txtPath = new QLineEdit(w);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setGeometry(Main::kFolder);
    txtPath->setToolTip(QStringLiteral("Select a Folder to Output"));
    QWidget::setTabOrder(cmbOF, cmbBR);
    QWidget::setTabOrder(cmbBR, cmbR);
    QWidget::setTabOrder(cmbR, cmbChannel);
    QWidget::setTabOrder(cmbChannel, txtPath);

    const std::pair<HotArea**, const char*> drops[] = {{&picButtonOF, "picButtonOF"},
                                                       {&picButtonBR, "picButtonBR"},
                                                       {&picButtonR, "picButtonR"},
                                                       {&picButtonChannel, "picButtonChannel"}};
    const QComboBox* lists[] = {cmbOF, cmbBR, cmbR, cmbChannel};
    for (int i = 0; i < 4; ++i) {
        HotArea* b = HotArea::create(w, drops[i].second, Main::kSelectorDrop[i], lists[i]->toolTip());
        b->setRestingLook(SkinArt::DropButton(Look::Normal));
        b->setLooks(SkinArt::DropButton(Look::Light));
        *drops[i].first = b;
    }
    imgBrowse = HotArea::create(w, "imgBrowse", Main::kBrowse, QStringLiteral("Select an Output Folder"));
    imgBrowse->setLooks(SkinArt::BrowseButton(Look::Light), SkinArt::BrowseButton(Look::Dark));
    imgConvert = HotArea::create(w, "imgConvert", Main::kConvert);
    imgConvert->setLooks(SkinArt::ConvertButton(Look::Light), QPixmap());
    imgAdd = HotArea::create(w, "imgAdd", Main::kAdd, QStringLiteral("Add a new file to file list"));
    imgRemove = HotArea::create(w, "imgRemove", Main::kRemove, QStringLiteral("Remove a file from file list"));
    imgStart = HotArea::create(w, "imgStart", Main::kStart);
}

void MainUi::setupStatus(QWidget* w)
{
    lblFeed = textLabel<LinkLabel>(w, "lblFeed", QStringLiteral("Feedback"), Main::kFeedback);
    lblFeed->setToolTip(QStringLiteral("Send us your suggestion or question"));
    lblFeed->setBoldOnHover(true);
    lblWeb = textLabel<LinkLabel>(w, "lblWeb", QString(), Main::kWeb);
    lblFeed->setCursor(handCursor());
    lblWeb->setCursor(handCursor());
    lblVersion = textLabel<GripLabel>(w, "lblVersion", QString(), Main::kVersion);

    imgPB = new QLabel(w);
    imgPB->setObjectName(QStringLiteral("imgPB"));
    imgPB->setGeometry(Main::kProgressBar);
    imgPB->setPixmap(SkinArt::ProgressStrip());
    imgPB->setScaledContents(true);
    lblPB = textLabel<QLabel>(w, "lblPB", QStringLiteral("0%"), Main::kProgressCaption);
    lblPB->setAlignment(Qt::AlignCenter);
    lblPB->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainUi::setupDrops(QWidget* w)
{
    picDrag = HotArea::create(w, "picDrag", Main::kDropZone, QStringLiteral("Drag media files onto this DropZone"));
    drops = new DropTarget(w);
    drops->watch(picDrag);
    drops->watch(LV->viewport());
}

void MainUi::applyStyle(QWidget* w)
{
    w->setFont(designFont(8));
    w->setStyleSheet(StyleSheets::MainWindow());
    lblText->setFont(designFont(9));
    lblPB->setFont(designFont(7, true));
    for (QLabel* l : {static_cast<QLabel*>(lblWeb), static_cast<QLabel*>(lblVersion)})
        l->setFont(designFont(7));
    QFont feed = designFont(7);
    feed.setUnderline(true);
    lblFeed->setFont(feed);
    QFont header = LV->header()->font();
    header.setBold(true);
    LV->header()->setFont(header);
}
