#pragma once

#include "HostExport.h"

#include <QLabel>

// A one-line label that shows its whole text: when the text is wider than the
// label, it is drawn in a smaller font until it fits, keeping the design's size,
// font family, weight, colour and alignment. Money values and translated titles
// of any length stay readable instead of losing digits or letters at an edge.
class HOST_EXPORT FittingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit FittingLabel(QWidget* parent = nullptr);

    // The font the text is drawn in now: the label's own when it fits.
    QFont fittedFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
