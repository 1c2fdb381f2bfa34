#pragma once
// The bytes a committed storage leaves in its lock bytes, in a format of our own:
//
//   "KVSTG\x01\r\n"                       8 bytes of magic
//   count                                  u32, little endian
//   count times: name length (UTF-16 units, 1..31), u32
//                name, UTF-16 little endian
//                data length, u64
//                data
//
// Nothing may follow the last entry. Decoding checks every length against what is left, so
// damaged bytes are refused, never read past.

#include "platform/ole/Ole.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using StorageBytes = std::vector<BYTE>;
// A storage's streams by name, each shared with the streams opened on it.
using StorageElements = std::map<std::u16string, std::shared_ptr<StorageBytes>>;

inline constexpr std::size_t MaxElementName = 31;

// Whether name can name an element (1 to 31 units, none of them '/', '\\', ':' or '!').
bool ValidElementName(std::u16string_view name);
StorageBytes EncodeStorage(const StorageElements& elements);
// nullopt for bytes that are not a storage of ours.
std::optional<StorageElements> DecodeStorage(const StorageBytes& bytes);
