#include "platform/richedit/TextLayout.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

bool LooksLikeTerminalFont(const QString& name) {
    static const char* const hints[] = {"term",  "minal",      "mono", "courier", "consol",
                                        "fixed", "typewriter", "tty",  "vt100"};
    const QString lower = name.toLower();
    return std::any_of(std::begin(hints), std::end(hints),
                       [&](const char* hint) { return lower.contains(QLatin1String(hint)); });
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000;
}

// The hot loop of wrapping: plain characters (no blanks) from i on while they fit before
// limit. Free of calls, so that x stays in a register. Returns the first one not taken.
std::size_t FitPlain(const char16_t* t, std::size_t i, std::size_t count, const float* advances,
                     double limit, double& x) {
    double at = x;
    for (; i < count; ++i) {
        const char16_t c = t[i];
        if (IsBlank(c) || at + advances[c] > limit) {
            break;
        }
        at += advances[c];
    }
    x = at;
    return i;
}

// The same where every character but the blanks has one advance (a bit line in one font):
// how many fit follows by arithmetic. Advances are whole 64ths of a pixel, so the products
// are exact and the count is the one adding them up would give.
std::size_t FitUniform(const char16_t* t, std::size_t i, std::size_t count, bool hasBlanks,
                       double advance, double limit, double& x) {
    const std::size_t plain =
        hasBlanks ? std::size_t(std::find_if(t + i, t + count, IsBlank) - t) - i : count - i;
    // Compared as a double first: without wrapping the limit is infinite, and so is the fit.
    const double fit = std::floor((limit - x) / advance);
    std::size_t k = fit >= double(plain) ? plain : std::size_t(std::max(0.0, fit));
    while (k < plain && x + double(k + 1) * advance <= limit) {
        ++k;
    }
    while (k > 0 && x + double(k) * advance > limit) {
        --k;
    }
    x += double(k) * advance;
    return i + k;
}

QColor FromColorRef(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

QString ResolveFamily(std::u16string_view face, BYTE pitchAndFamily) {
    static std::map<std::pair<std::u16string, BYTE>, QString> resolved;
    const auto key = std::make_pair(std::u16string(face), pitchAndFamily);
    if (auto it = resolved.find(key); it != resolved.end()) {
        return it->second;
    }
    const QString name = QString::fromStdU16String(key.first);
    QString family;
    if (!name.isEmpty() && QFontDatabase::hasFamily(name)) {
        family = name;
    } else if (LooksLikeTerminalFont(name) || (pitchAndFamily & 0x3) == FIXED_PITCH ||
               (pitchAndFamily & 0xF0) == FF_MODERN) {
        family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    } else {
        family = QGuiApplication::font().family();
    }
    resolved.emplace(key, family);
    return family;
}

TextLayout::TextLayout(const RichEditDocument& doc, int dpi) : doc_(doc), dpi_(dpi) {}

TextLayout::~TextLayout() = default;

void TextLayout::ForgetFonts() {
    byId_.clear();
    fonts_.clear();
}

FontEntry& TextLayout::EntryFor(std::int32_t formatId) {
    const CharFormat& format = doc_.ResolveCharFormat(formatId);
    if (std::size_t(formatId) < byId_.size() && byId_[std::size_t(formatId)] &&
        (formatId != RichEditDocument::DefaultFormatId ||
         byId_[std::size_t(formatId)]->format == format)) {
        return *byId_[std::size_t(formatId)];
    }
    auto& slot = fonts_[format];
    if (!slot) {
        slot = std::make_unique<FontEntry>();
        FontEntry& e = *slot;
        e.format = format;
        const DWORD effects = format.Effects();
        const bool script = effects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
        int px = std::max(1, int(std::lround(double(format.height) * dpi_ / 1440.0)));
        const int fullPx = px;
        if (script) {
            px = std::max(1, px * 2 / 3);
        }
        QFont f(ResolveFamily(format.Face(), format.pitchAndFamily));
        f.setPixelSize(px);
        const int weight = format.weight == 0 ? ((effects & CFE_BOLD) ? 700 : 400)
                                              : std::clamp<int>(format.weight, 100, 900);
        f.setWeight(QFont::Weight(weight));
        f.setItalic(effects & CFE_ITALIC);
        f.setStrikeOut(effects & CFE_STRIKEOUT);
        f.setCapitalization((effects & CFE_ALLCAPS)     ? QFont::AllUppercase
                            : (effects & CFE_SMALLCAPS) ? QFont::SmallCaps
                                                        : QFont::MixedCase);
        f.setKerning(false); // so that advances add up to what is drawn
        e.font = f;
        e.metrics = std::make_unique<QFontMetricsF>(f);
        e.advances.fill(-1.0f);
        e.ascent = e.metrics->ascent();
        e.descent = e.metrics->descent();
        e.baselineShift = double(format.offset) * dpi_ / 1440.0;
        if (effects & CFE_SUPERSCRIPT) {
            e.baselineShift += fullPx / 3.0;
        } else if (effects & CFE_SUBSCRIPT) {
            e.baselineShift -= fullPx / 6.0;
        }
        e.lineHeight = int(std::ceil(e.ascent + std::max(e.baselineShift, 0.0)) +
                           std::ceil(e.descent + std::max(-e.baselineShift, 0.0)));
        e.hidden = effects & CFE_HIDDEN;
    }
    if (std::size_t(formatId) >= byId_.size()) {
        byId_.resize(std::size_t(formatId) + 1, nullptr);
    }
    byId_[std::size_t(formatId)] = slot.get();
    return *slot;
}

TextLayout::Indents TextLayout::IndentsOf(const ParaFormat& pf) const {
    const double first = std::max(0, PixelsFromTwips(pf.startIndent));
    const double rest = std::max(0, PixelsFromTwips(pf.startIndent + pf.offset));
    return {first, rest, double(std::max(0, PixelsFromTwips(pf.rightIndent)))};
}

double TextLayout::NextTab(const ParaFormat& pf, double x) const {
    for (int i = 0; i < pf.tabCount && i < MAX_TAB_STOPS; ++i) {
        const double stop = PixelsFromTwips(pf.tabs[std::size_t(i)] & 0x00FFFFFF);
        if (stop > x) {
            return stop;
        }
    }
    const double interval = std::max(1, PixelsFromTwips(720));
    return (std::floor(x / interval) + 1) * interval;
}

int TextLayout::ScaledHeight(const ParaFormat& pf, int height) const {
    switch (pf.lineSpacingRule) {
    case 1:
        return height * 3 / 2;
    case 2:
        return height * 2;
    case 3:
        return std::max(height, PixelsFromTwips(pf.lineSpacing));
    case 4:
        return std::max(1, PixelsFromTwips(pf.lineSpacing));
    default:
        return height;
    }
}

void TextLayout::ComplexAdvances(FontEntry& entry, const char16_t* text, std::size_t n,
                                 std::vector<double>& out) {
    out.assign(n, 0.0);
    QTextLayout layout(QString::fromUtf16(text, qsizetype(n)), entry.font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) {
        return;
    }
    double previous = line.cursorToX(0);
    std::size_t last = 0; // the unit that starts the current cluster
    for (std::size_t i = 1; i <= n; ++i) {
        if (i < n && !layout.isValidCursorPosition(int(i))) {
            continue; // inside a cluster: its width goes to the cluster's first unit
        }
        const double x = line.cursorToX(int(i));
        out[last] = x - previous;
        previous = x;
        last = i;
    }
}

std::optional<QSizeF> TextLayout::ObjectPixels(Pos pos) const {
    if (!objectSizer_) {
        return std::nullopt;
    }
    const SIZEL size = objectSizer_(pos);
    if (size.cx <= 0 || size.cy <= 0) {
        return std::nullopt;
    }
    // A damaged or silly extent must not make a line miles long or high.
    static constexpr double MaxPixels = 8192;
    const auto pixels = [this](LONG himetric) {
        return std::clamp(double(himetric) * dpi_ / 2540.0, 1.0, MaxPixels);
    };
    return QSizeF(std::round(pixels(size.cx)), std::round(pixels(size.cy)));
}

void TextLayout::ObjectAdvances(Pos pos, const char16_t* text, std::size_t n,
                                std::vector<double>& out) const {
    if (!objectSizer_) {
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == RichEditDocument::ObjectChar) {
            if (const std::optional<QSizeF> size = ObjectPixels(pos + Pos(i))) {
                out[i] = size->width();
            }
        }
    }
}

void TextLayout::BreakParagraph(const ParagraphRef& para, std::int32_t from,
                                std::vector<std::int32_t>& starts,
                                std::vector<std::int32_t>& heights) {
    const ParaFormat& pf = doc_.ParaFormatOf(para.index);
    const Indents indents = IndentsOf(pf);
    const auto n = std::int32_t(para.text.size());
    const RunStyles<std::int32_t>& runs = doc_.CharRuns();
    const double unlimited = std::numeric_limits<double>::infinity();
    const auto limitFor = [&](bool first) {
        if (width_ == WrapOff) {
            return unlimited;
        }
        return std::max(1.0, width_ - (first ? indents.first : indents.rest) - indents.right);
    };
    const int markHeight = EntryFor(runs.ValueAt(para.start + n)).lineHeight;
    const auto finish = [&](std::int32_t start, int height, bool last) {
        height = ScaledHeight(pf, height > 0 ? height : markHeight);
        if (start == 0) {
            height += PixelsFromTwips(pf.spaceBefore);
        }
        if (last) {
            height += PixelsFromTwips(pf.spaceAfter);
        }
        starts.push_back(start);
        heights.push_back(height);
    };

    std::int32_t lineStart = from;
    double limit = limitFor(from == 0);
    double x = 0;
    int lineHeight = 0;
    std::int32_t breakAt = -1; // just after the line's last blank
    double xAtBreak = 0;
    int heightAtBreak = 0;
    int heightSinceBreak = 0;
    std::vector<double> complex;

    Pos pos = para.start + from;
    const Pos end = para.start + n;
    while (pos < end) {
        const Pos run = runs.RunFromPosition(pos);
        const Pos runEnd = std::min(runs.RunEnd(run), end);
        FontEntry& e = EntryFor(runs.RunValue(run));
        if (e.hidden) {
            pos = runEnd;
            continue;
        }
        const char16_t* t = para.text.data() + (pos - para.start);
        const auto count = std::size_t(runEnd - pos);
        const bool simple =
            std::all_of(t, t + count, [](char16_t c) { return c < FontEntry::TableSize; });
        RunShape shape;
        if (simple) {
            shape = e.MeasureAll(t, count);
        } else {
            ComplexAdvances(e, t, count, complex);
            ObjectAdvances(pos, t, count, complex);
        }
        const float* table = e.advances.data();
        const auto offset0 = std::int32_t(pos - para.start);
        for (std::size_t i = 0; i < count; ++i) {
            if (simple) {
                const std::size_t fitted = shape.uniform ? FitUniform(t, i, count, shape.hasBlanks,
                                                                      shape.advance, limit, x)
                                                         : FitPlain(t, i, count, table, limit, x);
                if (fitted > i) {
                    lineHeight = std::max(lineHeight, e.lineHeight);
                    heightSinceBreak = std::max(heightSinceBreak, e.lineHeight);
                    i = fitted;
                    if (i == count) {
                        break;
                    }
                }
            }
            const char16_t c = t[i];
            const std::int32_t offset = offset0 + std::int32_t(i);
            if (IsBlank(c)) {
                // Blanks may hang past the edge; a line can end after any of them.
                x = c == u'\t' ? NextTab(pf, x) : x + (simple ? double(table[c]) : complex[i]);
                lineHeight = std::max(lineHeight, e.lineHeight);
                breakAt = offset + 1;
                xAtBreak = x;
                heightAtBreak = lineHeight;
                heightSinceBreak = 0;
                continue;
            }
            const double w = simple ? double(table[c]) : complex[i];
            if (x + w > limit && offset > lineStart && w > 0) {
                if (breakAt > lineStart) { // carry the word that does not fit
                    finish(lineStart, heightAtBreak, false);
                    lineStart = breakAt;
                    x -= xAtBreak;
                    lineHeight = heightSinceBreak;
                } else { // a word longer than the line: cut it here
                    finish(lineStart, lineHeight, false);
                    lineStart = offset;
                    x = 0;
                    lineHeight = 0;
                }
                limit = limitFor(false);
                breakAt = -1;
                heightSinceBreak = lineHeight;
            }
            x += w;
            int height = e.lineHeight;
            if (c == RichEditDocument::ObjectChar) {
                // An object stands on the baseline: its height above it, the font's below.
                if (const std::optional<QSizeF> size = ObjectPixels(para.start + offset)) {
                    height = std::max(height, int(std::ceil(size->height() + e.descent)));
                }
            }
            lineHeight = std::max(lineHeight, height);
            heightSinceBreak = std::max(heightSinceBreak, height);
        }
        pos = runEnd;
    }
    finish(lineStart, lineHeight, true);
}

TextLayout::Line TextLayout::BuildLine(Pos para, Pos start, Pos end) {
    const LineIndex& lines = doc_.Lines();
    const ParaFormat& pf = doc_.ParaFormatOf(para);
    const Indents indents = IndentsOf(pf);
    const Pos paraStart = lines.ParagraphStart(para);
    const RunStyles<std::int32_t>& runs = doc_.CharRuns();

    Line line;
    line.start = start;
    line.end = end;
    double x = 0;
    double ascent = 0;
    double descent = 0;
    std::vector<double> complex;
    Pos pos = start;
    while (pos < end) {
        const Pos run = runs.RunFromPosition(pos);
        const Pos runEnd = std::min(runs.RunEnd(run), end);
        const std::int32_t id = runs.RunValue(run);
        FontEntry& e = EntryFor(id);
        if (e.hidden) {
            pos = runEnd;
            continue;
        }
        ascent = std::max(ascent, e.ascent + std::max(e.baselineShift, 0.0));
        descent = std::max(descent, e.descent + std::max(-e.baselineShift, 0.0));
        // A piece per stretch between tabs, and a piece for each tab.
        Pos pieceStart = pos;
        double pieceX = x;
        const std::u16string text = doc_.Text(pos, runEnd - pos);
        const bool simple = std::all_of(text.begin(), text.end(),
                                        [](char16_t c) { return c < FontEntry::TableSize; });
        if (!simple) {
            ComplexAdvances(e, text.data(), text.size(), complex);
            ObjectAdvances(pos, text.data(), text.size(), complex);
        }
        for (std::size_t i = 0; i < text.size(); ++i) {
            const Pos at = pos + Pos(i);
            if (text[i] == RichEditDocument::ObjectChar) {
                if (const std::optional<QSizeF> size = ObjectPixels(at)) {
                    ascent = std::max(ascent, size->height());
                }
            }
            if (text[i] == u'\t') {
                if (at > pieceStart) {
                    line.pieces.push_back({pieceStart, at, id, pieceX, x - pieceX, false});
                }
                const double next = NextTab(pf, x);
                line.pieces.push_back({at, at + 1, id, x, next - x, true});
                x = next;
                pieceStart = at + 1;
                pieceX = x;
                continue;
            }
            x += simple ? e.Advance(text[i]) : complex[i];
        }
        if (runEnd > pieceStart) {
            line.pieces.push_back({pieceStart, runEnd, id, pieceX, x - pieceX, false});
        }
        pos = runEnd;
    }
    if (line.pieces.empty()) {
        const FontEntry& mark = EntryFor(runs.ValueAt(end));
        ascent = mark.ascent;
    }
    const bool first = start == paraStart;
    line.x = first ? indents.first : indents.rest;
    if (width_ != WrapOff && pf.alignment != PFA_LEFT && pf.alignment != PFA_JUSTIFY) {
        // Trailing blanks do not count when a line is aligned right or centred.
        double used = x;
        for (auto it = line.pieces.rbegin(); it != line.pieces.rend(); ++it) {
            if (it->tab || doc_.CharAt(it->end - 1) != u' ') {
                break;
            }
            used = it->x; // approximation: a piece ending in blanks counts up to its start
        }
        const double room = std::max(0.0, width_ - line.x - indents.right - used);
        line.x += pf.alignment == PFA_RIGHT ? room : room / 2;
    }
    line.ascent = std::ceil(ascent) + (first ? PixelsFromTwips(pf.spaceBefore) : 0);
    line.height = int(std::ceil(line.ascent + descent));
    return line;
}

double TextLayout::XOf(const Line& line, Pos pos) {
    double x = line.x;
    for (const Piece& piece : line.pieces) {
        if (pos >= piece.end) {
            x = line.x + piece.x + piece.width;
            continue;
        }
        if (pos <= piece.start || piece.tab) {
            return line.x + piece.x;
        }
        const std::u16string text = doc_.Text(piece.start, pos - piece.start);
        FontEntry& e = EntryFor(piece.formatId);
        double w = 0;
        if (std::all_of(text.begin(), text.end(),
                        [](char16_t c) { return c < FontEntry::TableSize; })) {
            for (char16_t c : text) {
                w += e.Advance(c);
            }
        } else {
            std::vector<double> advances;
            const std::u16string whole = doc_.Text(piece.start, piece.end - piece.start);
            ComplexAdvances(e, whole.data(), whole.size(), advances);
            ObjectAdvances(piece.start, whole.data(), whole.size(), advances);
            for (std::size_t i = 0; i < text.size(); ++i) {
                w += advances[i];
            }
        }
        return line.x + piece.x + w;
    }
    return x;
}

TextLayout::Pos TextLayout::PositionAt(const Line& line, double x) {
    x -= line.x;
    for (const Piece& piece : line.pieces) {
        if (x >= piece.x + piece.width) {
            continue;
        }
        if (piece.tab || x <= piece.x) {
            return x - piece.x < piece.width / 2 ? piece.start : piece.end;
        }
        const std::u16string text = doc_.Text(piece.start, piece.end - piece.start);
        FontEntry& e = EntryFor(piece.formatId);
        std::vector<double> advances;
        const bool simple = std::all_of(text.begin(), text.end(),
                                        [](char16_t c) { return c < FontEntry::TableSize; });
        if (!simple) {
            ComplexAdvances(e, text.data(), text.size(), advances);
            ObjectAdvances(piece.start, text.data(), text.size(), advances);
        }
        double at = piece.x;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const double w = simple ? e.Advance(text[i]) : advances[i];
            if (w > 0 && x < at + w) {
                return piece.start + Pos(i) + (x - at >= w / 2 ? 1 : 0);
            }
            at += w;
        }
        return piece.end;
    }
    return line.end;
}

void TextLayout::DrawWithObjects(QPainter& painter, const Line& line, double left, double y,
                                 double ascent, Pos start, const std::u16string& chars) {
    Pos from = start;
    const Pos end = start + Pos(chars.size());
    for (Pos p = start; p <= end; ++p) {
        const bool object =
            p < end && chars[std::size_t(p - start)] == RichEditDocument::ObjectChar;
        if (p < end && !object) {
            continue;
        }
        if (p > from) {
            painter.drawText(QPointF(left + XOf(line, from), y),
                             QString::fromStdU16String(
                                 chars.substr(std::size_t(from - start), std::size_t(p - from))));
        }
        if (object) {
            const double x0 = left + XOf(line, p);
            const double x1 = left + XOf(line, p + 1);
            const std::optional<QSizeF> size = ObjectPixels(p);
            const QRectF cell =
                size ? QRectF(x0, y - size->height(), x1 - x0, size->height())
                     : QRectF(x0 + 1, y - ascent, std::max(1.0, x1 - x0 - 2), ascent);
            if (!objectPainter_ || !objectPainter_(painter, p, cell)) {
                painter.drawRect(cell);
            }
        }
        from = p + 1;
    }
}

void TextLayout::DrawLine(QPainter& painter, const Line& line, QPointF origin, Pos selMin,
                          Pos selMax, const Colors& colors) {
    const double baseline = origin.y() + line.ascent;
    for (const Piece& piece : line.pieces) {
        FontEntry& e = EntryFor(piece.formatId);
        const DWORD effects = e.format.Effects();
        const bool link = effects & CFE_LINK;
        QColor text = (effects & CFE_AUTOCOLOR) ? (link ? colors.link : colors.text)
                                                : FromColorRef(e.format.textColor);
        // Split the piece where the selection starts and ends.
        Pos cuts[4] = {piece.start, std::clamp(selMin, piece.start, piece.end),
                       std::clamp(selMax, piece.start, piece.end), piece.end};
        for (int k = 0; k < 3; ++k) {
            const Pos a = cuts[k];
            const Pos b = cuts[k + 1];
            if (a >= b) {
                continue;
            }
            const bool selected = a >= selMin && b <= selMax && selMin < selMax;
            const double x0 = piece.tab ? origin.x() + line.x + piece.x : origin.x() + XOf(line, a);
            const double x1 = piece.tab ? x0 + piece.width : origin.x() + XOf(line, b);
            const QRectF box(x0, origin.y(), x1 - x0, line.height);
            if (selected) {
                painter.fillRect(box, colors.highlight);
            } else if (!(effects & CFE_AUTOBACKCOLOR)) {
                painter.fillRect(box, FromColorRef(e.format.backColor));
            }
            if (piece.tab) {
                continue;
            }
            const QColor pen = selected ? colors.highlightedText : text;
            painter.setPen(pen);
            painter.setFont(e.font);
            const double y = baseline - e.baselineShift;
            const std::u16string chars = doc_.Text(a, b - a);
            if (chars.find(RichEditDocument::ObjectChar) == std::u16string::npos) {
                painter.drawText(QPointF(x0, y), QString::fromStdU16String(chars));
            } else {
                DrawWithObjects(painter, line, origin.x(), y, e.ascent, a, chars);
            }
            BYTE underline = e.format.underlineType;
            if (link && underline == CFU_UNDERLINENONE) {
                underline = CFU_UNDERLINE;
            }
            if (underline == CFU_UNDERLINENONE) {
                continue;
            }
            const double uy = y + std::max(1.0, e.metrics->underlinePos());
            const double thick = std::max(1.0, e.metrics->lineWidth());
            QPen upen(pen, underline == CFU_UNDERLINETHICK ? thick * 2 : thick);
            switch (underline) {
            case CFU_UNDERLINEDOTTED:
                upen.setStyle(Qt::DotLine);
                break;
            case CFU_UNDERLINEDASH:
                upen.setStyle(Qt::DashLine);
                break;
            case CFU_UNDERLINEDASHDOT:
                upen.setStyle(Qt::DashDotLine);
                break;
            case CFU_UNDERLINEDASHDOTDOT:
                upen.setStyle(Qt::DashDotDotLine);
                break;
            default:
                break;
            }
            painter.setPen(upen);
            if (underline == CFU_UNDERLINEWAVE) {
                QPainterPath wave(QPointF(x0, uy));
                for (double wx = x0; wx < x1; wx += 2) {
                    wave.lineTo(std::min(wx + 2, x1), uy + ((int(wx - x0) / 2) % 2 ? -1 : 1));
                }
                painter.drawPath(wave);
            } else {
                painter.drawLine(QPointF(x0, uy), QPointF(x1, uy));
                if (underline == CFU_UNDERLINEDOUBLE) {
                    painter.drawLine(QPointF(x0, uy + 2 * thick), QPointF(x1, uy + 2 * thick));
                }
            }
        }
    }
}
