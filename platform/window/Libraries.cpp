// Named stand-in libraries: loading runs the provider's load action once per first reference.
#include "platform/window/Window.h"

#include <map>

namespace {

struct Library {
    LibraryProvider provider;
    int references = 0;
    std::uintptr_t handle = 0;
};

std::map<std::string, Library>& Libraries() {
    static std::map<std::string, Library> libraries;
    return libraries;
}

std::string Upper(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

} // namespace

void RegisterLibraryProvider(const std::string& libraryName, LibraryProvider provider) {
    static std::uintptr_t nextHandle = 0x10000000;
    Library& library = Libraries()[Upper(libraryName)];
    library.provider = std::move(provider);
    if (!library.handle) {
        library.handle = nextHandle;
        nextHandle += 0x10000;
    }
}

HMODULE LoadLibrary(const std::string& libraryName) {
    // Library names are case-insensitive on the platform.
    auto it = Libraries().find(Upper(libraryName));
    if (it == Libraries().end()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Library& library = it->second;
    if (library.references++ == 0 && library.provider.load)
        library.provider.load();
    return reinterpret_cast<HMODULE>(library.handle);
}

BOOL FreeLibrary(HMODULE module) {
    for (auto& [name, library] : Libraries()) {
        if (reinterpret_cast<HMODULE>(library.handle) != module || library.references == 0)
            continue;
        if (--library.references == 0 && library.provider.unload)
            library.provider.unload();
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
