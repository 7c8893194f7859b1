#include "ScreenCloser.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

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
    if (attemptsLeft == 0)
        return; // the session's deadline ends the kiosk
    QTimer::singleShot(retryMs, screen, [screen, attemptsLeft] { closeStep(screen, attemptsLeft - 1); });
}
} // namespace

namespace ScreenCloser {
void close(QWidget* screen)
{
    closeStep(QPointer<QWidget>(screen), attempts);
}
} // namespace ScreenCloser
