#include "Announcer.h"

#include <QAccessible>
#include <QWidget>

namespace Announcer {
namespace {
Listener& listener()
{
    static Listener l;
    return l;
}
} // namespace

void alert(QWidget* source, const QString& text)
{
    if (!source || text.isEmpty())
        return;
    if (listener()) {
        listener()(source, text);
        return;
    }
    // The reader speaks the source's name with the alert; the text travels as its description.
    source->setAccessibleDescription(text);
    QAccessibleEvent event(source, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

void setListener(Listener l)
{
    listener() = std::move(l);
}
} // namespace Announcer
