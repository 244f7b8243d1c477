// The GUIDs and the two predefined data formats of DirectInput 8.
#include <dinput.h>

#include <array>
#include <cstddef>

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const IID IID_IDirectInputDevice8A = {0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};

namespace {

// Keyboard: 256 optional keys, one byte each, at the offset of their DIK code.
constexpr std::array<DIOBJECTDATAFORMAT, 256> keyboardObjects()
{
    std::array<DIOBJECTDATAFORMAT, 256> objects{};
    for (DWORD key = 0; key < 256; ++key)
        objects[key] = {&GUID_Key, key, DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_MAKEINSTANCE(key), 0};
    return objects;
}
constinit std::array<DIOBJECTDATAFORMAT, 256> keyboardObjectTable = keyboardObjects();

// Mouse: X and Y axes, an optional wheel, then eight buttons (the first two
// required), laid out as DIMOUSESTATE2.
constinit DIOBJECTDATAFORMAT mouseObjectTable[] = {
    {&GUID_XAxis, offsetof(DIMOUSESTATE2, lX), DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_YAxis, offsetof(DIMOUSESTATE2, lY), DIDFT_AXIS | DIDFT_ANYINSTANCE, 0},
    {&GUID_ZAxis, offsetof(DIMOUSESTATE2, lZ), DIDFT_AXIS | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 0, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 1, DIDFT_BUTTON | DIDFT_ANYINSTANCE, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 2, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 3, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 4, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 5, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 6, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
    {nullptr, offsetof(DIMOUSESTATE2, rgbButtons) + 7, DIDFT_BUTTON | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0},
};

}  // namespace

constinit const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 256,
                                     static_cast<DWORD>(keyboardObjectTable.size()), keyboardObjectTable.data()};
constinit const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                                   sizeof(DIMOUSESTATE2),
                                   static_cast<DWORD>(sizeof mouseObjectTable / sizeof mouseObjectTable[0]),
                                   mouseObjectTable};
