#include "graphics/animation/cfg_keyframe_animator.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/docs/data_doc.h"
#include "foundation/files/html_log.h"
#include "foundation/text/gstring.h"
#include "foundation/text/wstring.h"
#include "graphics/store/graphics_resources.h"

namespace {

constexpr const char* kAnimatorLogName = "animator_log.html";

// Index of the name in the table, or fallback for null, empty and unknown texts.
template <size_t N>
int32_t LookUpName(const char* const (&names)[N], const char* text, int32_t fallback)
{
    if (!text || !*text)
        return fallback;
    for (size_t i = 0; i < N; ++i) {
        if (StrCompare(text, names[i]) == 0)
            return int32_t(i);
    }
    return fallback;
}

// Wrapping 24.8 product, so that huge descriptions give garbage values, never undefined
// behaviour.
int32_t TimesFixedOne(int32_t v)
{
    return int32_t(uint32_t(v) << 8);
}

int32_t ParseAttributeAction(const GWString& text)
{
    static const char* const kNames[] = {"acMoveToKeyFrame", "acSetSpeed",  "acWait",
                                         "acStop",           "acSetMirror", "acNone"};
    return LookUpName(kNames, text.GetNarrow(), kActionNone);
}

} // namespace

const GCfgNode* GCfgObjectCursor::GetElement() const
{
    if (!m_list || m_index < 0 || size_t(m_index) >= m_list->size())
        return nullptr;
    return &(*m_list)[size_t(m_index)];
}

const GCfgNode* GCfgObjectCursor::Next()
{
    if (m_list && m_index + 1 >= 0 && size_t(m_index + 1) < m_list->size())
        ++m_index;
    else
        m_index = -1;
    return GetElement();
}

bool GCfgObjectCursor::operator==(const GCfgObjectCursor& other) const
{
    if (!m_entry || !other.m_entry)
        return !m_entry && !other.m_entry;
    return m_entry == other.m_entry;
}

int NameOrIdEquals(const char* nameA, int32_t idA, const char* nameB, int32_t idB)
{
    if (nameA && nameB)
        return StrCompare(nameA, nameB) == 0;
    return idA == idB;
}

namespace {

// A 24.8 value into one channel of a frame: the whole part for image and alpha.
void WriteChannel(GAnimationFrame& f, int32_t channel, int32_t value)
{
    switch (channel) {
    case kInterpolateImage:
        f.image = int16_t(value >> 8);
        break;
    case kInterpolateAlpha:
        f.alpha = uint8_t(value >> 8);
        break;
    case kInterpolateX:
        f.x = value;
        break;
    case kInterpolateY:
        f.y = value;
        break;
    default:
        break;
    }
}

} // namespace

int GCfgKeyFrameAnimator::InterpolateLinear(int32_t fromFrame, int32_t toFrame, int32_t fromValue,
                                            int32_t toValue, int32_t channel)
{
    const int32_t lo = std::min(fromFrame, toFrame);
    const int32_t hi = std::max(fromFrame, toFrame);
    const int64_t n = int64_t(hi) - lo;
    const int32_t step = n ? int32_t((int64_t(toValue) - fromValue) * 65536 / (n * 256)) : 0;
    const int64_t count = GetFrameCount();
    // Only the frames that exist are written; the walk starts where they begin.
    const int64_t first = std::max<int64_t>(lo, 0);
    const int64_t last = std::min<int64_t>(hi, count - 1);
    for (int64_t i = first; i <= last; ++i) {
        const uint32_t acc = uint32_t(TimesFixedOne(fromValue)) + uint32_t(step) * uint32_t(i - lo);
        WriteChannel(*FrameAt(uint32_t(i)), channel, int32_t(acc));
    }
    // The last frame gets the end value exactly.
    if (hi >= 0 && hi < count)
        WriteChannel(*FrameAt(uint32_t(hi)), channel, TimesFixedOne(toValue));
    return 1;
}

int GCfgKeyFrameAnimator::Interpolate(int32_t type, int32_t fromFrame, int32_t toFrame,
                                      int32_t fromValue, int32_t toValue, int32_t channel)
{
    if (type != 1)
        return 0;
    return InterpolateLinear(fromFrame, toFrame, fromValue, toValue, channel);
}

int32_t GCfgKeyFrameAnimator::ParseAction(const char* text)
{
    static const char* const kNames[] = {"MoveToKeyFrame", "SetSpeed", "Wait", "Stop", "SetMirror"};
    return LookUpName(kNames, text, kActionNone);
}

int32_t GCfgKeyFrameAnimator::ParseChannel(const char* text)
{
    static const char* const kNames[] = {"", "Bitmap", "Alpha", "X", "Y"};
    return LookUpName(kNames, text, kInterpolateNone);
}

int32_t GCfgKeyFrameAnimator::ParseInterpolation(const char* text)
{
    static const char* const kNames[] = {"", "Linear"};
    return LookUpName(kNames, text, 0);
}

int GCfgKeyFrameAnimator::LoadDescription(GDataDoc* node)
{
    if (!node)
        return 0;
    ResetAnimation();
    GDataDoc* frames = node->GetChild("Frames");
    if (!frames)
        return 0;
    SetClipFrame(int16_t(frames->GetAttributeInt("BaseBitmap", 0)));
    SetSpeedPercent(frames->GetAttributeInt("Speed", 1));

    GAnimationFrame frame;
    frame.alpha = 0;
    struct Jump {
        std::string target;
        uint32_t keyFrame;
    };
    std::vector<Jump> jumps;
    for (GDataDoc* child = frames->GetChild("Frame"); child && GetFrameCount() < kMaxPackedFrames;
         child = frames->GetNextSibling(child, "Frame")) {
        const GWString label = child->GetAttributeString("KeyFrame", "");
        frame.alpha = uint8_t(child->GetAttributeInt("Alpha", frame.alpha));
        frame.image = int16_t(child->GetAttributeInt("Bitmap", frame.image));
        frame.x = TimesFixedOne(child->GetAttributeInt("X", frame.x >> 8));
        frame.y = TimesFixedOne(child->GetAttributeInt("Y", frame.y >> 8));
        // A key frame's own frame field is 16-bit signed: later frames cannot carry one.
        const bool isKey = !label.IsEmpty() && GetFrameCount() <= uint32_t(INT16_MAX);
        frame.keyFrame = isKey ? int8_t(GetKeyFrameCount()) : int8_t(-1);
        if (!PushFrame(frame))
            break;
        if (!isKey)
            continue;

        GKeyFrame key;
        key.frame = int16_t(GetFrameCount() - 1);
        key.action = uint8_t(ParseAttributeAction(child->GetAttributeString("Action", "")));
        key.channelMask = uint8_t(child->GetAttributeInt("Mask", 255));
        key.SetLabel(label.GetNarrow());
        if (key.action == kActionMoveToKeyFrame) {
            key.param1 = -1;
            const GWString target = child->GetAttributeString("Param1", "");
            jumps.push_back({std::string(target.GetNarrow()).substr(0, kKeyFrameLabelSize),
                             GetKeyFrameCount()});
        } else {
            key.param1 = int16_t(child->GetAttributeInt("Param1", 0));
        }
        key.param2 = int16_t(child->GetAttributeInt("Param2", 0));
        key.rotate = int16_t(child->GetAttributeInt("Rotate", 0));
        key.scale = int16_t(child->GetAttributeInt("Scale", 0));
        if (!PushKeyFrame(key))
            break;
    }
    for (const Jump& jump : jumps) {
        for (uint32_t i = 0; i < GetKeyFrameCount(); ++i) {
            if (GetKeyFrame(i)->LabelEquals(jump.target.c_str())) {
                KeyFrameAt(jump.keyFrame)->param1 = int16_t(i);
                break;
            }
        }
    }
    return 1;
}

int GLabelKeyFrameAnimator::LoadAndCheck(const GCfgObjectCursor& object,
                                         GGraphicsResources* resources)
{
    ResetAnimation();
    const GCfgNode* node = object.GetElement();
    if (!node)
        return 0;
    GHtmlLog log(kAnimatorLogName);

    const int32_t total = node->GetI("TotalFrames", 0);
    if (!MakeFrames(total, log))
        return 0;
    const GCfgNodeList* keyFrames = node->FindObjectList("KeyFrame");
    if (!keyFrames) {
        log.PrintError("No key frames found!");
        return 0;
    }
    LoadKeyFrames(*keyFrames, total, log);
    if (GetKeyFrameCount() < 2) {
        log.PrintError("Animation must have at least two key frames!");
        ResetAnimation();
        return 0;
    }
    if (const GCfgNodeList* interpolations = node->FindObjectList("Interpolation"))
        LoadInterpolations(*interpolations, resources, log);
    return 1;
}

bool GLabelKeyFrameAnimator::MakeFrames(int32_t total, GHtmlLog& log)
{
    if (total < 0 || uint32_t(total) > kMaxPackedFrames) {
        log.PrintError("TotalFrames %d is out of range 0..%u!", total, kMaxPackedFrames);
        return false;
    }
    for (int32_t i = 0; i < total; ++i) {
        if (!PushFrame(GAnimationFrame{})) {
            log.PrintError("Not enough memory for %d frames!", total);
            ResetAnimation();
            return false;
        }
    }
    return true;
}

void GLabelKeyFrameAnimator::LoadKeyFrames(const GCfgNodeList& keyFrames, int32_t total,
                                           GHtmlLog& log)
{
    for (const GCfgNode& entry : keyFrames) {
        const int32_t onFrame = entry.GetI("OnFrame", -1);
        if (onFrame < 0) {
            log.PrintError("Key frames with empty OnFrame are not accepted!");
            continue;
        }
        const char* label = entry.Get("Label", "");
        if (!*label) {
            log.PrintError("Key frames with empty label are not accepted!");
            continue;
        }
        // A key frame past the frames could never be reached, and an interpolation up to it
        // would write past them; past 32767 its frame field cannot hold it.
        if (onFrame >= total || onFrame > INT16_MAX) {
            log.PrintError("Key frame %.20s lies past TotalFrames!", label);
            continue;
        }
        GKeyFrame key;
        key.frame = int16_t(onFrame);
        key.SetLabel(label);
        key.action = uint8_t(ParseAction(entry.Get("Action", "")));
        key.param1 = int16_t(entry.GetI("Param1", 0));
        key.param2 = int16_t(entry.GetI("Param2", 0));
        key.channelMask = uint8_t(entry.GetI("ChannelMask", 255));
        const uint32_t index = GetKeyFrameCount();
        if (!PushKeyFrame(key))
            break;
        FrameAt(uint32_t(onFrame))->keyFrame = int8_t(index);
    }
}

void GLabelKeyFrameAnimator::LoadInterpolations(const GCfgNodeList& interpolations,
                                                GGraphicsResources* resources, GHtmlLog& log)
{
    for (const GCfgNode& entry : interpolations) {
        const int32_t channel = ParseChannel(entry.Get("Channel", ""));
        if (channel == kInterpolateNone) {
            log.PrintError("Interpolation with no channel are not accepted!");
            continue;
        }
        int32_t from = entry.GetI("From", -1);
        if (from < 0) {
            if (channel != kInterpolateImage) {
                log.PrintError("Interpolation without From field are not accepted!");
                continue;
            }
            from = resources ? resources->FindBitmap(entry.Get("From", ""), 0, -1) : -1;
        }
        const int32_t size = entry.GetI("Size", -1);
        const int32_t to = size >= 0 ? int32_t(int64_t(from) + size - 1) : entry.GetI("To", 0);
        const char* fromKey = entry.Get("FromKey", "");
        const char* toKey = entry.Get("ToKey", "");
        if (!*fromKey || !*toKey) {
            log.PrintError("Interpolation without FromKey or ToKey are not accepted!");
            continue;
        }
        const int32_t fromFrame = FrameOfLabel(fromKey);
        const int32_t toFrame = FrameOfLabel(toKey);
        if (fromFrame < 0 || toFrame < 0) {
            log.PrintError("Keyframe %s not found!", fromFrame < 0 ? fromKey : toKey);
            continue;
        }
        Interpolate(ParseInterpolation(entry.Get("Type", "")), fromFrame, toFrame, from, to,
                    channel);
    }
}

int32_t GLabelKeyFrameAnimator::FrameOfLabel(const char* label) const
{
    // The last key frame of that label wins.
    int32_t frame = -1;
    for (uint32_t i = 0; i < GetKeyFrameCount(); ++i) {
        const GKeyFrame* key = GetKeyFrame(i);
        if (key->LabelEquals(label))
            frame = key->frame;
    }
    return frame;
}

int GLabelKeyFrameAnimator::LoadFrameTracks(const GCfgNode& node)
{
    ResetAnimation();
    const GCfgNodeList* list = node.FindObjectList("Frames");
    if (!list || list->empty())
        return 1;
    const GCfgNode& frames = list->front();
    GIntArray f, a, x, y;
    frames.GetIList("f", f);
    frames.GetIList("a", a);
    frames.GetIList("x", x);
    frames.GetIList("y", y);
    const auto at = [](const GIntArray& values, uint32_t i) {
        return i < values.GetCount() ? int32_t(values[i]) : 0;
    };
    const uint32_t count = std::min<uint32_t>(f.GetCount(), kMaxPackedFrames);
    for (uint32_t i = 0; i < count; ++i) {
        GAnimationFrame frame;
        frame.image = int16_t(at(f, i));
        frame.alpha = uint8_t(at(a, i));
        frame.x = TimesFixedOne(at(x, i));
        frame.y = TimesFixedOne(at(y, i));
        if (!PushFrame(frame))
            break;
    }
    return 1;
}
