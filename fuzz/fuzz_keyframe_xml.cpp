// Attribute keyframe descriptions: any bytes as XML text, loaded from the first element.
// Every jump target must be -1 or an existing key frame, every key frame sit on an existing
// frame, and the animation must play.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/docs/xml_data_doc.h"
#include "foundation/text/wstring.h"
#include "fuzz/fuzz_support.h"
#include "graphics/animation/cfg_keyframe_animator.h"
#include "graphics/scene/clip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (size_t{1} << 16))
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    GXmlDataDoc doc;
    if (!doc.LoadFromText(GWString::FromUtf8(text.c_str())))
        return 0;
    GCfgKeyFrameAnimator animator;
    if (!animator.LoadDescription(doc.GetChild(nullptr)))
        return 0;
    const uint32_t keys = animator.GetKeyFrameCount();
    for (uint32_t i = 0; i < keys; ++i) {
        const GKeyFrame& k = *animator.GetKeyFrame(i);
        if (k.frame < 0 || uint32_t(k.frame) >= animator.GetFrameCount())
            __builtin_trap();
        if (k.action == kActionMoveToKeyFrame && (k.param1 < -1 || k.param1 >= int32_t(keys)))
            __builtin_trap();
    }
    GClip clip;
    animator.SetClip(&clip);
    animator.SetState(kStatePlaying);
    for (int tick = 0; tick < 64; ++tick)
        animator.ApplyFrame();
    fuzz::Keep(uint32_t(clip.GetX() + clip.GetFrame()));
    return 0;
}
