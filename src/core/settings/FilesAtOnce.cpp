#include "FilesAtOnce.h"

#include <QThread>
#include <QtGlobal>

namespace FilesAtOnce {

int Resolve(int setting)
{
    if (setting >= 1 && setting <= 8)
        return setting;
    return qBound(1, QThread::idealThreadCount(), 8);
}

} // namespace FilesAtOnce
