#include "VertexDeclaration9.h"

#include <algorithm>

namespace {

const VertexFormat formats[] = {
    {1, GL_FLOAT, GL_FALSE, 4},                  // FLOAT1
    {2, GL_FLOAT, GL_FALSE, 8},                  // FLOAT2
    {3, GL_FLOAT, GL_FALSE, 12},                 // FLOAT3
    {4, GL_FLOAT, GL_FALSE, 16},                 // FLOAT4
    {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4},     // D3DCOLOR: bytes B, G, R, A
    {4, GL_UNSIGNED_BYTE, GL_FALSE, 4},          // UBYTE4
    {2, GL_SHORT, GL_FALSE, 4},                  // SHORT2
    {4, GL_SHORT, GL_FALSE, 8},                  // SHORT4
    {4, GL_UNSIGNED_BYTE, GL_TRUE, 4},           // UBYTE4N
    {2, GL_SHORT, GL_TRUE, 4},                   // SHORT2N
    {4, GL_SHORT, GL_TRUE, 8},                   // SHORT4N
    {2, GL_UNSIGNED_SHORT, GL_TRUE, 4},          // USHORT2N
    {4, GL_UNSIGNED_SHORT, GL_TRUE, 8},          // USHORT4N
    {0, 0, GL_FALSE, 0},                         // UDEC3: not supported
    {0, 0, GL_FALSE, 0},                         // DEC3N: not supported
    {2, GL_HALF_FLOAT, GL_FALSE, 4},             // FLOAT16_2
    {4, GL_HALF_FLOAT, GL_FALSE, 8},             // FLOAT16_4
};

bool isEnd(const D3DVERTEXELEMENT9& e) { return e.Stream == 0xFF && e.Type == D3DDECLTYPE_UNUSED; }

}  // namespace

const VertexFormat* VertexDeclaration9::format(BYTE type)
{
    if (type >= sizeof formats / sizeof formats[0] || formats[type].bytes == 0) return nullptr;
    return &formats[type];
}

VertexDeclaration9::VertexDeclaration9(DeviceServices* device, std::vector<D3DVERTEXELEMENT9> list)
    : DeviceChildOf(device), elements(std::move(list))
{
}

VertexDeclaration9::~VertexDeclaration9()
{
    owner()->forgetDeclaration(serial());
}

HRESULT VertexDeclaration9::create(DeviceServices* device, const D3DVERTEXELEMENT9* list, VertexDeclaration9** declaration)
{
    *declaration = nullptr;
    std::vector<D3DVERTEXELEMENT9> elements;
    // At most MAXD3DDECLLENGTH elements, then the end marker.
    for (UINT i = 0;; ++i) {
        const D3DVERTEXELEMENT9& e = list[i];
        if (isEnd(e)) break;
        if (i >= MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL;
        if (e.Stream >= 16 || format(e.Type) == nullptr || e.Method != D3DDECLMETHOD_DEFAULT ||
            e.Usage > D3DDECLUSAGE_SAMPLE || e.UsageIndex >= 16 || (e.Offset & 3) != 0)
            return D3DERR_INVALIDCALL;
        const bool duplicate = std::any_of(elements.begin(), elements.end(), [&](const D3DVERTEXELEMENT9& other) {
            return other.Usage == e.Usage && other.UsageIndex == e.UsageIndex;
        });
        if (duplicate) return D3DERR_INVALIDCALL;
        elements.push_back(e);
    }
    *declaration = new VertexDeclaration9(device, std::move(elements));
    return D3D_OK;
}

const D3DVERTEXELEMENT9* VertexDeclaration9::find(BYTE usage, BYTE usageIndex) const
{
    for (const D3DVERTEXELEMENT9& e : elements)
        if (e.Usage == usage && e.UsageIndex == usageIndex) return &e;
    return nullptr;
}

HRESULT WINAPI VertexDeclaration9::GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements)
{
    if (pNumElements == nullptr) return D3DERR_INVALIDCALL;
    // The count includes the end marker.
    const UINT count = static_cast<UINT>(elements.size()) + 1;
    *pNumElements = count;
    if (pElement != nullptr) {
        std::copy(elements.begin(), elements.end(), pElement);
        pElement[count - 1] = D3DVERTEXELEMENT9 D3DDECL_END();
    }
    return D3D_OK;
}
