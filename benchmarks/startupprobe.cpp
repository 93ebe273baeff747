// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Linked into a program beside its unchanged main(): notes when the program's libraries are
// loaded, when the application object exists, and when the first frame of its main window
// is drawn, prints the three CLOCK_MONOTONIC times on standard output and quits. The
// launcher (bench-startup) reads the clock just before it starts the process.
#include "clock.h"

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMetaObject>

#include <cstdio>

using korvex::bench::monotonicNs;

namespace {

long long loadedAt = 0;
long long appAt = 0;

// Runs before main(), once the dynamic loader has mapped and relocated every library.
__attribute__((constructor)) void markLoaded() {
    loadedAt = monotonicNs();
}

class FirstFrame : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!Seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            const auto* widget = static_cast<QWidget*>(watched);
            if (qobject_cast<const QMainWindow*>(widget->window()) != nullptr) {
                Seen = true;
                // Queued, so it runs once the whole frame is painted and flushed.
                QMetaObject::invokeMethod(
                    this,
                    [] {
                        const long long frameAt = monotonicNs();
                        std::printf("loaded %lld\napp %lld\nframe %lld\n", loadedAt, appAt,
                                    frameAt);
                        std::fflush(stdout);
                        QCoreApplication::quit();
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    bool Seen = false;
};

void installProbe() {
    appAt = monotonicNs();
    auto* probe = new FirstFrame(QCoreApplication::instance()); // owned by the application
    QCoreApplication::instance()->installEventFilter(probe);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
