#include "MainUi.h"

#include "filelist/FileQueue.h"
#include "skin/SkinArt.h"
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
const QStringList kFormats = {"MP3", "WMA", "OGG", "WAV", "FLAC", "AC3", "AAC", "AMR"};
const QStringList kBitrates = {"32", "48", "56", "64", "80", "96", "112", "128", "192", "224", "256", "320"};
const QStringList kRates = {"48000", "44100", "32000", "24000", "22050", "16000", "12050", "8000"};
const QStringList kChannels = {"Mono", "Stereo"};

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

// The look of the plain controls that sit on the skin.
const char* kStyle = R"(
QComboBox, QLineEdit {
    background: #11171f; color: #e6edf3; border: 1px solid #344356; border-radius: 3px;
    padding: 1px 22px 1px 6px; selection-background-color: #23b3a0;
}
QLineEdit { padding: 1px 4px; }
QComboBox:focus, QLineEdit:focus { border-color: #23b3a0; }
QComboBox::drop-down { width: 20px; border: none; }
QComboBox::down-arrow { image: none; }
QComboBox QAbstractItemView {
    background: #1e2835; color: #e6edf3; border: 1px solid #344356;
    selection-background-color: #23b3a0; selection-color: #ffffff; outline: none;
}
QTreeView {
    background: #11171f; alternate-background-color: #151d27; color: #dce4ec;
    border: none; selection-background-color: #1f6f66; selection-color: #ffffff; outline: none;
}
QTreeView::item { height: 20px; }
QHeaderView::section {
    background: #243142; color: #b0c0d0; border: none; border-right: 1px solid #344356;
    padding: 3px 6px;
}
QScrollBar:vertical { background: #11171f; width: 10px; margin: 0; }
QScrollBar::handle:vertical { background: #344356; border-radius: 4px; min-height: 24px; margin: 2px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }
QScrollBar:horizontal { background: #11171f; height: 10px; margin: 0; }
QScrollBar::handle:horizontal { background: #344356; border-radius: 4px; min-width: 24px; margin: 2px; }
QToolTip { background: #243142; color: #e6edf3; border: 1px solid #23b3a0; padding: 3px; }
#picText { background: transparent; }
#lblText { color: #5f7388; }
#lblPB { color: #ffffff; background: transparent; }
#lblFeed { color: #1f6f66; }
)";

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
    const int lefts[] = {16, 103, 190, 277, 364, 451};
    const int indices[] = {0, 6, 1, 2, 3, 4}; // left to right: Add File(s), Add Folder, Remove, ...
    for (int i = 0; i < 6; ++i) {
        HotArea* a = HotArea::create(w, "imgToolbar", {lefts[i], 55, 86, 53});
        a->setProperty("index", indices[i]);
        a->setGroup("toolbar");
        a->setLooks(SkinArt::ToolbarButton(indices[i], Look::Light), QPixmap());
        imgToolbar[indices[i]] = a;
    }
}

void MainUi::setupTitleAndMenus(QWidget* w)
{
    using SkinArt::Look;
    const QRect menus[] = {{18, 31, 40, 15}, {60, 31, 59, 15}, {122, 31, 51, 15}};
    for (int i = 0; i < 3; ++i) {
        HotArea* a = HotArea::create(w, "imgMenu", menus[i]);
        a->setProperty("index", i);
        a->setGroup("menu");
        a->setLooks(SkinArt::MenuEntry(i, Look::Light));
        imgMenu[i] = a;
    }
    imgHelp = HotArea::create(w, "imgHelp", {635, 8, 15, 15}, QStringLiteral("Help & Tutorial"));
    imgMin = HotArea::create(w, "imgMin", {652, 9, 14, 14}, QStringLiteral("Minimize Window"));
    imgExit = HotArea::create(w, "imgExit", {672, 10, 15, 15});
    imgHelp->setLooks(SkinArt::HelpButton(Look::Light));
    imgMin->setLooks(SkinArt::MinButton(Look::Light));
    imgExit->setLooks(SkinArt::CloseButton(Look::Light));
    for (HotArea* a : {imgHelp, imgMin, imgExit})
        a->setCursor(handCursor());

    txtAction = new QLineEdit(w);
    txtAction->setObjectName(QStringLiteral("txtAction"));
    txtAction->setGeometry(0, 600, 10, 10);
    txtAction->hide();
}

void MainUi::setupList(QWidget* w)
{
    lstFile = new FileQueue(w);
    LV = new QTreeView(w);
    LV->setObjectName(QStringLiteral("LV"));
    LV->setGeometry(17, 160, 455, 274);
    LV->setModel(lstFile);
    LV->setItemDelegate(new QueueRowDelegate(FileQueue::ProgressRole, LV));
    LV->setRootIsDecorated(false);
    LV->setUniformRowHeights(true);
    LV->setItemsExpandable(false);
    LV->setAlternatingRowColors(true);
    LV->setTextElideMode(Qt::ElideMiddle);
    LV->header()->setStretchLastSection(false);
    LV->header()->setSectionsMovable(false);
    LV->header()->resizeSection(0, 361);
    LV->header()->resizeSection(1, 94);

    picText = new QLabel(w);
    picText->setObjectName(QStringLiteral("picText"));
    picText->setGeometry(164, 264, 163, 21);
    lblText = textLabel<QLabel>(picText, "lblText", QStringLiteral("Drag & Drop Files Here"), {0, 0, 163, 21});
    lblText->setAlignment(Qt::AlignCenter);
    // The placard passes the pointer and drops through to the list beneath it.
    picText->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainUi::setupSettings(QWidget* w)
{
    using SkinArt::Look;
    cmbOF = selector(w, "cmbOF", {488, 158, 189, 22}, kFormats, 1, QStringLiteral("Output Format"));
    cmbBR = selector(w, "cmbBR", {488, 200, 189, 22}, kBitrates, 8, QStringLiteral("MP3 Audio Bitrate"));
    cmbR = selector(w, "cmbR", {488, 244, 189, 22}, kRates, 1, QStringLiteral("MP3 Audio Rate"));
    cmbChannel = selector(w, "cmbChannel", {488, 286, 189, 22}, kChannels, 1,
                          QStringLiteral("MP3 Audio Channel(Stereo or Mono)"));
    txtPath = new QLineEdit(w);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setGeometry(488, 330, 143, 23);
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
    const int tops[] = {160, 202, 246, 288};
    for (int i = 0; i < 4; ++i) {
        HotArea* b = HotArea::create(w, drops[i].second, {657, tops[i], 19, 19}, lists[i]->toolTip());
        b->setRestingLook(SkinArt::DropButton(Look::Normal));
        b->setLooks(SkinArt::DropButton(Look::Light));
        *drops[i].first = b;
    }
    imgBrowse = HotArea::create(w, "imgBrowse", {635, 331, 42, 22}, QStringLiteral("Select an Output Folder"));
    imgBrowse->setLooks(SkinArt::BrowseButton(Look::Light), SkinArt::BrowseButton(Look::Dark));
    imgConvert = HotArea::create(w, "imgConvert", {489, 371, 187, 91});
    imgConvert->setLooks(SkinArt::ConvertButton(Look::Light), QPixmap());
    imgAdd = HotArea::create(w, "imgAdd", {10, 549, 32, 32}, QStringLiteral("Add a new file to file list"));
    imgRemove = HotArea::create(w, "imgRemove", {50, 549, 32, 32}, QStringLiteral("Remove a file from file list"));
    imgStart = HotArea::create(w, "imgStart", {90, 549, 32, 32});
}

void MainUi::setupStatus(QWidget* w)
{
    lblFeed = textLabel<LinkLabel>(w, "lblFeed", QStringLiteral("Feedback"), {628, 477, 46, 13});
    lblFeed->setToolTip(QStringLiteral("Send us your suggestion or question"));
    lblFeed->setBoldOnHover(true);
    lblWeb = textLabel<LinkLabel>(w, "lblWeb", QString(), {18, 478, 164, 13});
    lblFeed->setCursor(handCursor());
    lblWeb->setCursor(handCursor());
    lblVersion = textLabel<GripLabel>(w, "lblVersion", QString(), {176, 10, 80, 14});

    imgPB = new QLabel(w);
    imgPB->setObjectName(QStringLiteral("imgPB"));
    imgPB->setGeometry(113, 447, 0, 13);
    imgPB->setPixmap(SkinArt::ProgressStrip());
    imgPB->setScaledContents(true);
    lblPB = textLabel<QLabel>(w, "lblPB", QStringLiteral("0%"), {214, 447, 157, 13});
    lblPB->setAlignment(Qt::AlignCenter);
    lblPB->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainUi::setupDrops(QWidget* w)
{
    picDrag =
        HotArea::create(w, "picDrag", {728, 422, 143, 146}, QStringLiteral("Drag media files onto this DropZone"));
    drops = new DropTarget(w);
    drops->watch(picDrag);
    drops->watch(LV->viewport());
}

void MainUi::applyStyle(QWidget* w)
{
    w->setFont(designFont(8));
    w->setStyleSheet(QString::fromLatin1(kStyle));
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
