// The subset of the D3DX9 utility library that Tarnvale uses: shader
// compilation (HLSL through glslang into SPIR-V, see d3d9.h) and image
// loading into textures (PNG through libpng).
#pragma once

#include <d3d9.h>

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)

#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_DDHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_DDHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_DDHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_DDHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_DDHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_DDHRESULT(2906)
#define D3DXERR_DUPLICATENAMEDFRAGMENT MAKE_DDHRESULT(2907)
#define D3DXERR_CANNOTREMOVELASTITEM MAKE_DDHRESULT(2908)

#define D3DX_DEFAULT ((UINT)-1)

// Compile flags accepted (and, beyond these, ignored).
#define D3DXSHADER_DEBUG (1 << 0)
#define D3DXSHADER_SKIPVALIDATION (1 << 1)
#define D3DXSHADER_SKIPOPTIMIZATION (1 << 2)
#define D3DXSHADER_PACKMATRIX_ROWMAJOR (1 << 3)
#define D3DXSHADER_PACKMATRIX_COLUMNMAJOR (1 << 4)

extern const IID IID_ID3DXBuffer;

struct ID3DXBuffer : public IUnknown {
    virtual LPVOID WINAPI GetBufferPointer() = 0;
    virtual DWORD WINAPI GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// The constant table is never produced by this layer: callers must pass
// NULL, or receive NULL.
struct ID3DXConstantTable;
typedef ID3DXConstantTable* LPD3DXCONSTANTTABLE;

struct D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
};
typedef D3DXMACRO* LPD3DXMACRO;

enum D3DXINCLUDE_TYPE { D3DXINC_LOCAL = 0, D3DXINC_SYSTEM = 1, D3DXINC_FORCE_DWORD = 0x7fffffff };

struct ID3DXInclude {
    virtual HRESULT WINAPI Open(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData,
                                LPCVOID* ppData, UINT* pBytes) = 0;
    virtual HRESULT WINAPI Close(LPCVOID pData) = 0;

protected:
    virtual ~ID3DXInclude() = default;
};
typedef ID3DXInclude* LPD3DXINCLUDE;

// Compiles the HLSL file at pSrcFile (a '\' in the path is a folder
// separator) for the profile's stage ("vs_*" or "ps_*") with the given entry
// point. On success *ppShader receives the code (SPIR-V followed by the end
// token). On failure it returns a failing HRESULT, leaves *ppShader null, and
// puts "file(line): error: message" text into *ppErrorMsgs when that is asked
// for, or else writes it to stderr. A UTF-8 byte-order mark opening the file
// (or an #include file) is skipped.
//
// Results: S_OK; E_FAIL when the source does not compile (syntax or type
// errors, entry point not found or defined more than once, unknown profile,
// a vertex shader without a POSITION output, a pixel shader output that is
// not COLORn or DEPTH, an #include that cannot be opened or nests more than
// 32 deep);
// D3DERR_NOTFOUND when the file does not exist; D3DXERR_INVALIDDATA when the
// source is larger than 16 MiB; D3DERR_INVALIDCALL for a null file name,
// entry point or profile, or a macro that is not a name or whose definition
// spans lines; E_OUTOFMEMORY. Warnings come back in *ppErrorMsgs on success
// too (it stays null when there are none); *ppConstantTable is always null.
// pInclude, when given, is asked for #include files instead of the file
// system; without it "name" is looked up beside the including file, then in
// the working folder, and <name> in the working folder. The flags
// D3DXSHADER_PACKMATRIX_ROWMAJOR / _COLUMNMAJOR set the default matrix
// packing; the other flags are accepted and ignored.
HRESULT WINAPI D3DXCompileShaderFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                          LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                                          LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                                          LPD3DXCONSTANTTABLE* ppConstantTable);

// The same, from source text in memory.
HRESULT WINAPI D3DXCompileShader(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines,
                                 LPD3DXINCLUDE pInclude, LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                                 LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                                 LPD3DXCONSTANTTABLE* ppConstantTable);

// Loads an image file (PNG) into a new managed A8R8G8B8 texture of the
// image's size with a full mip chain. On failure *ppTexture is left null and a
// one-line reason naming the file goes to stderr.
//
// Every PNG colour type, bit depth, palette, tRNS chunk and interlacing is
// read; samples are taken as stored (no gamma conversion), 16-bit ones
// rounded to 8 bits. Each mip level is a box filter of the one above, odd
// sizes weighted by area. Results: D3D_OK; D3DERR_NOTFOUND when the file does
// not exist; D3DXERR_INVALIDDATA when it is not a PNG file, is truncated or
// corrupt (CRC or compressed data), or is wider or taller than 16384 pixels;
// D3DERR_INVALIDCALL for a null argument; E_OUTOFMEMORY; E_FAIL when the
// file cannot be read; or the failing code of the device's CreateTexture or
// LockRect.
HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9* ppTexture);

// The same, from file contents in memory.
HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                 LPDIRECT3DTEXTURE9* ppTexture);

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);

#define D3DXCompileShaderFromFile D3DXCompileShaderFromFileA
#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
