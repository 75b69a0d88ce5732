#include "MainUi.h"

#include "app/MainCommands.h"

#include "convert/FormatTraits.h"
#include "convert/SelectorChoices.h"
#include "filelist/FileQueue.h"
#include "skin/Palette.h"
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

// The list's frame, in the list's colour until the list has the focus (the style sheet's QTreeView border).
constexpr int kListFocusFrame = 1;

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
    c->setAccessibleName(tip);
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

QString cssColour(const QColor& c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
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
    setupTabOrder();
}

void MainUi::showFormatUse(int format)
{
    m_format = format;
    const struct
    {
        QComboBox* list;
        HotArea* button;
        FormatTraits::Selector selector;
    } selectors[] = {{cmbBR, picButtonBR, FormatTraits::Selector::Bitrate},
                     {cmbR, picButtonR, FormatTraits::Selector::Rate},
                     {cmbChannel, picButtonChannel, FormatTraits::Selector::Channels}};
    for (const auto& s : selectors) {
        if (!s.list->property("usedTip").isValid())
            s.list->setProperty("usedTip", s.list->toolTip());
        const QString tip = FormatTraits::Uses(format, s.selector) ? s.list->property("usedTip").toString()
                                                                   : FormatTraits::IgnoredTip(format, s.selector);
        s.list->setToolTip(tip);
        s.button->setToolTip(tip);
    }
    applyEnabling();
}

void MainUi::showOutputFolderUsed(bool used)
{
    m_folderUsed = used;
    txtPath->setToolTip(
        used ? QString() : QStringLiteral("Not used: each output goes beside its original (Options, Output files)"));
    applyEnabling();
}

void MainUi::lockSettings(bool locked)
{
    m_locked = locked;
    // A locked control cannot keep the focus: the keyboard goes on in the list.
    QWidget* focus = txtPath->window()->focusWidget();
    applyEnabling();
    if (locked && focus && !focus->isEnabled())
        LV->setFocus(Qt::OtherFocusReason);
}

void MainUi::applyEnabling()
{
    const std::pair<QComboBox*, HotArea*> selectors[] = {
        {cmbOF, picButtonOF}, {cmbBR, picButtonBR}, {cmbR, picButtonR}, {cmbChannel, picButtonChannel}};
    const FormatTraits::Selector uses[] = {FormatTraits::Selector::Bitrate, FormatTraits::Selector::Bitrate,
                                           FormatTraits::Selector::Rate, FormatTraits::Selector::Channels};
    for (int i = 0; i < 4; ++i) {
        const bool used = i == 0 || FormatTraits::Uses(m_format, uses[i]);
        selectors[i].first->setEnabled(used && !m_locked);
        selectors[i].second->setDimWhenDisabled(true);
        selectors[i].second->setEnabled(used && !m_locked);
    }
    txtPath->setEnabled(m_folderUsed && !m_locked);
}

void MainUi::showStartButtonStops(bool stops)
{
    imgConvert->setLooks(stops ? m_stopLooks[1] : m_convertLit, stops ? m_stopLooks[2] : QPixmap());
    imgConvert->setRestingLook(stops ? m_stopLooks[0] : QPixmap());
    imgConvert->setCaption(stops ? QStringLiteral("Stop") : QStringLiteral("Convert"));
    imgConvert->setToolTip(
        stops ? MainCommands::withKeys(QStringLiteral("Stop"), MainCommands::Stop)
              : MainCommands::withKeys(QStringLiteral("Convert the files of the list"), MainCommands::Convert));
}

void MainUi::setupTabOrder()
{
    QWidget* chain[] = {
        imgToolbar[0], imgToolbar[6], imgToolbar[1], imgToolbar[2], imgToolbar[3], imgToolbar[4], LV,      cmbOF,
        cmbBR,         cmbR,          cmbChannel,    txtPath,       imgBrowse,     imgConvert,    lblFeed, lblWeb};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void MainUi::setupToolbar(QWidget* w)
{
    using SkinArt::Look;
    struct Button
    {
        const char* caption;
        const char* tip;
        MainCommands::Command command;
    };
    // By command index; 5 is unused.
    const Button buttons[7] = {
        {"Add File(s)", "Add files to the list", MainCommands::AddFiles},
        {"Remove", "Remove the selected files (Delete) or all files (Shift+Delete) from the list", MainCommands::Count},
        {"Options", "Options", MainCommands::Options},
        {"Help", "Help & Tutorial", MainCommands::Help},
        {"Exit", "Exit", MainCommands::Exit},
        {},
        {"Add Folder", "Add every file of a folder to the list", MainCommands::AddFolder}};
    for (int i = 0; i < Main::kToolbarCount; ++i) {
        const int index = Main::kToolbarIndex[i];
        const Button& b = buttons[index];
        const QString tip = b.command == MainCommands::Count
                                ? QString::fromLatin1(b.tip)
                                : MainCommands::withKeys(QString::fromLatin1(b.tip), b.command);
        HotArea* a = HotArea::create(w, "imgToolbar", Main::kToolbar[i], tip);
        a->setCaption(QString::fromLatin1(b.caption));
        a->setProperty("index", index);
        a->setGroup("toolbar");
        a->setLooks(SkinArt::ToolbarButton(index, Look::Light), QPixmap());
        imgToolbar[index] = a;
    }
}

void MainUi::setupTitleAndMenus(QWidget* w)
{
    using SkinArt::Look;
    const char* menus[3] = {"File", "Options", "About"};
    const MainCommands::Command menuKeys[3] = {MainCommands::FileMenu, MainCommands::OptionsMenu,
                                               MainCommands::AboutMenu};
    for (int i = 0; i < 3; ++i) {
        HotArea* a = HotArea::create(
            w, "imgMenu", Main::kMenu[i],
            MainCommands::withKeys(QString::fromLatin1(menus[i]) + QStringLiteral(" menu"), menuKeys[i]));
        a->setCaption(QString::fromLatin1(menus[i]));
        // The menu bar is reached with Alt, as a menu bar is, not with Tab.
        a->keepOutOfTabChain();
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
    imgHelp->setCaption(QStringLiteral("Help"));
    imgMin->setCaption(QStringLiteral("Minimize"));
    imgExit->setCaption(QStringLiteral("Close"));
    imgExit->setToolTip(MainCommands::withKeys(QStringLiteral("Exit"), MainCommands::Exit));
    for (HotArea* a : {imgHelp, imgMin, imgExit}) {
        a->setCursor(handCursor());
        // The title bar's buttons have their keys (F1, Ctrl+Q) and the window manager's own.
        a->keepOutOfTabChain();
    }

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
    LV->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV->setAllColumnsShowFocus(true);
    LV->setAccessibleName(QStringLiteral("File list"));
    LV->setAccessibleDescription(QStringLiteral("Files to convert. Delete removes the selected files, "
                                                "Shift+Delete all of them, Ctrl+A selects all"));
    LV->header()->setStretchLastSection(false);
    LV->header()->setSectionsMovable(false);
    // The focus frame takes a pixel on each side: the name column gives them up, so the two columns
    // still fill the list without a horizontal scroll bar.
    LV->header()->resizeSection(0, Main::kListColumnWidths[0] - 2 * kListFocusFrame);
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
    txtPath->setAccessibleName(QStringLiteral("Output folder"));

    const std::pair<HotArea**, const char*> drops[] = {{&picButtonOF, "picButtonOF"},
                                                       {&picButtonBR, "picButtonBR"},
                                                       {&picButtonR, "picButtonR"},
                                                       {&picButtonChannel, "picButtonChannel"}};
    QComboBox* lists[] = {cmbOF, cmbBR, cmbR, cmbChannel};
    for (int i = 0; i < 4; ++i) {
        HotArea* b = HotArea::create(w, drops[i].second, Main::kSelectorDrop[i], lists[i]->toolTip());
        b->setRestingLook(SkinArt::DropButton(Look::Normal));
        b->setLooks(SkinArt::DropButton(Look::Light));
        b->setCaption(QStringLiteral("Open list: ") + lists[i]->toolTip());
        // The selector itself is in the Tab chain, and Alt+Down opens its list.
        b->keepOutOfTabChain();
        QObject::connect(b, &HotArea::clicked, lists[i], &QComboBox::showPopup);
        *drops[i].first = b;
    }
    imgBrowse = HotArea::create(w, "imgBrowse", Main::kBrowse, QStringLiteral("Select an Output Folder"));
    imgBrowse->setCaption(QStringLiteral("Browse"));
    imgBrowse->setLooks(SkinArt::BrowseButton(Look::Light), SkinArt::BrowseButton(Look::Dark));
    imgConvert = HotArea::create(w, "imgConvert", Main::kConvert);
    imgConvert->setCaption(QStringLiteral("Convert"));
    imgConvert->setToolTip(
        MainCommands::withKeys(QStringLiteral("Convert the files of the list"), MainCommands::Convert));
    m_convertLit = SkinArt::ConvertButton(Look::Light);
    imgConvert->setLooks(m_convertLit, QPixmap());
    m_stopLooks[0] = SkinArt::StopButton(Look::Normal);
    m_stopLooks[1] = SkinArt::StopButton(Look::Light);
    m_stopLooks[2] = SkinArt::StopButton(Look::Dark);
    imgAdd = HotArea::create(w, "imgAdd", Main::kAdd, QStringLiteral("Add a new file to file list"));
    imgRemove = HotArea::create(w, "imgRemove", Main::kRemove, QStringLiteral("Remove a file from file list"));
    imgStart = HotArea::create(w, "imgStart", Main::kStart);
    imgAdd->setCaption(QStringLiteral("Add File(s)"));
    imgRemove->setCaption(QStringLiteral("Remove Selected"));
    imgStart->setCaption(QStringLiteral("Convert"));
    // Below the visible face: the program reaches them, the Tab key does not.
    for (HotArea* hidden : {imgAdd, imgRemove, imgStart})
        hidden->keepOutOfTabChain();
}

void MainUi::setupStatus(QWidget* w)
{
    lblFeed = textLabel<LinkLabel>(w, "lblFeed", QStringLiteral("Feedback"), Main::kFeedback);
    lblFeed->setToolTip(QStringLiteral("Send us your suggestion or question"));
    lblFeed->setBoldOnHover(true);
    lblWeb = textLabel<LinkLabel>(w, "lblWeb", QString(), Main::kWeb);
    lblWeb->setToolTip(QStringLiteral("Visit the Veltra web site"));
    lblFeed->setCursor(handCursor());
    lblWeb->setCursor(handCursor());
    lblVersion = textLabel<GripLabel>(w, "lblVersion", QString(), Main::kVersion);

    imgPB = new QLabel(w);
    imgPB->setObjectName(QStringLiteral("imgPB"));
    imgPB->setGeometry(Main::kProgressBar);
    imgPB->setPixmap(SkinArt::ProgressStrip());
    imgPB->setScaledContents(true);
    lblPB = textLabel<ProgressCaption>(w, "lblPB", QStringLiteral("0%"), Main::kProgressCaption);
    lblPB->setAlignment(Qt::AlignCenter);
    lblPB->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainUi::setupDrops(QWidget* w)
{
    picDrag = HotArea::create(w, "picDrag", Main::kDropZone, QStringLiteral("Drag media files onto this DropZone"));
    picDrag->setCaption(QStringLiteral("Drop zone"));
    picDrag->keepOutOfTabChain();
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
    lblVersion->setStyleSheet(QStringLiteral("color: %1;").arg(cssColour(Palette::kVersion)));
    lblWeb->setStyleSheet(QStringLiteral("color: %1;").arg(cssColour(Palette::kStatusText)));
    QFont feed = designFont(7);
    feed.setUnderline(true);
    lblFeed->setFont(feed);
    QFont header = LV->header()->font();
    header.setBold(true);
    LV->header()->setFont(header);
}
