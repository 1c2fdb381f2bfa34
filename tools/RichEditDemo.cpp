// Shows a rich edit window with the formats the monitor's view uses, built only with the
// control's messages, for a look at the rendering and for the documentation's screenshot.
//
// Usage: kelvor-richedit-demo [--screenshot FILE.png]
// With --screenshot the program saves the window as it appears once shown, then quits
// (exit code 1 when the picture could not be taken or saved).

#include "platform/richedit/RichEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <string>

namespace {

constexpr int EditWidth = 700;
constexpr int EditHeight = 400;
constexpr int Border = 10;

// The view's parent takes link notifications and lets the control go on (no browser here).
LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == EN_LINK) {
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, const void* lParam) {
    return SendMessage(hwnd, msg, wParam, reinterpret_cast<LPARAM>(lParam));
}

// Sets format fields on [min, max) through the selection, as a caller of the control does.
void Format(HWND edit, LONG min, LONG max, DWORD mask, DWORD effects,
            void (*fill)(CHARFORMAT2W&) = nullptr) {
    CHARRANGE range{min, max};
    Send(edit, EM_EXSETSEL, 0, &range);
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = mask;
    cf.dwEffects = effects;
    if (fill) {
        fill(cf);
    }
    Send(edit, EM_SETCHARFORMAT, SCF_SELECTION, &cf);
}

void SetFace(CHARFORMAT2W& cf, std::u16string_view face) {
    face.copy(cf.szFaceName, LF_FACESIZE - 1);
}

// Where needle starts in text (it is always there: the text is ours).
LONG Find(const std::u16string& text, std::u16string_view needle) {
    return LONG(text.find(needle));
}

std::u16string Bits(int count, unsigned seed) {
    std::u16string bits;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        bits += (seed >> 16) & 1 ? u'1' : u'0';
    }
    return bits;
}

void FillView(HWND edit) {
    const std::u16string heading = u"Station 7 bit stream";
    const std::u16string styles = u"Formats: italic, underlined, red, marked, struck out, "
                                  u"210 = 1024 bits per block.";
    const std::u16string link = u"http://127.0.0.1/help";
    const std::u16string help = u"Help for this view: " + link;
    std::u16string text = heading + u"\r" + styles + u"\r" + help;
    const LONG bitsStart = LONG(text.size()) + 1;
    const int lengths[] = {256, 96, 200, 160};
    unsigned seed = 7;
    for (int length : lengths) {
        text += u"\r" + Bits(length, seed++);
    }
    CHARRANGE all{0, -1};
    Send(edit, EM_EXSETSEL, 0, &all);
    Send(edit, EM_REPLACESEL, 0, text.c_str());

    const auto heading0 = Find(text, heading);
    Format(edit, heading0, heading0 + LONG(heading.size()), CFM_BOLD | CFM_SIZE, CFE_BOLD,
           [](CHARFORMAT2W& cf) { cf.yHeight = 320; });
    const auto at = [&](std::u16string_view word) { return Find(text, word); };
    const auto end = [&](std::u16string_view word) { return Find(text, word) + LONG(word.size()); };
    Format(edit, at(u"italic"), end(u"italic"), CFM_ITALIC, CFE_ITALIC);
    Format(edit, at(u"underlined"), end(u"underlined"), CFM_UNDERLINE, CFE_UNDERLINE);
    Format(edit, at(u"red,"), at(u"red,") + 3, CFM_COLOR, 0,
           [](CHARFORMAT2W& cf) { cf.crTextColor = RGB(200, 0, 0); });
    Format(edit, at(u"marked"), end(u"marked"), CFM_BACKCOLOR, 0,
           [](CHARFORMAT2W& cf) { cf.crBackColor = RGB(255, 255, 0); });
    Format(edit, at(u"struck out"), end(u"struck out"), CFM_STRIKEOUT, CFE_STRIKEOUT);
    const LONG power = at(u"210 = 1024") + 1; // 2 to the 10
    Format(edit, power, power + 2, CFM_SUPERSCRIPT, CFE_SUPERSCRIPT);
    Format(edit, at(link), end(link), CFM_LINK, CFE_LINK);
    // The bit lines in the monitor's terminal font.
    Format(edit, bitsStart, LONG(text.size()), CFM_FACE | CFM_SIZE, 0, [](CHARFORMAT2W& cf) {
        SetFace(cf, u"Kelvor32 Teminal 0");
        cf.yHeight = 195;
    });

    // A selection from the middle of the first bit line's first row into its second row.
    CHARRANGE selection{bitsStart + 40, bitsStart + 130};
    Send(edit, EM_EXSETSEL, 0, &selection);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--screenshot" && i + 1 < argc) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--screenshot FILE.png]\n", argv[0]);
            return 2;
        }
    }

    RegisterRichEditLibrary();
    if (!LoadLibrary(RICHEDIT_LIBRARY)) {
        std::fprintf(stderr, "cannot load %s\n", RICHEDIT_LIBRARY);
        return 1;
    }
    WNDCLASS frameClass;
    frameClass.lpszClassName = "KelvorRichEditDemoFrame";
    frameClass.lpfnWndProc = FrameProc;
    RegisterClass(frameClass);
    HWND frame = CreateWindowEx(0, frameClass.lpszClassName, u"Rich edit view", 0, 0, 0,
                                EditWidth + 2 * Border, EditHeight + 2 * Border, nullptr, 0,
                                nullptr, nullptr);
    // The frame is only a parent for the view; a plain widget shows it (the window owns it).
    auto* frameWidget = new QWidget;
    frameWidget->setWindowTitle("Rich edit view");
    frameWidget->setFixedSize(EditWidth + 2 * Border, EditHeight + 2 * Border);
    SetWindowWidget(frame, frameWidget);

    HWND edit = CreateWindowEx(0, RICHEDIT_CLASSW, u"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE |
                                   ES_DISABLENOSCROLL | ES_SELECTIONBAR,
                               Border, Border, EditWidth, EditHeight, frame, 1, nullptr, nullptr);
    if (!edit) {
        std::fprintf(stderr, "cannot create the %s window\n", RICHEDIT_CLASSW);
        return 1;
    }
    SendMessage(edit, EM_SETBKGNDCOLOR, 0, LPARAM(RGB(192, 192, 192)));
    SendMessage(edit, EM_SETOPTIONS, ECOOP_OR, LPARAM(ECO_SELECTIONBAR));
    SendMessage(edit, EM_SETEVENTMASK, 0, LPARAM(ENM_LINK));
    FillView(edit);

    ShowWindow(frame, SW_SHOW);
    frameWidget->activateWindow();
    SetFocus(edit);
    if (screenshot.isEmpty()) {
        return app.exec();
    }

    // Wait until the window is on screen, has focus (the selection shows only then) and has
    // been painted, then take its picture.
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    int result = 1;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const bool exposed =
            frameWidget->windowHandle() && frameWidget->windowHandle()->isExposed();
        if (!(exposed && GetFocus() == edit) && waited.elapsed() < 5000) {
            SetFocus(edit);
            return;
        }
        if (GetFocus() != edit) {
            std::fprintf(stderr, "the view did not get the focus; the selection is not shown\n");
        }
        poll.stop();
        QTimer::singleShot(300, [&] {
            const QPixmap picture = frameWidget->grab();
            result = !picture.isNull() && picture.save(screenshot) ? 0 : 1;
            if (result) {
                std::fprintf(stderr, "cannot save %s\n", qPrintable(screenshot));
            }
            app.quit();
        });
    });
    poll.start(50);
    app.exec();
    DestroyWindow(frame);
    return result;
}
