#pragma once

#include <QString>
#include <functional>

class QWidget;

// Says something to the user's screen reader without moving the focus: the end of a batch, a failure.
// It raises an accessibility alert on the widget that shows the text. A listener installed by a test hears
// every alert instead, since neither the offscreen platform nor a bare X server delivers them anywhere.
namespace Announcer {
void alert(QWidget* source, const QString& text);

using Listener = std::function<void(QWidget* source, const QString& text)>;
// Pass an empty listener to go back to the accessibility interface.
void setListener(Listener listener);
} // namespace Announcer
