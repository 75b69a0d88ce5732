#include "ModalGuard.h"

namespace ModalGuard {

namespace {
Handler& current()
{
    static Handler h;
    return h;
}
} // namespace

void setHandler(Handler handler)
{
    current() = std::move(handler);
}

bool blocked(const char* what)
{
    const Handler h = current();
    if (!h)
        return false;
    h(what);
    return true;
}

} // namespace ModalGuard
