// What the next draw must derive again from the Direct3D state: one flag per
// piece of derived GL state, all in one set. A state change sets the flags
// of what it feeds; the draw re-derives what is flagged and clears it.
#pragma once

#include <cstdint>

enum class DirtyFlag : uint32_t {
    // Fed by render states (StateRules::flagsOf).
    DepthState,
    BlendState,
    RasterState,
    ColorMask,
    StencilState,
    // The internal uniform block: the texture factor and the pixel shift.
    InternalConstants,
    Viewport,
    Program,
    FixedFunction,  // the fixed-function key of the texture-stage states
    VertexArray,
    // Sampler N's sampler object: flag FirstSampler + N.
    FirstSampler = 16,
};

class DirtyFlags {
public:
    constexpr DirtyFlags() = default;
    constexpr DirtyFlags(DirtyFlag flag) : bits(uint32_t{1} << static_cast<uint32_t>(flag)) {}

    static constexpr DirtyFlags all() { return DirtyFlags(~uint32_t{0}); }
    static constexpr DirtyFlags sampler(uint32_t unit)
    {
        return DirtyFlags(uint32_t{1} << (static_cast<uint32_t>(DirtyFlag::FirstSampler) + unit));
    }
    // Everything render states feed.
    static constexpr DirtyFlags renderStates()
    {
        return DirtyFlags(DirtyFlag::DepthState) | DirtyFlag::BlendState | DirtyFlag::RasterState |
               DirtyFlag::ColorMask | DirtyFlag::StencilState;
    }

    constexpr DirtyFlags operator|(DirtyFlags other) const { return DirtyFlags(bits | other.bits); }
    constexpr bool any(DirtyFlags flags) const { return (bits & flags.bits) != 0; }
    void set(DirtyFlags flags) { bits |= flags.bits; }
    void clear(DirtyFlags flags) { bits &= ~flags.bits; }

private:
    explicit constexpr DirtyFlags(uint32_t value) : bits(value) {}

    uint32_t bits = 0;
};

constexpr DirtyFlags operator|(DirtyFlag a, DirtyFlag b)
{
    return DirtyFlags(a) | b;
}
