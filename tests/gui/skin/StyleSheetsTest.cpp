#include "skin/StyleSheets.h"
#include "skin/Palette.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

struct Sheet
{
    const char* window;
    QString text;
};

QList<Sheet> allSheets()
{
    return {{"main", StyleSheets::MainWindow()},
            {"options", StyleSheets::Options()},
            {"feedback", StyleSheets::Feedback()},
            {"message box", StyleSheets::MessageBox()},
            {"popup menu", StyleSheets::PopupMenu()}};
}

QStringList& warnings()
{
    static QStringList list;
    return list;
}

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings().append(message);
}

// What a widget under the sheet paints in the middle of an empty stretch of its face.
QColor faceOf(QWidget& w, const QString& sheet, const QPoint& at)
{
    w.setStyleSheet(sheet);
    w.resize(160, 60);
    return w.grab().toImage().pixelColor(at);
}

TEST(StyleSheets, EverySheetParsesAndNamesOnlyPaletteColours)
{
    for (const Sheet& s : allSheets()) {
        EXPECT_FALSE(s.text.contains(QLatin1Char('@'))) << s.window << ": a colour role the palette lacks";
        warnings().clear();
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        QWidget host;
        host.setStyleSheet(s.text);
        QLineEdit box(&host);
        box.ensurePolished();
        host.grab();
        qInstallMessageHandler(previous);
        EXPECT_TRUE(warnings().isEmpty()) << s.window << ": " << warnings().join(QLatin1Char('\n')).toStdString();
    }
}

TEST(StyleSheets, ControlsPaintInThePaletteColours)
{
    // Each window's text boxes are the painted fields' colour, so a box sits seamlessly on the skin.
    for (const QString& sheet : {StyleSheets::MainWindow(), StyleSheets::Options(), StyleSheets::Feedback()}) {
        QLineEdit box;
        EXPECT_EQ(faceOf(box, sheet, {120, 30}), Palette::kField);
    }
    QTreeView list;
    EXPECT_EQ(faceOf(list, StyleSheets::MainWindow(), {80, 40}), Palette::kField);
    QPushButton button(QStringLiteral("OK"));
    EXPECT_EQ(faceOf(button, StyleSheets::MessageBox(), {8, 30}), Palette::kButton);
    QMenu menu;
    menu.addAction(QStringLiteral("Add a File"));
    menu.setStyleSheet(StyleSheets::PopupMenu());
    const QImage face = menu.grab().toImage();
    EXPECT_EQ(face.pixelColor(0, 0), Palette::kEdge);
    EXPECT_EQ(face.pixelColor(2, 2), Palette::kPanel);
}

} // namespace
