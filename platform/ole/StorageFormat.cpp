#include "platform/ole/StorageFormat.h"

#include "platform/LittleEndian.h"

#include <cstring>

namespace {

constexpr char Magic[8] = {'K', 'V', 'S', 'T', 'G', '\x01', '\r', '\n'};

template <class T> void Put(StorageBytes& out, T v) {
    const std::size_t at = out.size();
    out.resize(at + sizeof(T));
    PutLittleEndian(out.data() + at, v);
}

class Reader {
public:
    explicit Reader(const StorageBytes& bytes) : bytes_(bytes) {}
    std::size_t Left() const { return bytes_.size() - at_; }
    bool Take(std::size_t n, const BYTE*& out) {
        if (n > Left()) {
            return false;
        }
        out = bytes_.data() + at_;
        at_ += n;
        return true;
    }
    template <class T> bool Number(T& v) {
        const BYTE* p = nullptr;
        if (!Take(sizeof(T), p)) {
            return false;
        }
        v = GetLittleEndian<T>(p);
        return true;
    }

private:
    const StorageBytes& bytes_;
    std::size_t at_ = 0;
};

} // namespace

bool ValidElementName(std::u16string_view name) {
    if (name.empty() || name.size() > MaxElementName) {
        return false;
    }
    return name.find_first_of(u"/\\:!") == std::u16string_view::npos;
}

StorageBytes EncodeStorage(const StorageElements& elements) {
    StorageBytes out(std::begin(Magic), std::end(Magic));
    Put(out, std::uint32_t(elements.size()));
    for (const auto& [name, data] : elements) {
        Put(out, std::uint32_t(name.size()));
        for (char16_t c : name) {
            Put(out, c);
        }
        Put(out, std::uint64_t(data->size()));
        out.insert(out.end(), data->begin(), data->end());
    }
    return out;
}

std::optional<StorageElements> DecodeStorage(const StorageBytes& bytes) {
    Reader in(bytes);
    const BYTE* magic = nullptr;
    std::uint32_t count = 0;
    if (!in.Take(sizeof Magic, magic) || std::memcmp(magic, Magic, sizeof Magic) != 0 ||
        !in.Number(count)) {
        return std::nullopt;
    }
    StorageElements elements;
    for (std::uint32_t i = 0; i < count; ++i) {
        // Each entry takes at least 14 bytes, so a huge count fails here, not in a loop.
        std::uint32_t nameLength = 0;
        const BYTE* nameBytes = nullptr;
        if (in.Left() < 14 || !in.Number(nameLength) || nameLength == 0 ||
            nameLength > MaxElementName || !in.Take(std::size_t(nameLength) * 2, nameBytes)) {
            return std::nullopt;
        }
        std::u16string name;
        for (std::uint32_t k = 0; k < nameLength; ++k) {
            name.push_back(GetLittleEndian<char16_t>(nameBytes + 2 * k));
        }
        std::uint64_t size = 0;
        const BYTE* data = nullptr;
        if (!ValidElementName(name) || !in.Number(size) || size > in.Left() ||
            !in.Take(std::size_t(size), data)) {
            return std::nullopt;
        }
        auto stored = std::make_shared<StorageBytes>(data, data + size);
        if (!elements.emplace(std::move(name), std::move(stored)).second) {
            return std::nullopt; // the same name twice
        }
    }
    if (in.Left() != 0) {
        return std::nullopt;
    }
    return elements;
}
