#pragma once
// Lays a document's paragraphs out in lines at a width and resolution, with Qt's fonts, and
// measures and draws those lines. One instance serves the screen (it is the line breaker of
// the document's line index); printing makes another at the printer's resolution.
//
// Lines are built from the document's format runs: each run is measured in its own font
// (kerning off, so advances add up and what is drawn lands where it was measured). Runs of
// characters whose advances do not depend on their neighbours (Latin and the like) are
// measured from a per-font table by arithmetic; anything else is shaped by QTextLayout.

#include "platform/richedit/LineIndex.h"
#include "platform/richedit/RichEditDocument.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QPainter;

// What a run of simple characters looks like to the wrapping loop.
struct RunShape {
    bool uniform = false; // every character but the blanks has advance
    bool hasBlanks = false;
    double advance = 0;
};

// A font and its measures for one character format at one resolution.
struct FontEntry {
    CharFormat format;
    QFont font;
    double ascent = 0;
    double descent = 0;
    double baselineShift = 0; // > 0 raises (superscript, offsets)
    int lineHeight = 0;
    bool hidden = false;
    std::unique_ptr<QFontMetricsF> metrics;
    // Advances of the characters below TableSize; negative until measured.
    static constexpr char16_t TableSize = 0x300;
    std::array<float, TableSize> advances;

    double Advance(char16_t c) {
        float& a = advances[c];
        if (a < 0) {
            a = float(metrics->horizontalAdvance(QChar(c)));
        }
        return a;
    }
    // Measures what is not measured yet of text (all below TableSize) and tells whether all
    // but its blanks share one advance.
    RunShape MeasureAll(const char16_t* text, std::size_t n) {
        RunShape shape;
        double first = -1;
        bool same = true;
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t c = text[i];
            const double a = Advance(c);
            if (c == u' ' || c == u'\t' || c == 0x3000) {
                shape.hasBlanks = true;
            } else if (first < 0) {
                first = a;
            } else {
                same &= a == first;
            }
        }
        shape.uniform = same && first > 0;
        shape.advance = first;
        return shape;
    }
};

// The family a face name resolves to: itself when installed; otherwise a fixed-pitch family
// for names that look like a terminal font (or say they are fixed pitch), else the default.
QString ResolveFamily(std::u16string_view face, BYTE pitchAndFamily);

class TextLayout : public LineBreaker {
public:
    using Pos = std::int64_t;

    // One format's stretch of a display line, at x (pixels from the line's left edge).
    struct Piece {
        Pos start;
        Pos end;
        std::int32_t formatId;
        double x;
        double width;
        bool tab; // a tab's blank stretch
    };
    struct Line {
        Pos start = 0;
        Pos end = 0;  // without the paragraph's CR
        double x = 0; // indent and alignment
        int height = 0;
        double ascent = 0; // from the line's top to its baseline
        std::vector<Piece> pieces;
    };

    TextLayout(const RichEditDocument& doc, int dpi);
    ~TextLayout() override;

    // Width to wrap at in pixels; 0 or less (or WrapOff) lays each paragraph out on one line.
    static constexpr std::int32_t WrapOff = INT32_MAX;
    void SetWidth(std::int32_t width) { width_ = width <= 0 ? WrapOff : width; }
    std::int32_t Width() const override { return width_; }
    int Dpi() const { return dpi_; }
    // Forgets every font, e.g. after the default format changed.
    void ForgetFonts();

    void BreakParagraph(const ParagraphRef& para, std::int32_t from,
                        std::vector<std::int32_t>& starts,
                        std::vector<std::int32_t>& heights) override;

    // The display line [start, end) of paragraph para, measured and placed.
    Line BuildLine(Pos para, Pos start, Pos end);
    // The x of the caret before pos (start <= pos <= end) on line.
    double XOf(const Line& line, Pos pos);
    // The position nearest to x on line (never past its end).
    Pos PositionAt(const Line& line, double x);

    struct Colors {
        QColor text;      // for automatic text colour
        QColor highlight; // selection background
        QColor highlightedText;
        QColor link; // for links in the automatic colour
    };
    // Draws line with its top-left corner at origin; the selection [selMin, selMax) highlighted.
    void DrawLine(QPainter& painter, const Line& line, QPointF origin, Pos selMin, Pos selMax,
                  const Colors& colors);

    // Draws the embedded object at pos into its placeholder's cell; false leaves the
    // placeholder's own frame.
    using ObjectPainter = std::function<bool(QPainter& painter, Pos pos, const QRectF& cell)>;
    void SetObjectPainter(ObjectPainter painter) { objectPainter_ = std::move(painter); }
    // The size in HIMETRIC of the object whose placeholder is at pos; an empty size leaves
    // the placeholder as wide and high as its character.
    using ObjectSizer = std::function<SIZEL(Pos pos)>;
    void SetObjectSizer(ObjectSizer sizer) { objectSizer_ = std::move(sizer); }

    FontEntry& EntryFor(std::int32_t formatId);
    int PixelsFromTwips(LONG twips) const { return int((std::int64_t(twips) * dpi_) / 1440); }

private:
    struct Indents {
        double first, rest, right;
    };
    Indents IndentsOf(const ParaFormat& pf) const;
    double NextTab(const ParaFormat& pf, double x) const;
    // Advances of text[0, n) in entry's font, one per UTF-16 unit (0 inside a cluster).
    void ComplexAdvances(FontEntry& entry, const char16_t* text, std::size_t n,
                         std::vector<double>& out);
    int ScaledHeight(const ParaFormat& pf, int height) const;
    // Draws chars (from start) at baseline y with each object placeholder in it drawn by
    // the object painter (or framed) in its cell.
    void DrawWithObjects(QPainter& painter, const Line& line, double left, double y, double ascent,
                         Pos start, const std::u16string& chars);

    const RichEditDocument& doc_;
    int dpi_;
    std::int32_t width_ = WrapOff;
    std::unordered_map<CharFormat, std::unique_ptr<FontEntry>, CharFormatHash> fonts_;
    std::vector<FontEntry*> byId_; // fast path by format id; entry 0 is checked on each use
    ObjectPainter objectPainter_;
    ObjectSizer objectSizer_;
    // The object at pos in pixels, or nullopt for a placeholder of its character's size.
    std::optional<QSizeF> ObjectPixels(Pos pos) const;
    // Gives the placeholders among text[0, n) (from pos) their objects' widths.
    void ObjectAdvances(Pos pos, const char16_t* text, std::size_t n,
                        std::vector<double>& out) const;
};
