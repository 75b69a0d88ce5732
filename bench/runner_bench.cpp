// The console runner's own cost: how long a run takes beyond the tool's own life, and how much CPU the
// program spends while a tool runs and writes now and then.
#include "convert/CommandLineSplit.h"
#include "convert/DOSOutputs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    const QString tool = dir.path() + QStringLiteral("/data/conv.exe");
    if (!QFile::link(QStringLiteral(VELTRA_FAKE_TOOL), tool)) {
        std::fprintf(stderr, "cannot link the fake tool\n");
        return 1;
    }
    const QByteArray quoted = CommandLineSplit::quote(tool.toUtf8());

    DOSOutputs dos;
    QElapsedTimer clock;
    qint64 overAt = 0;
    QObject::connect(&dos, &DOSOutputs::CommandOver, [&] { overAt = clock.nsecsElapsed(); });

    const int runs = 50;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        clock.start();
        dos.ExecuteCommand(quoted + " exit:0");
        ms.push_back(overAt / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("runner overhead, tool that exits at once, %d runs: median %.2f ms, min %.2f ms, max %.2f ms\n", runs,
                ms[runs / 2], ms.front(), ms.back());

    QByteArray progress = quoted;
    for (int i = 0; i < 10; ++i)
        progress += " \"out:size= 1kB time=00:00:0" + QByteArray::number(i) + ".00 bitrate=1kbits/s\\r\" sleep:500";
    const double cpuBefore = cpuSeconds();
    clock.start();
    dos.ExecuteCommand(progress);
    const double wall = clock.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("CPU while a %.2f s tool run waits (a progress line every 0.5 s): %.3f s = %.2f%% of one core\n", wall,
                cpu, 100.0 * cpu / wall);
    return 0;
}
