#include "WaitWindow.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace
{
QColor fromBgr(qint32 value, const QColor& fallback)
{
    if (value == 0)
        return fallback;
    const auto v = quint32(value);
    return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}
} // namespace

WaitWindow::WaitWindow(QWidget* screen, const QString& text, qint32 background, qint32 foreground)
    : QWidget(screen), m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("WaitWindow"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#WaitWindow { background: rgba(0, 0, 0, 110); }"));
    m_label->setObjectName(QStringLiteral("lblWaitText"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setMinimumSize(420, 140);
    const QColor back = fromBgr(background, QColor(255, 255, 255));
    const QColor fore = fromBgr(foreground, QColor(0, 0, 0));
    m_label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: %2; border: 2px solid %2; "
                                          "border-radius: 12px; padding: 24px; font-size: 22px; font-weight: bold; }")
                               .arg(back.name(), fore.name()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label, 0, Qt::AlignCenter);
    setText(text);
    if (screen)
        screen->installEventFilter(this);
    coverScreen();
    show();
    raise();
}

void WaitWindow::setText(const QString& text)
{
    m_label->setText(text);
    if (isVisible())
        repaint(); // the caller goes on working without returning to the event loop
}

QString WaitWindow::text() const
{
    return m_label->text();
}

void WaitWindow::coverScreen()
{
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    if (isVisible())
        repaint();
}

bool WaitWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        coverScreen();
    return QWidget::eventFilter(watched, event);
}
