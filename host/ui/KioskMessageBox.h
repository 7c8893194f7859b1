#pragma once

#include "HostExport.h"

#include <QDialog>

// The kiosk's modal message box: large text, touch-sized buttons, no title bar.
class HOST_EXPORT KioskMessageBox : public QDialog
{
    Q_OBJECT
public:
    enum class Kind { Question, Notice };
    KioskMessageBox(Kind kind, const QString& text, QWidget* parent = nullptr);
};
