// Printing: EM_FORMATRANGE lays the text out at the device's resolution and the rectangle's
// width, and draws (or only measures) the lines that fit from a start position on.

#include "platform/richedit/RichEditControl.h"

#include <QPainter>
#include <algorithm>

namespace {

int ToPixels(LONG twips, int dpi) {
    return int(std::int64_t(twips) * dpi / 1440);
}

LONG ToTwips(int pixels, int dpi) {
    return LONG(std::int64_t(pixels) * 1440 / std::max(dpi, 1));
}

} // namespace

std::optional<LRESULT> RichEditControl::PrintMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != EM_FORMATRANGE) {
        return std::nullopt;
    }
    auto* range = reinterpret_cast<FORMATRANGE*>(lParam);
    if (!range) {
        printLayout_.reset(); // the cached layout of the last job
        return 0;
    }
    return LRESULT(FormatRange(*range, wParam != 0));
}

RichEditControl::Pos RichEditControl::FormatRange(FORMATRANGE& range, bool render) {
    const HDC device = range.hdc ? range.hdc : range.hdcTarget;
    const int dpiX = GetDeviceCaps(device, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(device, LOGPIXELSY);
    const QRect area(ToPixels(range.rc.left, dpiX), ToPixels(range.rc.top, dpiY),
                     ToPixels(range.rc.right - range.rc.left, dpiX),
                     ToPixels(range.rc.bottom - range.rc.top, dpiY));
    if (!printLayout_ || printLayout_->Dpi() != dpiY || printLayout_->Width() != area.width()) {
        printLayout_ = std::make_unique<TextLayout>(doc_, dpiY);
        AttachObjects(*printLayout_);
        printLayout_->SetWidth(std::max(1, area.width()));
    }
    const LineIndex& lines = doc_.Lines();
    const Pos length = doc_.Length();
    const Pos end = range.chrg.cpMax < 0 ? length : std::min<Pos>(range.chrg.cpMax, length);
    const Pos first = std::clamp<Pos>(range.chrg.cpMin, 0, length);
    Pos start = first;
    QPainter* painter = render ? PainterOf(range.hdc) : nullptr;
    const TextLayout::Colors colors{Qt::black, Qt::white, Qt::black, QColor(0, 0, 255)};

    int y = 0;
    std::vector<std::int32_t> starts;
    std::vector<std::int32_t> heights;
    while (start < end) {
        const Pos para = lines.ParagraphFromPosition(start);
        const Pos paraStart = lines.ParagraphStart(para);
        const Pos textEnd = lines.ParagraphTextEnd(para);
        const std::u16string text = doc_.Text(paraStart, textEnd - paraStart);
        starts.clear();
        heights.clear();
        // start is where the previous page stopped: always the start of a line.
        printLayout_->BreakParagraph(ParagraphRef{para, paraStart, text},
                                     std::int32_t(start - paraStart), starts, heights);
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const Pos lineStart = paraStart + starts[k];
            if (lineStart >= end) {
                break;
            }
            // A range may end inside a line: what follows it is not part of the job.
            const Pos lineEnd =
                std::min(k + 1 < starts.size() ? paraStart + starts[k + 1] : textEnd, end);
            // A line taller than the page still goes on an empty page, so printing ends.
            if (y > 0 && y + heights[k] > area.height()) {
                range.rc.bottom = range.rc.top + ToTwips(y, dpiY);
                return lineStart;
            }
            if (painter) {
                const TextLayout::Line line = printLayout_->BuildLine(para, lineStart, lineEnd);
                printLayout_->DrawLine(*painter, line, QPointF(area.left(), area.top() + y), 0, 0,
                                       colors);
            }
            y += heights[k];
        }
        start = lines.ParagraphEnd(para);
        if (para + 1 >= lines.Paragraphs()) {
            break;
        }
    }
    range.rc.bottom = range.rc.top + ToTwips(y, dpiY);
    // All of the range is out (start has run on to its paragraph's end).
    return std::max(first, end);
}
