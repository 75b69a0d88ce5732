#include "MainControls.h"

#include "app/frmMain.h"
#include "convert/FormatTraits.h"
#include "filelist/FileQueue.h"
#include "skin/SkinArt.h"
#include "ui/HotArea.h"
#include "ui/QueueRowDelegate.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

namespace MainControls {

namespace {
const QStringList kFormats = FormatTraits::Names();
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

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, const QRect& r)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    return l;
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

void CreateLooks(frmMain& w)
{
    using SkinArt::Look;
    for (int i = 0; i < 3; ++i)
        w.imgMenuData[i] = SkinArt::MenuEntry(i, Look::Light);
    for (int i : {0, 1, 2, 3, 4, 6})
        w.imgButtonData[i] = SkinArt::ToolbarButton(i, Look::Light);
    w.imgConvertData = SkinArt::ConvertButton(Look::Light);
    w.imgBrowseLight = SkinArt::BrowseButton(Look::Light);
    w.imgBrowseDark = SkinArt::BrowseButton(Look::Dark);
    w.imgHelpLight = SkinArt::HelpButton(Look::Light);
    w.imgMinLight = SkinArt::MinButton(Look::Light);
    w.imgExitLight = SkinArt::CloseButton(Look::Light);
    w.imgButton = SkinArt::DropButton(Look::Normal);
    w.imgButtonLight = SkinArt::DropButton(Look::Light);
}

void Create(frmMain& w)
{
    const QCursor hand(SkinArt::HandCursor(), 6, 0);
    struct Spot
    {
        int index;
        QRect rect;
    };
    const Spot toolbar[] = {{0, {16, 55, 86, 53}},  {6, {103, 55, 86, 53}}, {1, {190, 55, 86, 53}},
                            {2, {277, 55, 86, 53}}, {3, {364, 55, 86, 53}}, {4, {451, 55, 86, 53}}};
    for (const Spot& s : toolbar) {
        HotArea* a = HotArea::create(&w, "imgToolbar", s.rect);
        a->setProperty("index", s.index);
        QObject::connect(a, &HotArea::mouseMoved, &w, [&w, i = s.index] { w.imgToolbar_MouseMove(i); });
        QObject::connect(a, &HotArea::pressed, &w, &frmMain::imgToolbar_MouseDown);
        QObject::connect(a, &HotArea::clicked, &w, [&w, i = s.index] { w.imgToolbar_Click(i); });
        w.imgToolbar[s.index] = a;
    }
    const Spot menu[] = {{0, {18, 31, 40, 15}}, {1, {60, 31, 59, 15}}, {2, {122, 31, 51, 15}}};
    for (const Spot& s : menu) {
        HotArea* a = HotArea::create(&w, "imgMenu", s.rect);
        a->setProperty("index", s.index);
        QObject::connect(a, &HotArea::mouseMoved, &w, [&w, i = s.index] { w.imgMenu_MouseMove(i); });
        QObject::connect(a, &HotArea::clicked, &w, [&w, i = s.index] { w.imgMenu_Click(i); });
        w.imgMenu[s.index] = a;
    }
    w.imgHelp = HotArea::create(&w, "imgHelp", {635, 8, 15, 15}, QStringLiteral("Help & Tutorial"));
    w.imgMin = HotArea::create(&w, "imgMin", {652, 9, 14, 14}, QStringLiteral("Minimize Window"));
    w.imgExit = HotArea::create(&w, "imgExit", {672, 10, 15, 15});
    QObject::connect(w.imgHelp, &HotArea::mouseMoved, &w, [&w] { SkinnedWindow::ShowLook(w.imgHelp, w.imgHelpLight); });
    QObject::connect(w.imgMin, &HotArea::mouseMoved, &w, [&w] { SkinnedWindow::ShowLook(w.imgMin, w.imgMinLight); });
    QObject::connect(w.imgExit, &HotArea::mouseMoved, &w, [&w] { SkinnedWindow::ShowLook(w.imgExit, w.imgExitLight); });
    QObject::connect(w.imgMin, &HotArea::clicked, &w, &frmMain::imgMin_Click);
    QObject::connect(w.imgHelp, &HotArea::clicked, &w, &frmMain::imgHelp_Click);
    QObject::connect(w.imgExit, &HotArea::clicked, &w, &frmMain::imgExit_Click);
    for (HotArea* a : {w.imgHelp, w.imgMin, w.imgExit})
        a->setCursor(hand);

    w.txtAction = new QLineEdit(&w);
    w.txtAction->setObjectName(QStringLiteral("txtAction"));
    w.txtAction->setGeometry(0, 600, 10, 10);
    w.txtAction->hide();
    QObject::connect(w.txtAction, &QLineEdit::textChanged, &w, &frmMain::txtAction_Change);

    w.lstFile = new FileQueue(&w);
    w.LV = new QTreeView(&w);
    w.LV->setObjectName(QStringLiteral("LV"));
    w.LV->setGeometry(17, 160, 455, 274);
    w.LV->setModel(w.lstFile);
    w.LV->setItemDelegate(new QueueRowDelegate(FileQueue::ProgressRole, w.LV));
    w.LV->setRootIsDecorated(false);
    w.LV->setUniformRowHeights(true);
    w.LV->setItemsExpandable(false);
    w.LV->setAlternatingRowColors(true);
    w.LV->setTextElideMode(Qt::ElideMiddle);
    w.LV->header()->setStretchLastSection(false);
    w.LV->header()->setSectionsMovable(false);
    w.LV->header()->resizeSection(0, 361);
    w.LV->header()->resizeSection(1, 94);

    w.picText = new QLabel(&w);
    w.picText->setObjectName(QStringLiteral("picText"));
    w.picText->setGeometry(164, 264, 163, 21);
    w.lblText = textLabel(w.picText, "lblText", QStringLiteral("Drag & Drop Files Here"), {0, 0, 163, 21});
    w.lblText->setAlignment(Qt::AlignCenter);
    // The placard passes the pointer and drops through to the list beneath it.
    w.picText->setAttribute(Qt::WA_TransparentForMouseEvents);
    QObject::connect(w.lstFile, &QAbstractItemModel::rowsInserted, &w, &frmMain::placardUpdate);
    QObject::connect(w.lstFile, &QAbstractItemModel::rowsRemoved, &w, &frmMain::placardUpdate);
    QObject::connect(w.lstFile, &QAbstractItemModel::modelReset, &w, &frmMain::placardUpdate);

    w.cmbOF = selector(&w, "cmbOF", {488, 158, 189, 22}, kFormats, 1, QStringLiteral("Output Format"));
    w.cmbBR = selector(&w, "cmbBR", {488, 200, 189, 22}, kBitrates, 8, QStringLiteral("MP3 Audio Bitrate"));
    w.cmbR = selector(&w, "cmbR", {488, 244, 189, 22}, kRates, 1, QStringLiteral("MP3 Audio Rate"));
    w.cmbChannel = selector(&w, "cmbChannel", {488, 286, 189, 22}, kChannels, 1,
                            QStringLiteral("MP3 Audio Channel(Stereo or Mono)"));
    w.txtPath = new QLineEdit(w.defaultOutputFolder(), &w);
    w.txtPath->setObjectName(QStringLiteral("txtPath"));
    w.txtPath->setGeometry(488, 330, 143, 23);
    w.txtPath->setToolTip(QStringLiteral("Select a Folder to Output"));
    QWidget::setTabOrder(w.cmbOF, w.cmbBR);
    QWidget::setTabOrder(w.cmbBR, w.cmbR);
    QWidget::setTabOrder(w.cmbR, w.cmbChannel);
    QWidget::setTabOrder(w.cmbChannel, w.txtPath);

    const struct
    {
        HotArea** button;
        const char* name;
        int top;
        QComboBox* list;
    } drops[] = {{&w.picButtonOF, "picButtonOF", 160, w.cmbOF},
                 {&w.picButtonBR, "picButtonBR", 202, w.cmbBR},
                 {&w.picButtonR, "picButtonR", 246, w.cmbR},
                 {&w.picButtonChannel, "picButtonChannel", 288, w.cmbChannel}};
    for (const auto& d : drops) {
        HotArea* b = HotArea::create(&w, d.name, {657, d.top, 19, 19}, d.list->toolTip());
        b->setPixmap(w.imgButton);
        QObject::connect(b, &HotArea::mouseMoved, &w, [&w, b] { SkinnedWindow::ShowLook(b, w.imgButtonLight); });
        QObject::connect(b, &HotArea::clicked, d.list, &QComboBox::showPopup);
        *d.button = b;
    }

    w.imgBrowse = HotArea::create(&w, "imgBrowse", {635, 331, 42, 22}, QStringLiteral("Select an Output Folder"));
    QObject::connect(w.imgBrowse, &HotArea::mouseMoved, &w,
                     [&w] { SkinnedWindow::ShowLook(w.imgBrowse, w.imgBrowseLight); });
    QObject::connect(w.imgBrowse, &HotArea::pressed, &w,
                     [&w] { SkinnedWindow::ShowLook(w.imgBrowse, w.imgBrowseDark); });
    QObject::connect(w.imgBrowse, &HotArea::clicked, &w, &frmMain::imgBrowse_Click);
    w.imgConvert = HotArea::create(&w, "imgConvert", {489, 371, 187, 91});
    QObject::connect(w.imgConvert, &HotArea::mouseMoved, &w, &frmMain::imgConvert_MouseMove);
    QObject::connect(w.imgConvert, &HotArea::pressed, &w, &frmMain::imgConvert_MouseDown);
    // Image buttons below the visible face: reachable by the program, not by the pointer.
    w.imgAdd = HotArea::create(&w, "imgAdd", {10, 549, 32, 32}, QStringLiteral("Add a new file to file list"));
    w.imgRemove = HotArea::create(&w, "imgRemove", {50, 549, 32, 32}, QStringLiteral("Remove a file from file list"));
    w.imgStart = HotArea::create(&w, "imgStart", {90, 549, 32, 32});
    QObject::connect(w.imgConvert, &HotArea::clicked, &w, &frmMain::imgConvert_Click);
    QObject::connect(w.imgStart, &HotArea::clicked, &w, &frmMain::imgStart_Click);
    QObject::connect(w.imgAdd, &HotArea::clicked, &w, &frmMain::imgAdd_Click);
    QObject::connect(w.imgRemove, &HotArea::clicked, &w, &frmMain::imgRemove_Click);

    w.lblFeed = textLabel(&w, "lblFeed", QStringLiteral("Feedback"), {628, 477, 46, 13});
    w.lblFeed->setToolTip(QStringLiteral("Send us your suggestion or question"));
    w.lblWeb = textLabel(&w, "lblWeb", QString(), {18, 478, 164, 13});
    w.lblVersion = textLabel(&w, "lblVersion", QString(), {176, 10, 80, 14});
    for (QLabel* l : {w.lblFeed, w.lblWeb, w.lblVersion}) {
        l->setMouseTracking(true);
        l->installEventFilter(&w);
    }
    w.lblFeed->setCursor(hand);
    w.lblWeb->setCursor(hand);

    w.imgPB = new QLabel(&w);
    w.imgPB->setObjectName(QStringLiteral("imgPB"));
    w.imgPB->setGeometry(113, 447, 0, 13);
    w.imgPB->setPixmap(SkinArt::ProgressStrip());
    w.imgPB->setScaledContents(true);
    w.lblPB = textLabel(&w, "lblPB", QStringLiteral("0%"), {214, 447, 157, 13});
    w.lblPB->setAlignment(Qt::AlignCenter);
    w.lblPB->setAttribute(Qt::WA_TransparentForMouseEvents);

    w.picDrag =
        HotArea::create(&w, "picDrag", {728, 422, 143, 146}, QStringLiteral("Drag media files onto this DropZone"));
    QObject::connect(static_cast<HotArea*>(w.picDrag), &HotArea::clicked, &w, &frmMain::picDrag_Click);
    for (QWidget* target : {static_cast<QWidget*>(w.picDrag), w.LV->viewport()}) {
        target->setAcceptDrops(true);
        target->installEventFilter(&w);
    }
}

void ApplyStyle(frmMain& w)
{
    w.setFont(designFont(8));
    w.setStyleSheet(QString::fromLatin1(kStyle));
    w.lblText->setFont(designFont(9));
    w.lblPB->setFont(designFont(7, true));
    for (QLabel* l : {w.lblWeb, w.lblVersion})
        l->setFont(designFont(7));
    QFont feed = designFont(7);
    feed.setUnderline(true);
    w.lblFeed->setFont(feed);
    QFont header = w.LV->header()->font();
    header.setBold(true);
    w.LV->header()->setFont(header);
}

} // namespace MainControls
