#include "MsgBox.h"

namespace {
MsgBox::Presenter& currentPresenter()
{
    static MsgBox::Presenter presenter;
    return presenter;
}
} // namespace

void MsgBox::show(const QString& text, Icon icon, const QString& title, const QString& details)
{
    Shown shown{text, title.isEmpty() ? QString::fromLatin1(kAppTitle) : title, icon, details};
    // Copied first: a presenter may replace itself while its modal box runs.
    Presenter p = currentPresenter();
    if (p)
        p(shown);
}

void MsgBox::setPresenter(Presenter presenter)
{
    currentPresenter() = std::move(presenter);
}

MsgBox::Presenter MsgBox::presenter()
{
    return currentPresenter();
}
