// FNV-1a over an object's bytes: the hash of the layer's cache keys, plain
// structs whose padding is zero and that compare byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

template <typename Key>
struct ByteHash {
    static_assert(std::is_trivially_copyable_v<Key>);

    size_t operator()(const Key& key) const
    {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&key);
        uint64_t hash = 1469598103934665603ull;
        for (size_t i = 0; i < sizeof key; ++i) {
            hash ^= bytes[i];
            hash *= 1099511628211ull;
        }
        return static_cast<size_t>(hash);
    }
};
