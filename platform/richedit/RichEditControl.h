#pragma once
// The rich edit control behind the window class "RICHEDIT20W": one object per window,
// holding the document and the control's settings. Dispatch routes each message group to
// its own handler; each message there is a line or two over the document's typed methods.
// While the window has a widget the control is also its view: it lays the document out at
// the window's width, paints the visible lines, scrolls and takes keyboard and mouse input,
// all through the window's messages.
//
// For the platform layer only (benchmarks and tests may reach the document through
// RichEditControlOf); everything above talks to the window with messages.

#include "platform/richedit/ObjectTable.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditDocument.h"
#include "platform/richedit/RichEditOle.h"
#include "platform/richedit/Streaming.h"
#include "platform/richedit/TextLayout.h"

#include <QPointer>
#include <memory>
#include <optional>

class QByteArray;
class QDropEvent;
class QPainter;
class QRectF;
class RichEditWidget;

class RichEditControl {
public:
    explicit RichEditControl(HWND hwnd, DWORD style);
    ~RichEditControl();
    RichEditControl(const RichEditControl&) = delete;
    RichEditControl& operator=(const RichEditControl&) = delete;

    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    RichEditDocument& Document() { return doc_; }
    const RichEditDocument& Document() const { return doc_; }
    HWND Window() const { return hwnd_; }
    bool RedrawEnabled() const { return redraw_; }
    bool WordWrap() const { return wordWrap_; }
    COLORREF BackgroundColor() const { return background_; }
    // The start of the first visible display line (the view's scroll anchor).
    std::int64_t TopPosition() const { return topPos_; }
    TextLayout* Layout() const { return layout_.get(); }

    // Text for embedded objects in textized output; the object support fills it in.
    StreamContext& Streaming() { return streaming_; }

    // --- embedded objects (ControlObjects.cpp), for the control's IRichEditOle -------------
    HRESULT OleInsertObject(REOBJECT* object);
    HRESULT OleGetObject(LONG iob, REOBJECT* object, DWORD flags);
    LONG OleObjectCount() const;
    // Inserts object at cp with a new storage (the callback's, else memory) that the object
    // is saved into, and a new client site.
    HRESULT InsertNewObject(IOleObject* object, LONG cp);
    // The object of site asks to be measured and drawn again.
    void ObjectLayoutChanged(IOleClientSite* site);
    // A drag of text or RTF over the view (drop false) or its drop; false when refused.
    bool DropEvent(QDropEvent* event, bool drop);

private:
    // Message groups; each returns nullopt for a message that is not its own.
    std::optional<LRESULT> SelectionMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> TextMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> LimitAndUndoMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> StreamMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> FormatMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> OptionMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> ObjectMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // --- embedded objects (ControlObjects.cpp) ----------------------------------------------
    // While a message or an interface call is under way, placeholders may come and go; when
    // the outermost one ends, the object table is brought in line with the document.
    class ObjectScope {
    public:
        explicit ObjectScope(RichEditControl& control) : control_(control) { ++control_.depth_; }
        ~ObjectScope();
        ObjectScope(const ObjectScope&) = delete;
        ObjectScope& operator=(const ObjectScope&) = delete;

    private:
        RichEditControl& control_;
    };
    LRESULT GetOleInterface(LPARAM lParam);
    LRESULT SetOleCallback(LPARAM lParam);
    // Tells the callback of objects that left the text (DeleteObject) and lets go of those
    // that neither the text nor the undo history holds.
    void SettleObjects();
    void ReleaseObjects(); // the window is going
    void ObjectContextMenu();
    // Asks the callback for the clipboard data of a copy or cut; true when it gave them.
    bool ClipboardFromCallback(const Selection& range, DWORD reco);
    std::int32_t EmbedFromRtf(const RtfObjectData& data, std::int64_t base);
    StreamContext StreamInContext(WPARAM flags);
    std::string ObjectRtf(std::int32_t id);
    std::u16string ObjectResultText(std::int32_t id);
    bool PaintObject(QPainter& painter, std::int64_t pos, const QRectF& cell);
    // Lays objects out at their extents and draws them through their IViewObject.
    void AttachObjects(TextLayout& layout);
    // The id of the single object the selection is, or 0.
    std::int32_t SelectedObject() const;
    WORD SelectionType() const;
    std::optional<LRESULT> ClipboardMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> ViewMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> ScrollMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> KeyMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> MouseMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> PrintMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // Asks the parent, as the control goes, whether the clipboard keeps our copy.
    void OfferClipboard();
    // Pastes RTF over the selection (objects in it go through the object callback); false
    // when it cannot be read.
    bool InsertRtf(const QByteArray& rtf);

    // --- operations the messages share --------------------------------------------------
    // Replaces the selection as a message would; false when the parent refused it.
    bool ReplaceSelection(std::u16string_view text, bool undoable, UINT msg, WPARAM wParam,
                          LPARAM lParam);
    void SetSelection(std::int64_t cpMin, std::int64_t cpMax);
    void SetAllText(std::u16string_view text); // WM_SETTEXT
    bool UndoOrRedo(bool redo);
    std::int64_t CaretLine() const;

    // --- notifications to the parent ----------------------------------------------------
    // The selection and text state before a change; After() sends what the change caused.
    struct Before {
        Selection selection;
        std::int64_t length;
        bool textChanged = false;
    };
    Before Snapshot() const { return {doc_.GetSelection(), doc_.Length()}; }
    // changedMin/changedMax bound the changed text; a negative end means "anywhere".
    void After(const Before& before, bool textChanged, std::int64_t changedMin = 0,
               std::int64_t changedMax = -1);
    // Marks the URLs of the paragraphs that hold [min, max] with the link effect.
    void DetectUrls(std::int64_t min, std::int64_t max);
    void NotifyCommand(UINT code);
    LRESULT NotifyParent(NMHDR& header, UINT code);
    // Asks the parent whether [min, max) may change; true when it may.
    bool ProtectedChangeAllowed(std::int64_t min, std::int64_t max, UINT msg, WPARAM wParam,
                                LPARAM lParam);

    // --- the view: layout, scrolling, painting (ControlView.cpp) ----------------------------
    using Pos = std::int64_t;
    struct LinePos {
        Pos para = 0;
        Pos sub = 0;
        bool operator==(const LinePos&) const = default;
    };
    void CreateView(const CREATESTRUCT* create);
    void TextReplaced(Pos pos, Pos removed, Pos inserted);
    void WidthChanged(); // the window's width or the wrap setting changed
    void ContinueRewrap();
    int TextLeft() const;  // where lines start: after the selection bar and a margin
    int TextWidth() const; // the width lines wrap at
    int ViewHeight() const;
    LinePos TopLine() const;
    LinePos LineOf(Pos pos) const;
    bool NextLine(LinePos& line) const;
    bool PreviousLine(LinePos& line) const;
    TextLayout::Line BuildLine(const LinePos& line) const;
    Pos ScrollLines(Pos delta);        // returns how many lines it moved
    LRESULT ScrollByCode(WPARAM code); // SB_LINEUP ... SB_PAGEDOWN, answered as EM_SCROLL
    void ScrollToThumb(int track);
    void ScrollToLine(const LinePos& line);
    void ScrollToShow(Pos pos);
    bool EndVisible() const;
    Pos VisibleLines() const; // whole lines that fit
    Pos PositionFromPoint(int x, int y) const;
    QRect CaretRect() const;
    void Paint(QPainter& painter, const QRect& area);
    void UpdateScrollBar();
    void Invalidate();
    void NotifyResize();

    // Prints (or measures) what fits of range.chrg into range.rc; the first position left.
    Pos FormatRange(FORMATRANGE& range, bool render);

    // --- input: keys, characters, mouse, cursor, links (ControlInput.cpp) -------------------
    // Moves the caret to pos, extending the selection from its anchor when extend is set.
    void MoveCaret(Pos pos, bool extend, bool keepGoal = false);
    Pos ActiveEnd() const;
    Pos PreviousWordStart(Pos at) const;
    Pos NextWordStart(Pos at) const;
    void KeyDown(WPARAM key, LPARAM lParam);
    // Where a navigation key puts the caret; nullopt for other keys.
    std::optional<Pos> CaretTarget(WPARAM key, bool shift, bool control);
    Pos LineMoveTarget(Pos caret, Pos count); // count display lines down (up when negative)
    bool EditKey(WPARAM key, bool shift, bool control, LPARAM lParam);
    void TypeChar(char16_t c, LPARAM lParam);
    void DeleteAround(bool forward, WPARAM key, LPARAM lParam);
    // Sends EN_LINK when the point is over link text; true when the parent took the message.
    bool LinkNotification(UINT msg, WPARAM wParam, LPARAM lParam, int x, int y);
    bool InSelectionBar(int x) const;
    Selection WholeLine(Pos pos) const;
    LRESULT SetCursorFor(int x, int y); // client coordinates
    void ButtonDown(bool twice, bool shift, int x, int y);
    void DragTo(int x, int y);
    bool ReadOnly() const { return (options_ & ECO_READONLY) != 0; }
    void SetReadOnly(bool readOnly);

    HWND hwnd_;
    RichEditDocument doc_;
    DWORD eventMask_ = 0;
    DWORD options_ = 0;
    DWORD langOptions_ = IMF_AUTOFONT;
    COLORREF background_ = 0x00FFFFFF;
    bool systemBackground_ = true;
    bool autoUrlDetect_ = false;
    bool hideSelection_ = true;
    bool redraw_ = true;
    bool wordWrap_ = true;
    StreamContext streaming_;

    std::unique_ptr<TextLayout> layout_;      // the screen's, while the window has a widget
    std::unique_ptr<TextLayout> printLayout_; // kept between the pages of a print job
    QPointer<RichEditWidget> widget_;
    bool scrollBarAlways_ = false;
    Pos topPos_ = 0;
    Pos anchor_ = 0;    // the fixed end of the selection
    double goalX_ = -1; // the column up and down keep to
    bool focused_ = false;
    bool caretOn_ = false;
    enum class Drag { None, Text, Bar } drag_ = Drag::None;
    Pos dragStart_ = 0;
    Pos reportedHeight_ = -1;

    ObjectTable objectTable_;
    ComPtr<ControlOle> ole_;
    ComPtr<IRichEditOleCallback> callback_;
    ComPtr<IDataObject> clipboardData_; // what the callback gave for the last copy or cut
    int depth_ = 0;
    bool settling_ = false;
};

// The control of a "RICHEDIT20W" window, or nullptr.
RichEditControl* RichEditControlOf(HWND hwnd);
