#include "Wst00002.h"

#include "WaitWindow.h"

#include <QPointer>

namespace
{
QPointer<WaitWindow> window;
} // namespace

namespace Wst00002
{

void AtivaProcesso(QWidget* form, const QString& text, qint32 background, qint32 foreground)
{
    if (window && window->parentWidget() == form) {
        window->setText(text);
        return;
    }
    DesativaProcesso();
    window = new WaitWindow(form, text, background, foreground);
}

void DesativaProcesso()
{
    delete window.data();
    window.clear();
}

WaitWindow* current()
{
    return window.data();
}

} // namespace Wst00002
