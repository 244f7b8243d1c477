// The state the GL context actually holds, as far as this layer changes it.
//
// Every GL state call of the device goes through here; a call that would set
// what is already set is dropped, so the device can re-apply its derived
// state freely. The tracker counts the calls it lets through.
#pragma once

#include "GlCaps.h"
#include "UniformBindings.h"

#include <tarnvale_d3d9.h>

#include "GlApi.h"

#include <cstdint>
#include <vector>

class GlStateTracker {
public:
    static constexpr int textureUnits = 16;
    // Where textures are bound to be edited, on contexts without direct
    // state access: a unit no sampler of Direct3D's reaches.
    static constexpr int editUnit = textureUnits;
    static constexpr int uniformBindings = UniformBinding::count;

    enum Cap { DepthTest, CullFace, Blend, StencilTest, ScissorTest, OffsetFill, OffsetLine, OffsetPoint, CapCount };

    explicit GlStateTracker(tvd3d9::DeviceStats& stats);

    // Puts the context into the tracked default state with unconditional
    // calls; the device calls it once, right after creating the context,
    // with what that context offers.
    void reset(const GlCaps& caps);
    const GlCaps& caps() const { return glCaps; }

    void enable(Cap cap, bool on);
    void depthFunc(GLenum func);
    void depthMask(bool on);
    void cullFace(GLenum face);
    void polygonMode(GLenum mode);
    void polygonOffset(float factor, float units);
    void pointSize(float size);
    void blendFunc(GLenum srcRgb, GLenum dstRgb, GLenum srcAlpha, GLenum dstAlpha);
    void blendEquation(GLenum rgb, GLenum alpha);
    void blendColor(uint32_t argb);
    void colorMask(uint32_t rgbaBits);  // bit 0 red ... bit 3 alpha, as D3DCOLORWRITEENABLE
    void stencilFunc(GLenum face, GLenum func, GLint ref, GLuint mask);  // face GL_FRONT or GL_BACK
    void stencilOp(GLenum face, GLenum fail, GLenum depthFail, GLenum pass);
    void stencilWriteMask(GLenum face, GLuint mask);
    void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void depthRange(float nearZ, float farZ);
    void scissor(GLint x, GLint y, GLsizei width, GLsizei height);
    void clearColor(uint32_t argb);
    void clearDepth(float depth);
    void clearStencil(GLint value);

    void useProgram(GLuint program);
    void bindVertexArray(GLuint vertexArray);
    void bindTexture(int unit, GLuint texture);
    void bindSampler(int unit, GLuint sampler);
    void bindUniformBuffer(int index, GLuint buffer, GLintptr offset, GLsizeiptr size);
    void bindDrawFramebuffer(GLuint framebuffer);
    void bindReadFramebuffer(GLuint framebuffer);
    void unpackRowLength(GLint pixels);
    // Bindings that only serve to edit an object, on contexts without
    // direct state access: a texture on the edit unit, a buffer to
    // GL_COPY_WRITE_BUFFER (which no draw reads) or GL_ARRAY_BUFFER (where
    // glVertexAttribPointer takes it from).
    void editTexture(GLuint texture);
    void bindCopyWriteBuffer(GLuint buffer);
    void bindArrayBuffer(GLuint buffer);

    // GL unbinds a deleted object from the current context; the tracker must
    // forget it too, or a new object with the same name would look bound.
    void forgetTexture(GLuint texture);
    void forgetProgram(GLuint program);
    void forgetVertexArray(GLuint vertexArray);
    void forgetBuffer(GLuint buffer);
    void forgetFramebuffer(GLuint framebuffer);

    // GlObjects' scratch, deleted with GlObjects::deleteScratch(): a vertex
    // array of the layer's own, bound while index lists are made (0 until
    // the first), and the buffer texture uploads are converted in where the
    // context cannot take Direct3D's layouts.
    GLuint scratchVertexArray = 0;
    std::vector<uint8_t> scratchPixels;

    // Counts a state call made outside the tracker (per-VAO vertex buffers).
    void countStateCall() { ++stats.glStateCalls; ++stats.glCalls; }
    // Counts any other GL call (draws, clears, uploads, read-backs).
    void countCall() { ++stats.glCalls; }

private:
    void counted() { ++stats.glStateCalls; ++stats.glCalls; }
    bool capOffered(Cap cap) const;
    void setDepthRange(float nearZ, float farZ);
    void setClearDepth(float depth);
    void setTexture(int unit, GLuint name);

    tvd3d9::DeviceStats& stats;
    GlCaps glCaps;

    // What the tracker holds, each field starting at GL's default (which
    // reset() puts the context into).
    struct StencilFace {
        GLenum func = GL_ALWAYS;
        GLint ref = 0;
        GLuint mask = 0xFFFFFFFFu;
        GLenum fail = GL_KEEP;
        GLenum depthFail = GL_KEEP;
        GLenum pass = GL_KEEP;
        GLuint writeMask = 0xFFFFFFFFu;
    };
    struct UniformRange {
        GLuint buffer = 0;
        GLintptr offset = 0;
        GLsizeiptr size = 0;
    };
    struct State {
        bool caps[CapCount] = {};
        GLenum depthFunc = GL_LESS;
        bool depthMask = true;
        GLenum cullFace = GL_BACK;
        GLenum polygonMode = GL_FILL;
        float offsetFactor = 0.0f;
        float offsetUnits = 0.0f;
        float pointSize = 1.0f;
        GLenum blend[4] = {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
        GLenum blendEquation[2] = {GL_FUNC_ADD, GL_FUNC_ADD};
        uint32_t blendColor = 0;
        uint32_t colorMask = 0xF;
        StencilFace stencil[2];
        GLint viewport[4] = {0, 0, 0, 0};
        float depthRange[2] = {0.0f, 1.0f};
        GLint scissor[4] = {0, 0, 0, 0};
        uint32_t clearColor = 0;
        float clearDepth = 1.0f;
        GLint clearStencil = 0;

        GLuint program = 0;
        GLuint vertexArray = 0;
        GLuint textures[textureUnits + 1] = {};  // the edit unit last
        int activeUnit = 0;
        GLuint samplers[textureUnits] = {};
        UniformRange uniforms[uniformBindings];
        GLuint drawFramebuffer = 0;
        GLuint readFramebuffer = 0;
        GLint unpackRowLength = 0;
        GLuint copyWriteBuffer = 0;
        GLuint arrayBuffer = 0;
    } state;
};
