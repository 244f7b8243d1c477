// What a Direct3D 9 shader profile allows, checked on the SPIR-V module that
// glslang made of a shader before anything of it reaches a driver: temporary
// registers, constant registers and instruction slots. A shader far beyond
// them (an array of 100,000 floats in a ps_2_0 shader) would otherwise go to
// the OpenGL driver, which may take minutes and gigabytes over it.
//
// The D3DX compiler counts these on the code it generates. Here they are
// counted on the module as lower bounds of what that code needs, so that a
// shader D3DX accepts is not refused:
//  - temporary registers: the largest array held in temporaries (a static
//    or local array that the code uses), a register per four of its scalars
//    at least; plain values are left out (the compiler reuses registers);
//  - constant registers: the highest register that a constant the code uses
//    takes (register(cN) is byte 16 N of the $Global block);
//  - instruction slots: the operations that take an instruction each at
//    least (multiplications, divisions, dot and matrix products, the
//    intrinsic functions, selections, texture samples), leaving out those a
//    multiply-add absorbs (additions), those that are free in Direct3D 9
//    code (swizzles, negation, saturation, conversions) and those on
//    constants and uniforms alone (the compiler moves them to a preshader).
//    A function's body counts at each call (the compiler inlines them); a
//    loop's body counts once, or, where the profile has no loops (vs_1_1,
//    ps_2_0, ps_2_b: the compiler unrolls them), once per iteration when
//    the module shows how many there are (a counter from a constant to a
//    constant by a constant step).
//
// Profiles and their limits (temporaries, constants, instruction slots):
//   vs_1_1  12  96 128        ps_1_x, ps_2_0  12  32  64 arithmetic + 32 texture
//   vs_2_0  12 256 256        ps_2_a          22  32 512
//   vs_2_a  13 256 256        ps_2_b          32  32 512
//   vs_3_0  32 256 512        ps_3_0          32 224 512
//   *_sw    32 8192 (no slot limit)
// (ps_1_x is held to ps_2_0's limits, wider than its own.)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ProfileLimits {
public:
    // Empty when the module keeps within the profile's limits; otherwise a
    // one-line message naming the profile, the limit and what exceeds it.
    static std::string check(const std::vector<uint32_t>& words, const std::string& profile);
};
