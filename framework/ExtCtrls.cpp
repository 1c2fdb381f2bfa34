#include "framework/ExtCtrls.h"

#include <QPainter>

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 50;
    FHeight = 50;
}

void TBevel::SetShape(TBevelShape Value) {
    FShape = Value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle Value) {
    FStyle = Value;
    Invalidate();
}

void TBevel::Paint(QPainter& Painter) {
    // A lowered edge is dark at the top and left and light at the bottom and right.
    QColor first = ColorToQColor(clBtnShadow);
    QColor second = ColorToQColor(clBtnHighlight);
    if (FStyle == bsRaised)
        std::swap(first, second);
    const int right = FWidth - 1, bottom = FHeight - 1;
    auto line = [&](const QColor& c, int x1, int y1, int x2, int y2) {
        Painter.setPen(c);
        Painter.drawLine(x1, y1, x2, y2);
    };
    switch (FShape) {
    case bsBox:
        line(first, 0, 0, right, 0);
        line(first, 0, 0, 0, bottom);
        line(second, 0, bottom, right, bottom);
        line(second, right, 0, right, bottom);
        break;
    case bsFrame:
        // An etched frame: two boxes, one pixel apart.
        Painter.setPen(first);
        Painter.drawRect(0, 0, right - 1, bottom - 1);
        Painter.setPen(second);
        Painter.drawRect(1, 1, right - 1, bottom - 1);
        break;
    case bsTopLine:
        line(first, 0, 0, right, 0);
        line(second, 0, 1, right, 1);
        break;
    case bsBottomLine:
        line(first, 0, bottom - 1, right, bottom - 1);
        line(second, 0, bottom, right, bottom);
        break;
    case bsLeftLine:
        line(first, 0, 0, 0, bottom);
        line(second, 1, 0, 1, bottom);
        break;
    case bsRightLine:
        line(first, right - 1, 0, right - 1, bottom);
        line(second, right, 0, right, bottom);
        break;
    case bsSpacer:
        break;
    }
}
