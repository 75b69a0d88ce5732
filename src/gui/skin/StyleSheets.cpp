#include "StyleSheets.h"

#include "skin/Palette.h"

#include <QRegularExpression>

namespace StyleSheets {

namespace {
// The sheets name colours by role ("@accent"); the roles are filled in from the palette.
QString fill(const char* sheet)
{
    static const QRegularExpression role(QStringLiteral("@([a-z-]+)"));
    const struct
    {
        const char* name;
        QColor colour;
    } roles[] = {{"face", Palette::kFace},
                 {"panel", Palette::kPanel},
                 {"edge", Palette::kEdge},
                 {"field", Palette::kField},
                 {"field-alternate", Palette::kFieldAlternate},
                 {"field-disabled", Palette::kFieldDisabled},
                 {"header", Palette::kHeader},
                 {"button", Palette::kButton},
                 {"button-hover", Palette::kButtonHover},
                 {"text", Palette::kText},
                 {"list-text", Palette::kListText},
                 {"label", Palette::kLabel},
                 {"dim", Palette::kDim},
                 {"selected-text", Palette::kSelectedText},
                 {"accent", Palette::kAccent},
                 {"accent-high", Palette::kAccentHigh},
                 {"accent-deep", Palette::kAccentDeep}};
    QString text = QString::fromLatin1(sheet);
    QString out;
    out.reserve(text.size());
    qsizetype at = 0;
    for (auto it = role.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(at, m.capturedStart() - at);
        QString colour = m.captured();
        for (const auto& r : roles) {
            if (m.captured(1) == QLatin1String(r.name))
                colour = r.colour.name();
        }
        out += colour;
        at = m.capturedEnd();
    }
    out += QStringView(text).mid(at);
    return out;
}

const char* kTooltip = "QToolTip { background: @header; color: @text; border: 1px solid @accent; padding: 3px; }\n";

const char* kOpenList = R"(QComboBox::drop-down { width: 20px; border: none; }
QComboBox::down-arrow { image: none; }
QComboBox QAbstractItemView {
    background: @panel; color: @text; border: 1px solid @edge;
    selection-background-color: @accent; selection-color: @selected-text; outline: none;
}
)";
} // namespace

QString MainWindow()
{
    return fill(R"(
QComboBox, QLineEdit {
    background: @field; color: @text; border: 1px solid @edge; border-radius: 3px;
    padding: 1px 22px 1px 6px; selection-background-color: @accent;
}
QLineEdit { padding: 1px 4px; }
QComboBox:focus, QLineEdit:focus { border-color: @accent-high; }
QComboBox:disabled { color: @dim; background: @field-disabled; }
)") + fill(kOpenList) +
           fill(R"(QTreeView {
    background: @field; alternate-background-color: @field-alternate; color: @list-text;
    border: 1px solid @field; selection-background-color: @accent-deep; selection-color: @selected-text;
    outline: none;
}
QTreeView:focus { border-color: @accent-high; }
QTreeView::item { height: 20px; }
QHeaderView::section {
    background: @header; color: @label; border: none; border-right: 1px solid @edge;
    padding: 3px 6px;
}
QScrollBar:vertical { background: @field; width: 10px; margin: 0; }
QScrollBar::handle:vertical { background: @edge; border-radius: 4px; min-height: 24px; margin: 2px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }
QScrollBar:horizontal { background: @field; height: 10px; margin: 0; }
QScrollBar::handle:horizontal { background: @edge; border-radius: 4px; min-width: 24px; margin: 2px; }
)") + fill(kTooltip) +
           fill(R"(#picText { background: transparent; }
#lblText { color: @dim; }
#lblPB { color: @selected-text; background: transparent; }
#lblFeed { color: @accent-deep; }
)");
}

QString Options()
{
    return fill(R"(
QComboBox, QLineEdit {
    background: @field; color: @text; border: 1px solid @edge; border-radius: 3px;
    padding: 0px 4px; selection-background-color: @accent;
}
QLineEdit:disabled { color: @dim; background: @field-disabled; }
)") + fill(kOpenList) +
           fill(
               R"(QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid @dim; border-radius: 2px; background: @field; }
QCheckBox::indicator:checked { background: @accent; border-color: @accent-high; }
)") + fill(kTooltip);
}

QString Feedback()
{
    return fill(R"(
QLineEdit {
    background: @field; color: @text; border: 1px solid @edge; border-radius: 3px;
    padding: 1px 4px; selection-background-color: @accent;
}
QLineEdit:focus { border-color: @accent; }
)") + fill(kTooltip) +
           fill("#lblSending { color: @selected-text; }\n");
}

QString MessageBox()
{
    // Buttons like the dialogs' painted ones, and no icons on them.
    return fill(R"(
QMessageBox { background: @face; border: 1px solid @edge; }
QMessageBox QLabel { color: @text; background: transparent; }
QDialogButtonBox { dialogbuttonbox-buttons-have-icons: 0; }
QPushButton {
    background: @button; color: @text; border: 1px solid @edge; border-radius: 3px;
    min-width: 64px; padding: 3px 12px;
}
QPushButton:hover { background: @button-hover; border-color: @accent; }
QPushButton:pressed { background: @accent-deep; }
QPushButton:default { border-color: @accent; }
QPushButton:focus { outline: none; }
QTextEdit { background: @field; color: @text; border: 1px solid @edge; selection-background-color: @accent-deep; }
)");
}

QString PopupMenu()
{
    return fill(R"(
QMenu { background: @panel; color: @text; border: 1px solid @edge; padding: 4px 0; }
QMenu::item { padding: 4px 24px 4px 16px; }
QMenu::item:selected { background: @accent; color: @selected-text; }
QMenu::separator { height: 1px; background: @edge; margin: 4px 8px; }
)");
}

} // namespace StyleSheets
