// One block of memory that a device lends to one borrower at a time. Large
// static buffers need a copy of their contents only while they are filled
// (or read back once to share their vertices); taking turns in one block,
// instead of each taking fresh memory from the heap, saves a page fault for
// every 4 KiB of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

class StagingBlock {
public:
    // A block of at least `bytes`, or null while it is lent out or memory is
    // short: the caller then allocates its own.
    uint8_t* borrow(size_t bytes)
    {
        if (lent) return nullptr;
        if (size < bytes) {
            block.reset(new (std::nothrow) uint8_t[bytes]);
            size = block ? bytes : 0;
            if (!block) return nullptr;
        }
        lent = true;
        return block.get();
    }

    // Whether `memory` is this block; if so it is given back.
    bool giveBack(const uint8_t* memory)
    {
        if (memory == nullptr || memory != block.get()) return false;
        lent = false;
        return true;
    }

private:
    std::unique_ptr<uint8_t[]> block;
    size_t size = 0;
    bool lent = false;
};

// A resource's system-memory copy: the device's staging block when the copy
// is short-lived and the block is free, otherwise memory of its own.
class StagedCopy {
public:
    // A copy of `bytes` with undefined contents, in `staging` when given
    // and free; null when memory is short.
    uint8_t* make(size_t bytes, StagingBlock* staging)
    {
        memory = staging != nullptr ? staging->borrow(bytes) : nullptr;
        if (memory == nullptr) {
            own.reset(new (std::nothrow) uint8_t[bytes]);
            memory = own.get();
        }
        return memory;
    }

    // Lets go of the copy (giving the staging block back if it was that).
    void drop(StagingBlock& staging)
    {
        if (!staging.giveBack(memory)) own.reset();
        memory = nullptr;
    }

    uint8_t* get() const { return memory; }

private:
    uint8_t* memory = nullptr;
    std::unique_ptr<uint8_t[]> own;
};
