#pragma once
// Keyframe animators that build their animation from descriptions:
//  - GCfgKeyFrameAnimator::LoadDescription reads an attribute description through a data
//    document: one "Frame" element per frame, key frames marked on their frame;
//  - GLabelKeyFrameAnimator::LoadAndCheck reads a cfg object: "TotalFrames", key frames by
//    frame number and interpolations that fill channel values between two key frames, and
//    writes what it refuses to the log "animator_log.html" (in the working folder);
//  - GLabelKeyFrameAnimator::LoadFrameTracks reads plain per-frame value lists.
// Every loader starts from an empty animation. Both classes own nothing beyond their base.
// Main thread only.
//
// Counts that the packed image cannot hold are not built: a cfg animation of more than 65535
// frames is refused, an attribute description stops after 65535 frames. Key frames sit on
// frames 0 to 32767 (their frame field is 16-bit signed); a cfg key frame elsewhere, or past
// "TotalFrames", is refused with a log line, and attribute frames past 32767 carry none.

#include <cstdint>

#include "foundation/cfg/cfg_node.h"
#include "graphics/animation/keyframe_animator.h"

class GDataDoc;
class GGraphicsResources;
class GHtmlLog;

// Channels as the interpolations number them.
enum GInterpolationChannel : int32_t {
    kInterpolateNone = 0,
    kInterpolateImage = 1,
    kInterpolateAlpha = 2,
    kInterpolateX = 3,
    kInterpolateY = 4,
};

// One object of a cfg object list: the list of an entry found with GCfgNode::FindObject and
// an index into it. A cursor made from an entry stands before its first object.
class GCfgObjectCursor {
public:
    GCfgObjectCursor() = default;
    explicit GCfgObjectCursor(const GCfgObjectEntry* entry)
        : m_entry(entry), m_list(entry ? &entry->second : nullptr)
    {
    }
    GCfgObjectCursor(const GCfgNodeList* list, int32_t index) : m_list(list), m_index(index) {}

    // The object at the index; null for no list, an empty one or an index outside it.
    const GCfgNode* GetElement() const;
    // To the next index, or to -1 after the last object. Returns the new element.
    const GCfgNode* Next();
    int32_t GetIndex() const { return m_index; }

    // Entry positions differ when exactly one is the end (no entry), or both name
    // different entries.
    bool operator==(const GCfgObjectCursor& other) const;

private:
    const GCfgObjectEntry* m_entry = nullptr;
    const GCfgNodeList* m_list = nullptr;
    int32_t m_index = -1;
};

// Keys of the factories: with both texts present they are compared (1 when equal), else the
// numbers are.
int NameOrIdEquals(const char* nameA, int32_t idA, const char* nameB, int32_t idB);

class GCfgKeyFrameAnimator : public GKeyFrameAnimator {
public:
    GCfgKeyFrameAnimator() = default;

    // Writes frames from..to (either order) of one channel, linearly from u to w in 24.8
    // steps, the last frame exactly w. Frames outside the animation are not written.
    virtual int InterpolateLinear(int32_t fromFrame, int32_t toFrame, int32_t fromValue,
                                  int32_t toValue, int32_t channel);
    // Type 1 is linear; any other type writes nothing and gives 0.
    virtual int Interpolate(int32_t type, int32_t fromFrame, int32_t toFrame, int32_t fromValue,
                            int32_t toValue, int32_t channel);
    // "MoveToKeyFrame" 0 ... "SetMirror" 4, else 5.
    virtual int32_t ParseAction(const char* text);
    // "Bitmap" 1, "Alpha" 2, "X" 3, "Y" 4, else 0.
    virtual int32_t ParseChannel(const char* text);
    // "Linear" 1, else 0.
    virtual int32_t ParseInterpolation(const char* text);
    // 0 for a null node or one without "Frames" (the animation is then empty), else 1.
    virtual int LoadDescription(GDataDoc* node);
};

class GLabelKeyFrameAnimator : public GCfgKeyFrameAnimator {
public:
    GLabelKeyFrameAnimator() = default;

    // 1 when the animation was built, 0 when it was refused. resources may be null (image
    // names then resolve to -1).
    virtual int LoadAndCheck(const GCfgObjectCursor& object, GGraphicsResources* resources);
    // Lists "f", "a", "x", "y" of the first "Frames" object; values missing from the shorter
    // lists are 0. Always 1.
    virtual int LoadFrameTracks(const GCfgNode& node);

private:
    // The steps of LoadAndCheck; each logs what it refuses.
    bool MakeFrames(int32_t total, GHtmlLog& log);
    void LoadKeyFrames(const GCfgNodeList& keyFrames, int32_t total, GHtmlLog& log);
    void LoadInterpolations(const GCfgNodeList& interpolations, GGraphicsResources* resources,
                            GHtmlLog& log);
    // The frame of the last key frame with the label; -1 when there is none.
    int32_t FrameOfLabel(const char* label) const;
};
