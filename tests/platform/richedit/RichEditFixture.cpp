#include "RichEditFixture.h"

#include <algorithm>
#include <cstring>

namespace {

RichEditTest* current = nullptr;

LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (current && msg == WM_COMMAND) {
        current->notes_.push_back({HIWORD(wParam)});
        if (HIWORD(wParam) == EN_CHANGE && current->onChange_) {
            current->onChange_();
        }
        return 0;
    }
    if (current && msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        Notification note{header->code};
        if (header->code == EN_SELCHANGE) {
            const auto* sc = reinterpret_cast<const SELCHANGE*>(lParam);
            note.range = sc->chrg;
            note.selectionType = sc->seltyp;
        } else if (header->code == EN_LINK) {
            const auto* link = reinterpret_cast<const ENLINK*>(lParam);
            note.range = link->chrg;
            note.triggeringMessage = link->msg;
            current->notes_.push_back(note);
            return current->linkAnswer_;
        } else if (header->code == EN_PROTECTED) {
            const auto* ep = reinterpret_cast<const ENPROTECTED*>(lParam);
            note.range = ep->chrg;
            note.triggeringMessage = ep->msg;
            current->notes_.push_back(note);
            return current->protectedAnswer_;
        }
        current->notes_.push_back(note);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

struct Transfer {
    std::string data;
    std::size_t pos = 0;
    LONG chunk;
    int failAfter;
    int calls = 0;
};

DWORD OutCallback(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* t = reinterpret_cast<Transfer*>(cookie);
    ++t->calls;
    if (t->failAfter > 0 && t->calls >= t->failAfter) {
        *pcb = 0;
        return 77;
    }
    const LONG take = std::min(cb, t->chunk);
    t->data.append(reinterpret_cast<const char*>(buffer), std::size_t(take));
    *pcb = take;
    return 0;
}

DWORD InCallback(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* t = reinterpret_cast<Transfer*>(cookie);
    ++t->calls;
    if (t->failAfter > 0 && t->calls >= t->failAfter) {
        *pcb = 0;
        return 77;
    }
    const auto n = LONG(
        std::min<std::size_t>({std::size_t(cb), std::size_t(t->chunk), t->data.size() - t->pos}));
    std::memcpy(buffer, t->data.data() + t->pos, std::size_t(n));
    t->pos += std::size_t(n);
    *pcb = n;
    return 0;
}

} // namespace

void RichEditTest::SetUp() {
    current = this;
    RegisterRichEditLibrary();
    ASSERT_NE(LoadLibrary(RICHEDIT_LIBRARY), nullptr);
    WNDCLASS parentClass;
    if (!GetClassInfo("RichEditTestParent", &parentClass)) {
        parentClass.lpszClassName = "RichEditTestParent";
        parentClass.lpfnWndProc = ParentProc;
        RegisterClass(parentClass);
    }
    parent_ = CreateWindowEx(0, "RichEditTestParent", u"", 0, 0, 0, 300, 200, nullptr, 0, nullptr,
                             nullptr);
    ASSERT_NE(parent_, nullptr);
    edit_ = CreateWindowEx(0, RICHEDIT_CLASSW, u"", WS_CHILD | WS_VSCROLL, 0, 0, 200, 100, parent_,
                           ControlId, nullptr, nullptr);
    ASSERT_NE(edit_, nullptr);
}

void RichEditTest::TearDown() {
    DestroyWindow(parent_);
    current = nullptr;
}

std::u16string RichEditTest::Text() {
    GETTEXTLENGTHEX lengthInfo{GTL_DEFAULT, CP_UNICODE};
    const auto length = Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthInfo));
    std::u16string text(std::size_t(length) + 1, u'\0');
    GETTEXTEX info{DWORD(text.size() * 2), GT_DEFAULT, CP_UNICODE, nullptr, nullptr};
    const auto copied = Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&info), text.data());
    text.resize(std::size_t(copied));
    return text;
}

std::u16string RichEditTest::Line(LONG line, WORD capacity, LRESULT* count) {
    std::u16string buffer(std::max<std::size_t>(capacity, 1), u'\xAAAA');
    buffer[0] = capacity;
    const LRESULT n = Send(EM_GETLINE, WPARAM(line), buffer.data());
    if (count) {
        *count = n;
    }
    return buffer.substr(0, std::size_t(n));
}

std::u16string RichEditTest::Range(LONG min, LONG max) {
    std::u16string buffer(std::size_t(std::abs(max - min)) + 1 + 4096, u'\0');
    TEXTRANGEW range{{min, max}, buffer.data()};
    const auto n = Send(EM_GETTEXTRANGE, 0, &range);
    return buffer.substr(0, std::size_t(n));
}

CHARFORMAT2W RichEditTest::CharFormat(WPARAM which, DWORD* mask) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    const auto m = Send(EM_GETCHARFORMAT, which, &cf);
    if (mask) {
        *mask = DWORD(m);
    }
    return cf;
}

bool RichEditTest::SetCharFormat(WPARAM which, DWORD mask, DWORD effects,
                                 const std::function<void(CHARFORMAT2W&)>& fill) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = mask;
    cf.dwEffects = effects;
    if (fill) {
        fill(cf);
    }
    return Send(EM_SETCHARFORMAT, which, &cf) != 0;
}

std::string RichEditTest::StreamOut(WPARAM flags, DWORD* error, LONG chunk, int failAfter,
                                    int* calls) {
    Transfer t{{}, 0, chunk, failAfter};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&t), 12345, OutCallback};
    const auto result = Send(EM_STREAMOUT, flags, &es);
    if (error) {
        *error = es.dwError;
    }
    if (calls) {
        *calls = t.calls;
    }
    EXPECT_EQ(std::size_t(result), t.data.size());
    return t.data;
}

LRESULT RichEditTest::StreamIn(WPARAM flags, const std::string& data, DWORD* error, LONG chunk,
                               int failAfter) {
    Transfer t{data, 0, chunk, failAfter};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&t), 12345, InCallback};
    const auto result = Send(EM_STREAMIN, flags, &es);
    if (error) {
        *error = es.dwError;
    }
    return result;
}

std::string Utf16Le(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}
