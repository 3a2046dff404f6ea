// Median time from an XTEST key press to the key-down action of the shortcut, with the
// app idle in its event loop as it would be while another program is in front.
#include "XTestDriver.h"

#include "platform/SettingsStore.h"
#include "shortcuts/GlobalShortcuts.h"
#include "shortcuts/KeyCodeMap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace flintly;
using namespace flintly::shortcuts;

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    constexpr int warmup = 20;

    test::XTestDriver xtest;
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !xtest.isConnected()) {
        std::fprintf(stderr, "shortcuts_bench: needs an X server (run it under xvfb-run)\n");
        return 2;
    }

    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("Flintly.conf")));
    GlobalShortcuts shortcuts(store);
    const Shortcut shortcut(Key::f9, ModifierFlag::command | ModifierFlag::option | ModifierFlag::shift);
    const Name name = shortcuts.declare(QStringLiteral("bench"), shortcut);
    const quint8 key = *KeyCodeMap::xKeycode(shortcut.carbonKeyCode());
    const QList<quint8> modifiers = test::XTestDriver::modifierKeycodes(shortcut.carbonModifiers());

    QElapsedTimer clock;
    clock.start();
    qint64 pressedAt = 0;
    qint64 ranAt = 0;
    QEventLoop loop;
    QObject context;
    shortcuts.onKeyDown(name, &context, [&] {
        ranAt = clock.nsecsElapsed();
        loop.quit();
    });
    int released = 0;
    shortcuts.onKeyUp(name, &context, [&] {
        ++released;
        loop.quit();
    });

    for (quint8 m : modifiers)
        xtest.press(m);

    std::vector<double> samples;
    for (int i = 0; i < warmup + rounds; ++i) {
        ranAt = 0;
        QTimer::singleShot(0, &context, [&] {
            pressedAt = clock.nsecsElapsed();
            xtest.press(key);
        });
        QTimer::singleShot(2000, &loop, [&] { loop.quit(); });
        loop.exec();
        if (ranAt == 0) {
            std::fprintf(stderr, "shortcuts_bench: the action did not run within 2 s\n");
            return 1;
        }
        if (i >= warmup)
            samples.push_back((ranAt - pressedAt) / 1e6);
        const int before = released;
        xtest.release(key);
        while (released == before)
            loop.exec();
    }
    for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it)
        xtest.release(*it);

    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[static_cast<size_t>(q * (samples.size() - 1))]; };
    std::printf("shortcuts: press -> action over %zu presses: median %.3f ms (min %.3f, p90 %.3f, max %.3f)\n",
                samples.size(), at(0.5), samples.front(), at(0.9), samples.back());
    return 0;
}
