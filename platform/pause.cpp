#include "platform/pause.h"

#include <QThread>

void RealPause(int milliseconds)
{
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}
