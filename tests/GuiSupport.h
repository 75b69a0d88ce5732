#pragma once

// What tests of the windows need beside TestSupport: the window's commands, drops and opened addresses.
#include "TestSupport.h"

#include <QMimeData>
#include <QObject>
#include <QUrl>
#include <QWidget>

namespace TestSupport {

// Catches every address the program would open (folders, help, web pages) for as long as it lives, so
// no file manager or browser starts during tests.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    OpenedUrls();
    ~OpenedUrls() override;
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Runs a command of a window as its button, menu item or key would: triggers its action, found by object
// name ("actionConvert"). False, triggering nothing, when there is no such action or it is disabled now.
bool trigger(QObject* window, const char* action);

// Drops data on a widget as a real drag does: an enter event the widget must accept, then the drop. For
// a list view, send it to the viewport. False when the enter was refused (nothing dropped) or the drop
// was not taken as a copy.
bool drop(QWidget* target, const QMimeData* mime);

} // namespace TestSupport
