#include "platform/ole/ComObject.h"

#include <gtest/gtest.h>

namespace {

int destroyed = 0;

// An in-place frame answers for the interfaces it derives from, too.
class Frame final : public ComObject<IOleInPlaceFrame, IOleClientSite> {
public:
    HRESULT GetWindow(HWND* window) override {
        *window = nullptr;
        return S_OK;
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT SaveObject() override { return S_OK; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return S_OK; }

protected:
    ~Frame() override { ++destroyed; }
};

TEST(ComObjectTest, InterfacesShareOneCountAndOneIdentity) {
    destroyed = 0;
    Frame* frame = MakeComObject<Frame>();
    ComPtr<IOleInPlaceFrame> held = ComPtr<IOleInPlaceFrame>::Attach(frame);

    ComPtr<IOleWindow> window = held.As<IOleWindow>();
    ComPtr<IOleInPlaceUIWindow> ui = held.As<IOleInPlaceUIWindow>();
    ComPtr<IOleClientSite> site = held.As<IOleClientSite>();
    ASSERT_TRUE(window && ui && site);
    EXPECT_EQ(static_cast<IOleWindow*>(frame), window.Get());

    // IUnknown is the same pointer whichever interface it is asked through.
    ComPtr<IUnknown> a = window.As<IUnknown>();
    ComPtr<IUnknown> b = site.As<IUnknown>();
    EXPECT_EQ(a.Get(), b.Get());

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(frame->QueryInterface(IID_IStorage, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(frame->QueryInterface(IID_IOleObject, nullptr), E_POINTER);

    // Six references now (held, window, ui, site, a, b); the last Release frees it.
    EXPECT_EQ(frame->AddRef(), 7u);
    EXPECT_EQ(frame->Release(), 6u);
    a.Reset();
    b.Reset();
    window.Reset();
    ui.Reset();
    site.Reset();
    EXPECT_EQ(destroyed, 0);
    held.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(ComObjectTest, ComPtrCopiesAndHandsOutReferences) {
    destroyed = 0;
    {
        ComPtr<IOleClientSite> first = ComPtr<IOleClientSite>::Attach(MakeComObject<Frame>());
        ComPtr<IOleClientSite> copy = first;
        ComPtr<IOleClientSite> moved = std::move(copy);
        EXPECT_FALSE(copy);
        IOleClientSite* out = nullptr;
        moved.CopyTo(&out);
        ASSERT_EQ(out, first.Get());
        EXPECT_EQ(out->Release(), 2u); // first and moved
        moved = nullptr;
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ComObjectTest, TaskMemoryCopiesText) {
    EXPECT_EQ(CoTaskStrDup(nullptr), nullptr);
    LPOLESTR copy = CoTaskStrDup(u"verb \u00e9");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::u16string(copy), u"verb \u00e9");
    CoTaskMemFree(copy);
    LPOLESTR empty = CoTaskStrDup(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], u'\0');
    CoTaskMemFree(empty);
    CoTaskMemFree(nullptr); // freeing nothing is allowed
}

} // namespace
