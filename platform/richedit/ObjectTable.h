#pragma once
// The rich edit control's embedded objects, by the ids its document's placeholders carry.
// An entry holds the control's references to the object, its storage and its client site
// while a placeholder for it is in the text or the undo history keeps one for later.

#include "platform/ole/ComObject.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

struct ObjectEntry {
    ComPtr<IOleObject> object;
    ComPtr<IStorage> storage;
    ComPtr<IOleClientSite> site;
    CLSID clsid{};
    SIZEL size{}; // HIMETRIC
    DWORD aspect = DVASPECT_CONTENT;
    DWORD flags = 0;
    DWORD user = 0;
    bool inDocument = false; // a placeholder for it is in the text
};

class ObjectTable {
public:
    std::int32_t Add(ObjectEntry entry);
    ObjectEntry* Find(std::int32_t id);
    const ObjectEntry* Find(std::int32_t id) const;
    // The entry whose site is site, or nullptr.
    ObjectEntry* FindBySite(const IOleClientSite* site);
    bool Empty() const { return entries_.empty(); }
    std::vector<std::int32_t> Ids() const;
    // Takes the entry out of the table and lets go of its object: the object is closed
    // without saving and loses its site, then the references go.
    void Release(std::int32_t id);
    void ReleaseAll();

private:
    std::unordered_map<std::int32_t, ObjectEntry> entries_;
    std::int32_t next_ = 1;
};
