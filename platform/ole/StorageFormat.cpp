#include "platform/ole/StorageFormat.h"

#include <cstring>

namespace {

constexpr char Magic[8] = {'K', 'V', 'S', 'T', 'G', '\x01', '\r', '\n'};

void PutU32(StorageBytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(BYTE(v >> (8 * i)));
    }
}

void PutU64(StorageBytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(BYTE(v >> (8 * i)));
    }
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
    bool U32(std::uint32_t& v) {
        const BYTE* p = nullptr;
        if (!Take(4, p)) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= std::uint32_t(p[i]) << (8 * i);
        }
        return true;
    }
    bool U64(std::uint64_t& v) {
        const BYTE* p = nullptr;
        if (!Take(8, p)) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 8; ++i) {
            v |= std::uint64_t(p[i]) << (8 * i);
        }
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
    PutU32(out, std::uint32_t(elements.size()));
    for (const auto& [name, data] : elements) {
        PutU32(out, std::uint32_t(name.size()));
        for (char16_t c : name) {
            out.push_back(BYTE(c & 0xFF));
            out.push_back(BYTE(c >> 8));
        }
        PutU64(out, data->size());
        out.insert(out.end(), data->begin(), data->end());
    }
    return out;
}

std::optional<StorageElements> DecodeStorage(const StorageBytes& bytes) {
    Reader in(bytes);
    const BYTE* magic = nullptr;
    std::uint32_t count = 0;
    if (!in.Take(sizeof Magic, magic) || std::memcmp(magic, Magic, sizeof Magic) != 0 ||
        !in.U32(count)) {
        return std::nullopt;
    }
    StorageElements elements;
    for (std::uint32_t i = 0; i < count; ++i) {
        // Each entry takes at least 14 bytes, so a huge count fails here, not in a loop.
        std::uint32_t nameLength = 0;
        const BYTE* nameBytes = nullptr;
        if (in.Left() < 14 || !in.U32(nameLength) || nameLength == 0 ||
            nameLength > MaxElementName || !in.Take(std::size_t(nameLength) * 2, nameBytes)) {
            return std::nullopt;
        }
        std::u16string name;
        for (std::uint32_t k = 0; k < nameLength; ++k) {
            name.push_back(char16_t(nameBytes[2 * k] | nameBytes[2 * k + 1] << 8));
        }
        std::uint64_t size = 0;
        const BYTE* data = nullptr;
        if (!ValidElementName(name) || !in.U64(size) || size > in.Left() ||
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
