// IDirect3DVertexDeclaration9: the validated element list.
#pragma once

#include "DeviceChild.h"

#include <d3d9.h>
#include "GlApi.h"

#include <vector>

// How GL reads one declaration type.
struct VertexFormat {
    GLint size;        // components, or GL_BGRA for D3DCOLOR
    GLenum type;
    GLboolean normalized;
    UINT bytes;
};

class VertexDeclaration9 final : public DeviceChildOf<IDirect3DVertexDeclaration9, IID_IDirect3DVertexDeclaration9> {
public:
    static HRESULT create(DeviceServices* device, const D3DVERTEXELEMENT9* elements, VertexDeclaration9** declaration);

    // The GL reading of a D3DDECLTYPE; null for types the layer does not
    // support (UDEC3, DEC3N, UNUSED).
    static const VertexFormat* format(BYTE type);

    // The element with this usage and index, or null.
    const D3DVERTEXELEMENT9* find(BYTE usage, BYTE usageIndex) const;

    // IDirect3DVertexDeclaration9
    HRESULT WINAPI GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

private:
    VertexDeclaration9(DeviceServices* device, std::vector<D3DVERTEXELEMENT9> elements);
    ~VertexDeclaration9() override;

    std::vector<D3DVERTEXELEMENT9> elements;  // without the end marker
};
