#pragma once
// A rich edit window under a parent that records the notifications it receives, and
// helpers that speak to the control only through messages.

#include "platform/richedit/RichEdit.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

struct Notification {
    UINT code;
    CHARRANGE range{}; // EN_SELCHANGE, EN_PROTECTED, EN_LINK
    WORD selectionType = 0;
    UINT triggeringMessage = 0; // EN_PROTECTED, EN_LINK
};

class RichEditTest : public ::testing::Test {
protected:
    static constexpr UINT_PTR ControlId = 7;

    void SetUp() override;
    void TearDown() override;

    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessage(edit_, msg, wParam, lParam);
    }
    template <typename T> LRESULT Send(UINT msg, WPARAM wParam, T* pointer) {
        return SendMessage(edit_, msg, wParam, reinterpret_cast<LPARAM>(pointer));
    }

    void SetText(const std::u16string& text) { Send(WM_SETTEXT, 0, text.c_str()); }
    LRESULT Select(LONG min, LONG max) {
        CHARRANGE range{min, max};
        return Send(EM_EXSETSEL, 0, &range);
    }
    CHARRANGE Selection() {
        CHARRANGE range{};
        Send(EM_EXGETSEL, 0, &range);
        return range;
    }
    void Replace(const std::u16string& text, bool undoable = false) {
        Send(EM_REPLACESEL, undoable ? 1 : 0, text.c_str());
    }
    // Select the end, replace with text and a CR, as the line list's Add does.
    void AppendLine(const std::u16string& text) {
        Select(-1, -1);
        Replace(text + u"\r");
    }
    std::u16string Text();
    LRESULT LineCount() { return Send(EM_GETLINECOUNT); }
    LRESULT LineIndex(LONG line) { return Send(EM_LINEINDEX, WPARAM(line)); }
    LRESULT LineLength(LONG pos) { return Send(EM_LINELENGTH, WPARAM(pos)); }
    std::u16string Line(LONG line, WORD capacity = 4096, LRESULT* count = nullptr);
    std::u16string Range(LONG min, LONG max);

    CHARFORMAT2W CharFormat(WPARAM which, DWORD* mask = nullptr);
    bool SetCharFormat(WPARAM which, DWORD mask, DWORD effects,
                       const std::function<void(CHARFORMAT2W&)>& fill = {});

    // Streams out with the given flags through callbacks of at most chunk bytes each;
    // failAfter > 0 makes the callback fail (with 77) on that call.
    std::string StreamOut(WPARAM flags, DWORD* error = nullptr, LONG chunk = 1 << 30,
                          int failAfter = 0, int* calls = nullptr);
    // Streams data in, handing out at most chunk bytes per call.
    LRESULT StreamIn(WPARAM flags, const std::string& data, DWORD* error = nullptr,
                     LONG chunk = 1 << 30, int failAfter = 0);

public:
    // What the parent window saw and how it answers; its window procedure fills these.
    std::vector<Notification> notes_;
    LRESULT protectedAnswer_ = 0;
    LRESULT linkAnswer_ = 0;
    std::function<void()> onChange_;

protected:
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

std::string Utf16Le(const std::u16string& text);
