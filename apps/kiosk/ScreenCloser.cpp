#include "ScreenCloser.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int retryMs = 10;
constexpr int attempts = 500; // five seconds

void closeStep(const QPointer<QWidget>& screen, int attemptsLeft)
{
    if (!screen || !screen->isVisible())
        return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != screen)
        modal->close();
    else
        screen->close();
    if (attemptsLeft == 0) {
        // A handler holds the screen (a wait nothing will end): a check that cannot
        // close it must not leave the kiosk hanging.
        std::fprintf(stderr, "kiosk: the screen did not close within %d s; ending the kiosk\n",
                     retryMs * attempts / 1000);
        std::fflush(nullptr);
        std::_Exit(1);
    }
    QTimer::singleShot(retryMs, screen, [screen, attemptsLeft] { closeStep(screen, attemptsLeft - 1); });
}
} // namespace

namespace ScreenCloser {
void close(QWidget* screen)
{
    closeStep(QPointer<QWidget>(screen), attempts);
}
} // namespace ScreenCloser
