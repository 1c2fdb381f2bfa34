#include "framework/ClassRegistry.h"

#include "framework/SysUtils.h"

#include <utility>

void RegisterFrameworkClasses(TClassRegistry& Registry); // RegisterClasses.cpp

namespace {
// Tables queued and not yet taken, oldest first. On the heap behind a constant-initialised
// pointer, so a registrar in a unit initialised before this one finds it ready, and no unit's
// initialisation writes into another unit's globals.
constinit std::vector<TClassInfo>* gQueued = nullptr;
} // namespace

void TClassRegistry::Queue(TClassInfo Info) {
    if (!gQueued)
        gQueued = new std::vector<TClassInfo>;
    gQueued->push_back(std::move(Info));
}

TClassRegistry::TClassRegistry() {
    RegisterFrameworkClasses(*this);
}

TClassRegistry& TClassRegistry::Instance() {
    static TClassRegistry registry;
    registry.TakeQueued();
    return registry;
}

void TClassRegistry::TakeQueued() {
    if (!gQueued)
        return;
    const std::unique_ptr<std::vector<TClassInfo>> queued(std::exchange(gQueued, nullptr));
    for (TClassInfo& info : *queued)
        Register(std::move(info));
}

void TClassRegistry::Register(TClassInfo Info) {
    for (auto& existing : FClasses)
        if (SameText(existing->Name, Info.Name)) {
            *existing = std::move(Info);
            return;
        }
    FClasses.push_back(std::make_unique<TClassInfo>(std::move(Info)));
}

const TClassInfo* TClassRegistry::Find(const std::string& Name) const {
    for (const auto& info : FClasses)
        if (SameText(info->Name, Name))
            return info.get();
    return nullptr;
}

int TClassRegistry::Depth(const TClassInfo* Info) const {
    int depth = 0;
    for (const TClassInfo* c = Info; c && depth < 64; c = Find(c->ParentName))
        ++depth;
    return depth;
}

const TClassInfo* TClassRegistry::FindFor(const TPersistent* Object) const {
    if (!Object)
        return nullptr;
    if (const TClassInfo* own = Find(Object->ClassName()); own && own->IsInstance(Object))
        return own;
    // A class nobody registered (a form class of the program) uses its nearest ancestor's.
    const TClassInfo* best = nullptr;
    int bestDepth = -1;
    for (const auto& info : FClasses) {
        if (!info->IsInstance || !info->IsInstance(Object))
            continue;
        const int depth = Depth(info.get());
        if (depth > bestDepth) {
            best = info.get();
            bestDepth = depth;
        }
    }
    return best;
}

std::vector<const TPropInfo*> TClassRegistry::PropertiesOf(const TClassInfo* Info) const {
    std::vector<const TClassInfo*> chain;
    for (const TClassInfo* c = Info; c && chain.size() < 64; c = Find(c->ParentName))
        chain.push_back(c);
    std::vector<const TPropInfo*> props;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        for (const TPropInfo& p : (*it)->Properties) {
            bool replaced = false;
            for (auto& existing : props)
                if (SameText(existing->Name, p.Name)) {
                    existing = &p;
                    replaced = true;
                }
            if (!replaced)
                props.push_back(&p);
        }
    }
    return props;
}

const TPropInfo* TClassRegistry::FindProperty(const TClassInfo* Info,
                                              const std::string& Name) const {
    for (const TPropInfo* p : PropertiesOf(Info))
        if (SameText(p->Name, Name))
            return p;
    return nullptr;
}

namespace published {

TIdentMapping ColorIdents() {
    return {[](const std::string& name, long long& value) {
                TColor c = 0;
                if (!IdentToColor(name, c))
                    return false;
                value = c;
                return true;
            },
            [](long long value) {
                const std::string name = ColorToString(static_cast<TColor>(value));
                return name.empty() || name[0] == '$' ? std::string() : name;
            }};
}

TIdentMapping CursorIdents() {
    return {[](const std::string& name, long long& value) {
                TCursor c = 0;
                if (!IdentToCursor(name, c))
                    return false;
                value = c;
                return true;
            },
            [](long long value) {
                TCursor c = 0;
                const std::string name = CursorToIdent(static_cast<TCursor>(value));
                return IdentToCursor(name, c) ? name : std::string();
            }};
}

namespace {
const std::pair<int, const char*> kCharsets[] = {
    {0, "ANSI_CHARSET"},      {1, "DEFAULT_CHARSET"},    {2, "SYMBOL_CHARSET"},
    {77, "MAC_CHARSET"},      {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"},
    {130, "JOHAB_CHARSET"},   {134, "GB2312_CHARSET"},   {136, "CHINESEBIG5_CHARSET"},
    {161, "GREEK_CHARSET"},   {162, "TURKISH_CHARSET"},  {163, "VIETNAMESE_CHARSET"},
    {177, "HEBREW_CHARSET"},  {178, "ARABIC_CHARSET"},   {186, "BALTIC_CHARSET"},
    {204, "RUSSIAN_CHARSET"}, {222, "THAI_CHARSET"},     {238, "EASTEUROPE_CHARSET"},
    {255, "OEM_CHARSET"},
};
} // namespace

TIdentMapping CharsetIdents() {
    return {[](const std::string& name, long long& value) {
                for (const auto& [v, n] : kCharsets)
                    if (SameText(name, n)) {
                        value = v;
                        return true;
                    }
                return false;
            },
            [](long long value) {
                for (const auto& [v, n] : kCharsets)
                    if (v == value)
                        return std::string(n);
                return std::string();
            }};
}

} // namespace published
