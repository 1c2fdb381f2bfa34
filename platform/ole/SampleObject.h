#pragma once
// A small embedded object of our own, for tests and demos: a framed box showing a text. It
// answers the container's interfaces (IOleObject, IPersistStorage, IViewObject) and records
// what the container asked of it, so tests can check the container's side.

#include "platform/ole/ComObject.h"

#include <string>
#include <vector>

struct SampleVerb {
    LONG number;
    std::u16string name;
    DWORD menuFlags;
    DWORD attributes;
};

inline constexpr char16_t SampleObjectClassName[] = u"Kelvor.SampleObject";
// {6B0E7A31-2C5D-4F1E-9A43-0D5E8C7B1F20}
inline constexpr CLSID CLSID_KelvorSampleObject{
    0x6B0E7A31, 0x2C5D, 0x4F1E, {0x9A, 0x43, 0x0D, 0x5E, 0x8C, 0x7B, 0x1F, 0x20}};
// The extent a new sample object has: 2 inches by half an inch, in HIMETRIC.
inline constexpr SIZEL SampleObjectDefaultExtent{5080, 1270};

// A new sample object (class name "Kelvor.SampleObject") with these verbs and this text;
// *object receives a reference. Its storage holds the text in a stream "CONTENTS".
HRESULT CreateSampleObject(std::vector<SampleVerb> verbs, std::u16string text, IOleObject** object);
// {0, u"&Edit", 0, OLEVERBATTRIB_ONCONTAINERMENU}, {1, u"&Open", 0, OLEVERBATTRIB_ONCONTAINERMENU}
std::vector<SampleVerb> DefaultSampleVerbs();
// Puts the sample class in the object class registry (done on first use of the registry).
void RegisterSampleObjectClass();

class SampleObject final : public ComObject<IOleObject, IPersistStorage, IViewObject> {
public:
    SampleObject(std::vector<SampleVerb> verbs, std::u16string text);

    // --- what tests look at --------------------------------------------------------------
    const std::vector<LONG>& VerbsDone() const { return verbsDone_; }
    HWND LastVerbWindow() const { return lastVerbWindow_; }
    const RECT& LastVerbRect() const { return lastVerbRect_; }
    IOleClientSite* LastVerbSite() const { return lastVerbSite_.Get(); }
    int CloseCount() const { return closeCount_; }
    DWORD LastCloseOption() const { return lastCloseOption_; }
    int DrawCount() const { return drawCount_; }
    IOleClientSite* ClientSite() const { return site_.Get(); }
    const std::u16string& Text() const { return text_; }
    void SetText(std::u16string text);
    bool Dirty() const { return dirty_; }
    // Makes EnumVerbs fail with E_FAIL, or DoVerb with hr (S_OK to work again).
    void FailEnumVerbs(bool fail) { failEnumVerbs_ = fail; }
    void FailDoVerb(HRESULT hr) { failDoVerb_ = hr; }

    // --- IOleObject ------------------------------------------------------------------------
    HRESULT SetClientSite(IOleClientSite* site) override;
    HRESULT GetClientSite(IOleClientSite** site) override;
    HRESULT Close(DWORD saveOption) override;
    HRESULT DoVerb(LONG verb, const MSG* msg, IOleClientSite* activeSite, LONG index, HWND parent,
                   const RECT* posRect) override;
    HRESULT EnumVerbs(IEnumOLEVERB** enumVerbs) override;
    HRESULT GetUserClassID(CLSID* clsid) override;
    HRESULT GetUserType(DWORD formOfType, LPOLESTR* userType) override;
    HRESULT SetExtent(DWORD aspect, const SIZEL* size) override;
    HRESULT GetExtent(DWORD aspect, SIZEL* size) override;

    // --- IPersistStorage -------------------------------------------------------------------
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT InitNew(IStorage* storage) override;
    HRESULT Load(IStorage* storage) override;
    HRESULT Save(IStorage* storage, BOOL sameAsLoad) override;

    // --- IViewObject -----------------------------------------------------------------------
    HRESULT Draw(DWORD aspect, HDC dc, const RECT* bounds) override;

protected:
    ~SampleObject() override;

private:
    std::vector<SampleVerb> verbs_;
    std::u16string text_;
    SIZEL extent_ = SampleObjectDefaultExtent;
    ComPtr<IOleClientSite> site_;
    std::vector<LONG> verbsDone_;
    HWND lastVerbWindow_ = nullptr;
    RECT lastVerbRect_{};
    ComPtr<IOleClientSite> lastVerbSite_;
    int closeCount_ = 0;
    DWORD lastCloseOption_ = 0;
    int drawCount_ = 0;
    bool dirty_ = false;
    bool failEnumVerbs_ = false;
    HRESULT failDoVerb_ = S_OK;
};

// The sample object behind object, or nullptr for other objects.
SampleObject* SampleObjectOf(IOleObject* object);
// Sample objects alive in this process (each one counts until its last Release).
int SampleObjectsAlive();
