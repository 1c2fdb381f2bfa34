#include "platform/ole/SampleObject.h"

#include "platform/ole/ObjectClasses.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

ComPtr<IOleObject> NewSample(std::u16string text = u"caption",
                             std::vector<SampleVerb> verbs = DefaultSampleVerbs()) {
    ComPtr<IOleObject> object;
    EXPECT_EQ(CreateSampleObject(std::move(verbs), std::move(text), object.Put()), S_OK);
    return object;
}

ComPtr<IStorage> NewStorage(ComPtr<ILockBytes>* keep = nullptr) {
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage;
    EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put()), S_OK);
    EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes.Get(),
                                           STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                           storage.Put()),
              S_OK);
    if (keep) {
        *keep = bytes;
    }
    return storage;
}

struct Verb {
    LONG number;
    std::u16string name;
    DWORD attributes;
    bool operator==(const Verb&) const = default;
};

// Takes n verbs from e, freeing their names as a container must.
std::vector<Verb> Take(IEnumOLEVERB* e, ULONG n, HRESULT* hr = nullptr) {
    std::vector<OLEVERB> raw(n);
    ULONG fetched = 0;
    const HRESULT result = e->Next(n, raw.data(), &fetched);
    if (hr) {
        *hr = result;
    }
    std::vector<Verb> out;
    for (ULONG i = 0; i < fetched; ++i) {
        out.push_back({raw[i].lVerb, raw[i].lpszVerbName, raw[i].grfAttribs});
        CoTaskMemFree(raw[i].lpszVerbName);
    }
    return out;
}

// A client site that counts what the object asks of it.
class CountingSite final : public ComObject<IOleClientSite> {
public:
    int saves = 0;
    int layouts = 0;
    HRESULT SaveObject() override {
        ++saves;
        return S_OK;
    }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override {
        ++layouts;
        return S_OK;
    }
};

TEST(SampleObjectTest, VerbsAreEnumeratedInTurnWithTaskMemoryNames) {
    ComPtr<IOleObject> object = NewSample();
    ComPtr<IEnumOLEVERB> verbs;
    ASSERT_EQ(object->EnumVerbs(verbs.Put()), S_OK);
    EXPECT_EQ(Take(verbs.Get(), 1), (std::vector<Verb>{{0, u"&Edit", 2}}));
    ComPtr<IEnumOLEVERB> clone;
    ASSERT_EQ(verbs->Clone(clone.Put()), S_OK);
    HRESULT hr = S_OK;
    // Asking for more than are left gives what is left and S_FALSE.
    EXPECT_EQ(Take(verbs.Get(), 5, &hr), (std::vector<Verb>{{1, u"&Open", 2}}));
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_TRUE(Take(verbs.Get(), 1, &hr).empty());
    EXPECT_EQ(hr, S_FALSE);
    // The clone kept its own place.
    EXPECT_EQ(Take(clone.Get(), 1, &hr), (std::vector<Verb>{{1, u"&Open", 2}}));
    EXPECT_EQ(hr, S_OK);
    ASSERT_EQ(verbs->Reset(), S_OK);
    EXPECT_EQ(verbs->Skip(1), S_OK);
    EXPECT_EQ(verbs->Skip(2), S_FALSE);
    ASSERT_EQ(verbs->Reset(), S_OK);
    EXPECT_EQ(Take(verbs.Get(), 2).size(), 2u);
    OLEVERB two[2];
    EXPECT_EQ(verbs->Next(2, two, nullptr), E_POINTER); // a count is needed for more than one
}

TEST(SampleObjectTest, VerbEnumerationCanFailOrHaveNothing) {
    ComPtr<IOleObject> object = NewSample(u"x", {});
    IEnumOLEVERB* verbs = reinterpret_cast<IEnumOLEVERB*>(1);
    EXPECT_EQ(object->EnumVerbs(&verbs), OLEOBJ_E_NOVERBS);
    EXPECT_EQ(verbs, nullptr);
    ComPtr<IOleObject> failing = NewSample();
    SampleObjectOf(failing.Get())->FailEnumVerbs(true);
    EXPECT_EQ(failing->EnumVerbs(&verbs), E_FAIL);
    EXPECT_EQ(verbs, nullptr);
    SampleObjectOf(failing.Get())->FailEnumVerbs(false);
    ComPtr<IEnumOLEVERB> fine;
    EXPECT_EQ(failing->EnumVerbs(fine.Put()), S_OK);
}

TEST(SampleObjectTest, DoVerbRecordsEachCallAndFollowsTheVerbRules) {
    std::vector<SampleVerb> verbs = DefaultSampleVerbs();
    verbs.push_back({7, u"&Play", 0, 0});
    ComPtr<IOleObject> object = NewSample(u"x", verbs);
    SampleObject* sample = SampleObjectOf(object.Get());
    ASSERT_NE(sample, nullptr);
    CountingSite* site = MakeComObject<CountingSite>();
    const RECT rect{1, 2, 30, 40};
    const HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(object->DoVerb(7, nullptr, site, 0, window, &rect), S_OK);
    EXPECT_EQ(sample->LastVerbWindow(), window);
    EXPECT_EQ(sample->LastVerbRect().right, 30);
    EXPECT_EQ(sample->LastVerbSite(), site);
    EXPECT_EQ(object->DoVerb(OLEIVERB_PRIMARY, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(sample->LastVerbSite(), nullptr);
    // An unlisted positive verb runs as the primary one; an unknown negative one is refused.
    EXPECT_EQ(object->DoVerb(3, nullptr, nullptr, 0, nullptr, nullptr), OLEOBJ_S_INVALIDVERB);
    EXPECT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr),
              E_NOTIMPL);
    sample->FailDoVerb(STG_E_ACCESSDENIED);
    EXPECT_EQ(object->DoVerb(1, nullptr, nullptr, 0, nullptr, nullptr), STG_E_ACCESSDENIED);
    EXPECT_EQ(sample->VerbsDone(), (std::vector<LONG>{7, 0, 3, -1, -5, 1}));
    site->Release();
}

TEST(SampleObjectTest, UserTypeExtentAndClass) {
    ComPtr<IOleObject> object = NewSample();
    LPOLESTR type = nullptr;
    ASSERT_EQ(object->GetUserType(USERCLASSTYPE_SHORT, &type), S_OK);
    EXPECT_EQ(std::u16string(type), u"Sample Object");
    CoTaskMemFree(type);
    ASSERT_EQ(object->GetUserType(USERCLASSTYPE_FULL, &type), S_OK);
    EXPECT_EQ(std::u16string(type), u"Kelvor Sample Object");
    CoTaskMemFree(type);

    SIZEL size{};
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, SampleObjectDefaultExtent.cx);
    EXPECT_EQ(size.cy, SampleObjectDefaultExtent.cy);
    const SIZEL bigger{3000, 2000};
    ASSERT_EQ(object->SetExtent(DVASPECT_CONTENT, &bigger), S_OK);
    const SIZEL empty{0, 100};
    EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &empty), E_INVALIDARG);
    EXPECT_EQ(object->SetExtent(4, &bigger), DV_E_DVASPECT);
    ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(size.cx, 3000);

    CLSID clsid{};
    ASSERT_EQ(object->GetUserClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_KelvorSampleObject);
}

TEST(SampleObjectTest, SavedObjectsComeBackThroughTheClassRegistry) {
    ComPtr<IOleObject> object = NewSample(u"caption \u00e9\u4e00");
    const SIZEL size{4000, 900};
    object->SetExtent(DVASPECT_CONTENT, &size);
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage = NewStorage(&bytes);
    ASSERT_EQ(object.As<IPersistStorage>()->Save(storage.Get(), FALSE), S_OK);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);

    // The text is in CONTENTS, as UTF-16.
    ComPtr<IStream> contents;
    ASSERT_EQ(storage->OpenStream(u"CONTENTS", STGM_READ, contents.Put()), S_OK);
    char16_t text[16] = {};
    ULONG read = 0;
    contents->Read(text, sizeof text, &read);
    EXPECT_EQ(std::u16string(text, read / 2), u"caption \u00e9\u4e00");

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"kelvor.sampleobject", &clsid), S_OK); // case does not matter
    ComPtr<IStorage> reopened;
    ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.Get(), STGM_READ, reopened.Put()), S_OK);
    ComPtr<IOleObject> copy;
    ASSERT_EQ(CreateObjectFromStorage(clsid, reopened.Get(), copy.Put()), S_OK);
    ASSERT_NE(SampleObjectOf(copy.Get()), nullptr);
    EXPECT_EQ(SampleObjectOf(copy.Get())->Text(), u"caption \u00e9\u4e00");
    SIZEL copied{};
    copy->GetExtent(DVASPECT_CONTENT, &copied);
    EXPECT_EQ(copied.cx, 4000);
    EXPECT_EQ(copied.cy, 900);
}

TEST(SampleObjectTest, LoadingRefusesMissingOrDamagedContents) {
    ComPtr<IStorage> empty = NewStorage();
    ComPtr<IOleObject> object;
    EXPECT_EQ(CreateObjectFromStorage(CLSID_KelvorSampleObject, empty.Get(), object.Put()),
              STG_E_FILENOTFOUND);
    EXPECT_FALSE(object);
    ComPtr<IStream> stream;
    ASSERT_EQ(empty->CreateStream(u"CONTENTS", STGM_READWRITE, stream.Put()), S_OK);
    stream->Write("abc", 3, nullptr); // half a character
    EXPECT_EQ(CreateObjectFromStorage(CLSID_KelvorSampleObject, empty.Get(), object.Put()),
              STG_E_INVALIDHEADER);
    EXPECT_FALSE(object);
}

TEST(SampleObjectTest, RegistryKnowsClassesByNameAndId) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"Nobody.Registered", &clsid), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(clsid, CLSID_NULL);
    LPOLESTR name = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_KelvorSampleObject, &name), S_OK);
    EXPECT_EQ(std::u16string(name), u"Kelvor.SampleObject");
    CoTaskMemFree(name);

    const CLSID other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    int made = 0;
    ASSERT_EQ(RegisterObjectClass(u"Test.Other", other,
                                  [&made](IOleObject** object) {
                                      ++made;
                                      return CreateSampleObject({}, u"other", object);
                                  }),
              S_OK);
    ASSERT_EQ(CLSIDFromProgID(u"Test.Other", &clsid), S_OK);
    EXPECT_EQ(clsid, other);
    ComPtr<IOleObject> saved = NewSample(u"loaded");
    ComPtr<IStorage> storage = NewStorage();
    saved.As<IPersistStorage>()->Save(storage.Get(), FALSE);
    ComPtr<IOleObject> object;
    ASSERT_EQ(CreateObjectFromStorage(other, storage.Get(), object.Put()), S_OK);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(SampleObjectOf(object.Get())->Text(), u"loaded");
    EXPECT_EQ(UnregisterObjectClass(u"test.other"), S_OK);
    EXPECT_EQ(UnregisterObjectClass(u"Test.Other"), S_FALSE);
    EXPECT_EQ(CreateObjectFromStorage(other, storage.Get(), object.Put()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(RegisterObjectClass(u"", other, [](IOleObject**) { return E_FAIL; }), E_INVALIDARG);
}

TEST(SampleObjectTest, LiveCountCloseAndSite) {
    const int before = SampleObjectsAlive();
    {
        ComPtr<IOleObject> object = NewSample();
        EXPECT_EQ(SampleObjectsAlive(), before + 1);
        CountingSite* site = MakeComObject<CountingSite>();
        ASSERT_EQ(object->SetClientSite(site), S_OK);
        ComPtr<IOleClientSite> back;
        ASSERT_EQ(object->GetClientSite(back.Put()), S_OK);
        EXPECT_EQ(back.Get(), site);
        SampleObject* sample = SampleObjectOf(object.Get());
        sample->SetText(u"changed");
        EXPECT_EQ(site->layouts, 1);
        // Saving when closed is asked for and the object is dirty.
        EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
        EXPECT_EQ(site->saves, 0);
        EXPECT_EQ(object->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
        EXPECT_EQ(site->saves, 1);
        EXPECT_EQ(sample->CloseCount(), 2);
        EXPECT_EQ(sample->LastCloseOption(), OLECLOSE_SAVEIFDIRTY);
        object->SetClientSite(nullptr);
        back.Reset();
        EXPECT_EQ(site->Release(), 0u); // the object let go of its site
    }
    EXPECT_EQ(SampleObjectsAlive(), before);
    EXPECT_EQ(SampleObjectOf(nullptr), nullptr);
}

TEST(SampleObjectTest, DrawsAFramedBoxWithinItsBounds) {
    QImage image(120, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    ComPtr<IOleObject> object = NewSample(u"WWWW");
    ComPtr<IViewObject> view = object.As<IViewObject>();
    ASSERT_TRUE(view);
    {
        QPainter painter(&image);
        HDC dc = CreateDeviceContext(&painter);
        const RECT bounds{10, 10, 90, 40};
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, dc, &bounds), S_OK);
        EXPECT_EQ(view->Draw(4, dc, &bounds), DV_E_DVASPECT);
        EXPECT_EQ(view->Draw(DVASPECT_CONTENT, dc, nullptr), E_INVALIDARG);
        DeleteDC(dc);
    }
    EXPECT_NE(image.pixel(10, 10), QColor(Qt::white).rgb()); // the frame's corner
    EXPECT_NE(image.pixel(50, 12), QColor(Qt::white).rgb()); // the box's fill
    EXPECT_EQ(image.pixel(95, 45), QColor(Qt::white).rgb()); // nothing outside
    EXPECT_EQ(image.pixel(5, 5), QColor(Qt::white).rgb());
    int dark = 0; // the text's pixels
    for (int y = 12; y < 38; ++y) {
        for (int x = 12; x < 88; ++x) {
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 10);
    // A context that only measures draws nothing and is no error.
    HDC measuring = CreateDeviceContext(nullptr);
    const RECT bounds{0, 0, 10, 10};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, measuring, &bounds), S_OK);
    DeleteDC(measuring);
    EXPECT_EQ(SampleObjectOf(object.Get())->DrawCount(), 2);
}

} // namespace
