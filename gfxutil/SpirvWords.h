// Reading a SPIR-V module as its words: the header, the walk over the
// instructions, and literal strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SpirvWords {

constexpr uint32_t magicNumber = 0x07230203u;
constexpr size_t headerWords = 5;

// Calls visit(opcode, index of first word, word count) for each instruction.
// Returns false when the stream is malformed (no SPIR-V header, an
// instruction of no words or running past the end).
template <typename Visit>
bool forEachInstruction(const std::vector<uint32_t>& words, Visit visit)
{
    if (words.size() < headerWords || words[0] != magicNumber) return false;
    size_t at = headerWords;
    while (at < words.size()) {
        const uint32_t count = words[at] >> 16;
        const uint32_t opcode = words[at] & 0xFFFFu;
        if (count == 0 || at + count > words.size()) return false;
        visit(opcode, at, count);
        at += count;
    }
    return true;
}

// A literal string starting at words[at], bounded by the instruction end.
inline std::string literalString(const std::vector<uint32_t>& words, size_t at, size_t end)
{
    std::string text;
    for (size_t i = at; i < end; ++i) {
        for (int b = 0; b < 4; ++b) {
            const char c = static_cast<char>((words[i] >> (8 * b)) & 0xFFu);
            if (c == '\0') return text;
            text += c;
        }
    }
    return text;
}

}  // namespace SpirvWords
