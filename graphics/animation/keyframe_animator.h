#pragma once
// GKeyFrameAnimator: plays a frame-by-frame animation on one clip. Each frame holds the values
// of four channels (image, alpha, x, y); named key frames sit on frames and carry an action
// (jump, speed, wait, stop, mirror) and the set of channels the following frames drive. The
// owner calls ApplyFrame once per game frame; a listener hears of every key frame reached and
// every change of state.
//
// The operations are virtual and call one another through the object, so a subclass that
// replaces one changes the behaviour of the others (ApplyFrame -> SetState, ProcessKeyFrame...).
//
// Owns its frame and key-frame arrays; observes the clip and the listener. Main thread only:
// the listener is called synchronously and may call back into the animator.
//
// Labels are at most 20 characters. A label of exactly 20 fills its field without a
// terminating zero; every comparison looks at no more than those 20 characters, so a longer
// text matches the label its first 20 characters spell.

#include <cstdint>
#include <memory>

#include "foundation/core/int_array.h"

class GClip;
class GKeyFrameAnimator;

constexpr int kKeyFrameLabelSize = 20;

// Actions of a key frame; every number above kActionNone does nothing too.
enum GKeyFrameAction : uint8_t {
    kActionMoveToKeyFrame = 0,
    kActionSetSpeed = 1,
    kActionWait = 2,
    kActionStop = 3,
    kActionSetMirror = 4,
    kActionNone = 5,
};

// Channel mask bits (bit 1 also makes the clip visible).
enum GKeyFrameChannelBit : uint8_t {
    kChannelImage = 1,
    kChannelAlpha = 2,
    kChannelX = 4,
    kChannelY = 8,
};

enum GKeyFrameState : int32_t {
    kStatePlaying = 0,
    kStateStopped = 1,
    kStateWaiting = 2,
};

struct GAnimationFrame {
    int16_t image = 0; // added to the clip frame base: the bitmap-store slot
    int32_t x = 0;     // 24.8, before the offset
    int32_t y = 0;     // 24.8, before the offset
    uint8_t alpha = 0;
    int8_t keyFrame = -1; // index of the key frame on this frame, or -1
};

struct GKeyFrame {
    char label[kKeyFrameLabelSize] = {};
    uint8_t action = kActionNone;
    int16_t param1 = 0;
    int16_t param2 = 0; // stored; no action reads it
    uint8_t channelMask = 0;
    int16_t frame = 0;
    int16_t rotate = 0; // read from descriptions; the player does not use it
    int16_t scale = 0;  // likewise

    // Copies at most 20 characters of text (null = empty); the rest of the field is zero.
    void SetLabel(const char* text);
    // The label's length: up to the first zero, at most 20.
    uint32_t LabelLength() const;
    // Whether text equals the whole label (both cut to 20 characters).
    bool LabelEquals(const char* text) const;
};

// The packed image: K (1 byte), F (2 bytes), K key-frame records of 34 bytes, F frame records
// of 11 bytes, little-endian.
constexpr uint32_t kPackedHeaderSize = 3;
constexpr uint32_t kPackedKeyFrameSize = 34;
constexpr uint32_t kPackedFrameSize = 11;
constexpr uint32_t kMaxPackedKeyFrames = 255;
constexpr uint32_t kMaxPackedFrames = 65535;

class GKeyFrameListener {
public:
    virtual ~GKeyFrameListener() = default;
    virtual void OnKeyFrame(GKeyFrameAnimator* animator, const GKeyFrame* keyFrame,
                            int32_t index) = 0;
    virtual void OnState2(GKeyFrameAnimator* animator) {}
    virtual void OnState1(GKeyFrameAnimator* animator) {}
    virtual void OnState0(GKeyFrameAnimator* animator) {}
};

class GKeyFrameAnimator {
public:
    GKeyFrameAnimator() = default;
    GKeyFrameAnimator(const GKeyFrameAnimator&) = delete;
    GKeyFrameAnimator& operator=(const GKeyFrameAnimator&) = delete;
    virtual ~GKeyFrameAnimator() = default;

    // One tick: apply the current frame, react to its key frame, advance by the speed.
    virtual void ApplyFrame();
    virtual void SetListener(GKeyFrameListener* listener) { m_listener = listener; }
    virtual GKeyFrameListener* GetListener() { return m_listener; }

    // The packed image in a file: 1 or 0. A failed load leaves the animator as it was; a
    // failed save leaves the file as it was (the new one replaces it whole).
    virtual int LoadFromFile(const char* fileName);
    virtual int SaveToFile(const char* fileName);
    // Reads a packed image of size bytes. Every count is checked against the bytes there; a
    // short image, or a jump action whose target is neither -1 nor an existing key frame, is
    // refused with 0 and changes nothing. Trailing bytes are ignored.
    virtual int LoadFromMemory(const uint8_t* image, uint32_t size);
    // Sets both outputs to null and 0, then writes the packed image. 0 when there are no
    // frames, more than 65535 frames or 255 key frames, or no memory.
    virtual int SaveToMemory(std::unique_ptr<uint8_t[]>* buffer, uint32_t* size);

    virtual void SetState(int32_t state);
    virtual int32_t GetState() { return m_state; }
    virtual void SetClip(GClip* clip) { m_clip = clip; }
    virtual GClip* GetClip() { return m_clip; }
    virtual void SetOffset(int32_t x, int32_t y);
    virtual void SetClipFrame(int16_t base);
    virtual int16_t GetClipFrame() { return m_clipFrameBase; }
    virtual void MoveToKeyFrame(const char* label);
    virtual void MoveToKeyFrameIndex(uint32_t index);
    virtual int ExecuteCommand(int16_t command, int32_t p1, int32_t p2);
    // Arm (Stop) or disarm (Start) the key-frame actions; neither moves the animation.
    virtual void Stop() { m_actionsEnabled = 1; }
    virtual void Start() { m_actionsEnabled = 0; }
    virtual int32_t IsStopped() { return m_actionsEnabled; }
    virtual void SetSpeedPercent(int32_t percent);
    virtual uint32_t GetInterpolationCount() { return m_frames.GetCount(); }
    virtual void GetFramePosition(int32_t* position) { *position = m_framePosition; }
    virtual void SetFramePosition(int16_t frame) { m_framePosition = int32_t(frame) * 256; }
    virtual void OnKeyFrameReached(const GKeyFrame* keyFrame, int32_t index);
    virtual void ProcessKeyFrame();
    // Appends a frame; returns the new frame count.
    virtual uint32_t AddInterpolation(uint16_t image, int32_t x, int32_t y, uint8_t alpha,
                                      uint8_t keyFrame);
    virtual void AddKeyFrame(const char* label, uint8_t action, uint16_t param1, uint16_t param2,
                             uint8_t channelMask);

    // 1 when a key frame is current and text matches its label (text is a prefix of it).
    int IsAtKeyFrame(const char* text) const;

    // Read access for owners, loaders and tests.
    uint32_t GetKeyFrameCount() const { return m_keyFrames.GetCount(); }
    uint32_t GetFrameCount() const { return m_frames.GetCount(); }
    const GKeyFrame* GetKeyFrame(uint32_t index) const { return m_keyFrames.GetAt(index); }
    const GAnimationFrame* GetFrame(uint32_t index) const { return m_frames.GetAt(index); }
    int32_t GetSpeed() const { return m_speed; }
    int32_t GetCurrentKeyFrame() const { return m_currentKeyFrame; }
    int32_t GetWaitCounter() const { return m_waitCounter; }
    uint8_t GetChannelMask() const { return m_channelMask; }
    int16_t GetMode() const { return m_mode; }
    int32_t GetTargetKeyFrame() const { return m_targetKeyFrame; }

protected:
    // The state every loader starts from: no frames or key frames, rewound, all channels.
    void ResetAnimation();
    bool IsValidKeyFrame(int32_t index) const
    {
        return index >= 0 && uint32_t(index) < m_keyFrames.GetCount();
    }
    // Appends a key frame as given; false when memory runs out.
    bool PushKeyFrame(const GKeyFrame& keyFrame) { return m_keyFrames.PushBack(keyFrame); }
    bool PushFrame(const GAnimationFrame& frame) { return m_frames.PushBack(frame); }
    GKeyFrame* KeyFrameAt(uint32_t index) { return m_keyFrames.GetAt(index); }
    GAnimationFrame* FrameAt(uint32_t index) { return m_frames.GetAt(index); }

private:
    void CarryOutAction(const GKeyFrame& keyFrame);
    // Commands 1 and 2: jump to key frame index and report it.
    void EnterKeyFrame(int32_t index);

    GArray<GAnimationFrame> m_frames;
    GArray<GKeyFrame> m_keyFrames;
    GKeyFrameListener* m_listener = nullptr;
    int32_t m_offsetX = 0;
    int32_t m_offsetY = 0;
    GClip* m_clip = nullptr;
    int32_t m_speed = 256;
    int32_t m_framePosition = 0;
    int32_t m_currentKeyFrame = 0;
    int32_t m_waitCounter = 0;
    uint8_t m_channelMask = 0;
    int32_t m_state = kStateStopped;
    int16_t m_clipFrameBase = 0;
    int32_t m_actionsEnabled = 1;
    int16_t m_mode = 0;
    int32_t m_targetKeyFrame = -1;
};
