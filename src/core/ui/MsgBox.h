#pragma once

#include <QString>
#include <functional>

// Every message box of the program goes through here, so a test can see what would have been shown
// and answer it without a modal dialog. The widget side installs the real QMessageBox presenter.
class MsgBox
{
public:
    enum class Icon { None, Critical, Warning, Exclamation, Information };

    struct Shown
    {
        QString text;
        QString title;
        Icon icon = Icon::None;
        // Longer text the user may open, scroll and copy (every failed file, say); empty for none.
        QString details;
    };

    using Presenter = std::function<void(const Shown&)>;

    static constexpr const char* kAppTitle = "Veltra WMA Converter";

    // An empty title means the application title.
    static void show(const QString& text, Icon icon, const QString& title = QString(),
                     const QString& details = QString());

    static void setPresenter(Presenter presenter);
    static Presenter presenter();
};
