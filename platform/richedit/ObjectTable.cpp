#include "platform/richedit/ObjectTable.h"

#include <algorithm>

namespace {

void LetGo(ObjectEntry& entry) {
    if (entry.object) {
        entry.object->Close(OLECLOSE_NOSAVE);
        // The object holds the site, and the site the control's interface: break that here.
        entry.object->SetClientSite(nullptr);
    }
    entry.object.Reset();
    entry.storage.Reset();
    entry.site.Reset();
}

} // namespace

std::int32_t ObjectTable::Add(ObjectEntry entry) {
    while (next_ <= 0 || entries_.count(next_) != 0) {
        next_ = next_ <= 0 ? 1 : next_ + 1; // ids are never 0, which means "no object"
    }
    const std::int32_t id = next_++;
    entries_.emplace(id, std::move(entry));
    return id;
}

ObjectEntry* ObjectTable::Find(std::int32_t id) {
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : &it->second;
}

const ObjectEntry* ObjectTable::Find(std::int32_t id) const {
    auto it = entries_.find(id);
    return it == entries_.end() ? nullptr : &it->second;
}

ObjectEntry* ObjectTable::FindBySite(const IOleClientSite* site) {
    for (auto& [id, entry] : entries_) {
        if (entry.site.Get() == site) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<std::int32_t> ObjectTable::Ids() const {
    std::vector<std::int32_t> ids;
    ids.reserve(entries_.size());
    for (const auto& [id, entry] : entries_) {
        ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

void ObjectTable::Release(std::int32_t id) {
    auto it = entries_.find(id);
    if (it == entries_.end()) {
        return;
    }
    // Out of the table first: the object's Close may call back into the control.
    ObjectEntry entry = std::move(it->second);
    entries_.erase(it);
    LetGo(entry);
}

void ObjectTable::ReleaseAll() {
    while (!entries_.empty()) {
        Release(entries_.begin()->first);
    }
}
