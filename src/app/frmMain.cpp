#include "frmMain.h"

#include "convert/DOSOutputs.h"

frmMain::frmMain(const QString& programFolder, QWidget* parent) : QWidget(parent), m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Veltra WMA Converter"));
    setFixedSize(700, 500);
    m_objDOS = new DOSOutputs(this);
}

frmMain::~frmMain() = default;
