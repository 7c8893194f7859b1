#include "ScreenWatcher.h"

#include <QCoreApplication>
#include <QEvent>

ScreenWatcher::ScreenWatcher(QString windowName, bool afterActivation, QObject* parent)
    : QObject(parent), m_name(std::move(windowName)), m_afterActivation(afterActivation)
{
    m_grace.setSingleShot(true);
    m_grace.setInterval(activationGraceMs);
    connect(&m_grace, &QTimer::timeout, this, &ScreenWatcher::announce);
    QCoreApplication::instance()->installEventFilter(this);
}

ScreenWatcher::~ScreenWatcher()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool ScreenWatcher::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Show && type != QEvent::WindowActivate && type != QEvent::Hide)
        return false;
    if (!watched->isWidgetType() || watched->objectName() != m_name)
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow())
        return false;
    if (type == QEvent::Hide) {
        if (widget == m_window)
            emit hidden();
        return false;
    }
    m_window = widget;
    if (type == QEvent::Show && m_afterActivation && !widget->isActiveWindow())
        m_grace.start();
    else
        QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, &ScreenWatcher::announce); });
    return false;
}

void ScreenWatcher::announce()
{
    m_grace.stop();
    if (m_announced || !m_window || !m_window->isVisible())
        return;
    m_announced = true;
    emit ready(m_window);
}
