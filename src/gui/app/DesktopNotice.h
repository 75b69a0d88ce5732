#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

// The desktop's notification when a batch has ended and the window is not where the user looks (the
// caller decides that: the window is not active). It goes to org.freedesktop.Notifications on the
// session bus, as the program's own (the hint desktop-entry names QGuiApplication::desktopFileName),
// with an "Open folder" action where the notification service says it shows actions. Every call is
// asynchronous, so a slow or hung service never holds the window; with no session bus, or no service
// on it, nothing happens at all.
class DesktopNotice : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";
    static constexpr const char* kOpenFolderAction = "open-folder";

    // How the batch ended.
    struct Outcome
    {
        int converted = 0;
        int failed = 0;
        int skipped = 0;            // outputs already there (skip mode)
        int foldersNotSearched = 0; // folders the search could not open
        bool stopped = false;       // the user stopped the batch
        QString outputFolder;       // what "Open folder" opens; none offered when empty
    };

    // On the session bus, or on a bus of the caller's (a test's).
    explicit DesktopNotice(QObject* parent = nullptr);
    explicit DesktopNotice(const QDBusConnection& bus, QObject* parent = nullptr);

    // Sends the notice and returns at once; finished follows once the service has answered.
    void Show(const Outcome& outcome);

    // The notice's title and text: "Conversion finished", "12 files converted, 1 failed, 2 skipped,
    // 1 folder not searched" (converted always, the others when there are any).
    static QString Summary(const Outcome& outcome);
    static QString Body(const Outcome& outcome);

signals:
    // The user chose "Open folder" on one of our notices.
    void openFolder(const QString& folder);
    // A Show has been answered: shown, or not (no bus, no service, refused).
    void finished(bool shown);

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    void notify(const Outcome& outcome, bool withActions);

    QDBusConnection m_bus;
    // Notice id -> the folder its action opens; kept after the notice closes, as some services say it
    // closed before they say which action closed it. One entry a batch.
    QHash<uint, QString> m_folders;
};
