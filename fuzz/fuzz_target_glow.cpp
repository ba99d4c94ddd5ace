// A target cell's glow as the board plays it: any bytes as the glow's cfg description, loaded
// from its object list, packed and unpacked into each target's animator, then played on a
// cell's clip for a few hundred ticks with burns asked for at moments the bytes choose. The
// packed animation must come back whole, and no tick may read outside it.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/cfg/cfg_node.h"
#include "fuzz/fuzz_support.h"
#include "graphics/animation/bitmap_clip.h"
#include "graphics/animation/cfg_keyframe_animator.h"
#include "screens/target_glow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > (size_t{1} << 14))
        return 0;
    // The first byte chooses the ticks a burn is asked on; the rest is the description.
    const uint8_t burnEvery = data[0] | 1;
    GCfgNode root;
    if (!root.Parse(reinterpret_cast<const char*>(data + 1), size - 1))
        return 0;
    GLabelKeyFrameAnimator loader;
    std::unique_ptr<uint8_t[]> packed;
    uint32_t packedSize = 0;
    if (!loader.LoadAndCheck(GCfgObjectCursor(root.FindObjectList("TargetGlow"), 0), nullptr) ||
        !loader.SaveToMemory(&packed, &packedSize))
        return 0;
    GBitmapClip clip;
    clip.SetPosition(300 << 8, 200 << 8);
    GTargetGlow glow;
    if (!glow.Start(clip, packed.get(), packedSize))
        return 0;
    if (glow.GetAnimator().GetFrameCount() != loader.GetFrameCount())
        __builtin_trap();
    for (int tick = 0; tick < 400; ++tick) {
        if (tick % burnEvery == 0)
            glow.RequestBurn();
        glow.Tick();
        glow.IsBurning();
    }
    return 0;
}
