#pragma once
// The binary cfg form. All integers are unsigned 32-bit little-endian; texts carry no
// terminator.
//
//   "CFG"                                   only before the top node
//   node:  value-entry count
//          per value entry, in name order:  name length, name, value count,
//                                           per value: length, text
//          object-entry count
//          per object entry, in name order: name length, name, child count,
//                                           per child: node (no magic)
//
// With a key (1 to 255) every name and value text is XORed with the stream of the node that
// holds it, in file order: per byte, seed = seed * 1103515245 + 12345, byte ^= bits 16..23
// of the new seed. The top node's stream starts at the key. Each child starts its own stream
// at CfgChildSeed of its parent's stream state at the moment the child begins (after the
// parent's object-entry name) and the child's number among all the parent's children in
// file order, so writer and reader derive every stream from the key alone. A top node's
// texts are scrambled exactly as in files whose nodes carry their own seeds.

#include <cstddef>
#include <cstdint>

inline constexpr char kCfgBinaryMagic[3] = {'C', 'F', 'G'};

inline uint32_t CfgChildSeed(uint32_t parentState, uint32_t childNumber)
{
    return parentState ^ (0x9E3779B9u * (childNumber + 1));
}

// XORs count bytes in place with the stream that starts at seed; seed ends advanced.
void CfgScramble(uint8_t* bytes, size_t count, uint32_t& seed);
