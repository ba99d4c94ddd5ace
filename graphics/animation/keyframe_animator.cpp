#include "graphics/animation/keyframe_animator.h"

#include <cstring>
#include <new>

#include "foundation/files/data_files.h"
#include "foundation/text/gstring.h"
#include "graphics/scene/clip.h"
#include "platform/files/file_system.h"

namespace {

constexpr const char* kInvalidKeyFrame =
    "cmaMoveToFrame-invalid command parameter: Invalid Keyframe!";
constexpr const char* kInvalidKeyFrames =
    "cmaMoveToFrame-invalid command parameter:: Invalid Keyframe!";

void Put16(uint8_t* p, int32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, int32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}
int16_t Get16(const uint8_t* p)
{
    return int16_t(uint16_t(p[0] | p[1] << 8));
}
int32_t Get32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

void PackKeyFrame(const GKeyFrame& k, uint8_t* p)
{
    std::memcpy(p, k.label, kKeyFrameLabelSize);
    p[20] = k.action;
    p[21] = 0; // reserved bytes are written as zero
    Put16(p + 22, k.param1);
    Put16(p + 24, k.param2);
    p[26] = k.channelMask;
    p[27] = 0;
    Put16(p + 28, k.frame);
    Put16(p + 30, k.rotate);
    Put16(p + 32, k.scale);
}

GKeyFrame UnpackKeyFrame(const uint8_t* p)
{
    GKeyFrame k;
    std::memcpy(k.label, p, kKeyFrameLabelSize);
    k.action = p[20];
    k.param1 = Get16(p + 22);
    k.param2 = Get16(p + 24);
    k.channelMask = p[26];
    k.frame = Get16(p + 28);
    k.rotate = Get16(p + 30);
    k.scale = Get16(p + 32);
    return k;
}

} // namespace

void GKeyFrame::SetLabel(const char* text)
{
    std::memset(label, 0, sizeof label);
    if (text)
        std::memcpy(label, text, strnlen(text, sizeof label));
}

uint32_t GKeyFrame::LabelLength() const
{
    return uint32_t(strnlen(label, sizeof label));
}

bool GKeyFrame::LabelEquals(const char* text) const
{
    const uint32_t n = LabelLength();
    return text && strnlen(text, sizeof label) == n && std::memcmp(text, label, n) == 0;
}

void GKeyFrameAnimator::ApplyFrame()
{
    if (!m_clip || m_frames.GetCount() == 0)
        return;
    if (m_state == kStatePlaying) {
        const uint32_t f = uint32_t(m_framePosition >> 8);
        if (f >= m_frames.GetCount()) {
            SetState(kStateStopped);
            return;
        }
        const GAnimationFrame r = m_frames[f];
        if (m_channelMask & kChannelImage) {
            m_clip->SetFrame(int32_t(uint32_t(int32_t(m_clipFrameBase) + r.image) << 8));
            m_clip->SetVisible(true);
        }
        if (m_channelMask & kChannelAlpha)
            m_clip->SetAlpha(r.alpha);
        if (m_channelMask & kChannelX)
            m_clip->SetX(int32_t(uint32_t(r.x) + uint32_t(m_offsetX)));
        if (m_channelMask & kChannelY)
            m_clip->SetY(int32_t(uint32_t(r.y) + uint32_t(m_offsetY)));
        if (r.keyFrame >= 0) {
            m_currentKeyFrame = r.keyFrame;
            ProcessKeyFrame();
        }
        m_framePosition = int32_t(uint32_t(m_framePosition) + uint32_t(m_speed));
    } else if (m_state == kStateWaiting) {
        if (m_waitCounter > 0)
            --m_waitCounter;
        else if (m_waitCounter == 0)
            SetState(kStatePlaying);
    }
}

void GKeyFrameAnimator::ProcessKeyFrame()
{
    if (!IsValidKeyFrame(m_currentKeyFrame))
        return;
    OnKeyFrameReached(&m_keyFrames[uint32_t(m_currentKeyFrame)], m_currentKeyFrame);
    // The listener may have moved or reloaded the animator.
    if (!IsValidKeyFrame(m_currentKeyFrame))
        return;
    const GKeyFrame record = m_keyFrames[uint32_t(m_currentKeyFrame)];
    m_channelMask = record.channelMask;
    if (m_actionsEnabled)
        CarryOutAction(record);
}

void GKeyFrameAnimator::CarryOutAction(const GKeyFrame& keyFrame)
{
    const int32_t p = keyFrame.param1;
    switch (keyFrame.action) {
    case kActionMoveToKeyFrame:
        // An unresolved or broken jump target (-1 from the loaders) is no jump at all.
        if (IsValidKeyFrame(p))
            m_framePosition = int32_t(m_keyFrames[uint32_t(p)].frame) * 256;
        break;
    case kActionSetSpeed:
        SetSpeedPercent(p);
        break;
    case kActionWait:
        m_waitCounter = p;
        SetState(kStateWaiting);
        break;
    case kActionStop:
        SetState(kStateStopped);
        break;
    case kActionSetMirror:
        if (m_clip)
            m_clip->SetOrientation(uint8_t(p));
        break;
    default:
        break;
    }
}

void GKeyFrameAnimator::OnKeyFrameReached(const GKeyFrame* keyFrame, int32_t index)
{
    if ((m_mode == 2 || m_mode == 3) && index == m_targetKeyFrame)
        Stop();
    if (m_listener)
        m_listener->OnKeyFrame(this, keyFrame, index);
}

void GKeyFrameAnimator::SetState(int32_t state)
{
    switch (state) {
    case kStatePlaying:
        if (m_listener)
            m_listener->OnState0(this);
        break;
    case kStateStopped:
        m_waitCounter = 0;
        m_framePosition = 0;
        m_currentKeyFrame = -1;
        if (m_listener)
            m_listener->OnState1(this);
        break;
    case kStateWaiting:
        if (m_listener)
            m_listener->OnState2(this);
        break;
    default:
        break;
    }
    m_state = state;
}

void GKeyFrameAnimator::SetOffset(int32_t x, int32_t y)
{
    m_offsetX = x;
    m_offsetY = y;
}

void GKeyFrameAnimator::SetClipFrame(int16_t base)
{
    m_clipFrameBase = base;
    if (m_clip)
        m_clip->SetFrame(int32_t(base) * 256);
}

void GKeyFrameAnimator::MoveToKeyFrame(const char* label)
{
    if (!label)
        return;
    for (uint32_t i = 0; i < m_keyFrames.GetCount(); ++i) {
        if (StrDifferN(label, m_keyFrames[i].label, kKeyFrameLabelSize) == 0) {
            MoveToKeyFrameIndex(i);
            return;
        }
    }
}

void GKeyFrameAnimator::MoveToKeyFrameIndex(uint32_t index)
{
    if (index >= m_keyFrames.GetCount())
        return;
    m_currentKeyFrame = int32_t(index);
    m_framePosition = int32_t(m_keyFrames[index].frame) * 256;
    ApplyFrame();
}

int GKeyFrameAnimator::IsAtKeyFrame(const char* text) const
{
    if (!text || !IsValidKeyFrame(m_currentKeyFrame))
        return 0;
    return StrDifferN(text, m_keyFrames[uint32_t(m_currentKeyFrame)].label, kKeyFrameLabelSize) ==
           0;
}

void GKeyFrameAnimator::SetSpeedPercent(int32_t percent)
{
    if (percent > 100)
        m_speed = 256;
    else if (percent < -100)
        m_speed = -256;
    else
        m_speed = percent * 256 / 100;
}

void GKeyFrameAnimator::EnterKeyFrame(int32_t index)
{
    const GKeyFrame& k = m_keyFrames[uint32_t(index)];
    m_currentKeyFrame = index;
    m_framePosition = int32_t(k.frame) * 256;
    m_channelMask = k.channelMask;
    OnKeyFrameReached(&k, index);
}

int GKeyFrameAnimator::ExecuteCommand(int16_t command, int32_t p1, int32_t p2)
{
    m_targetKeyFrame = -1;
    switch (command) {
    case 1:
        if (!IsValidKeyFrame(p1)) {
            ShowAlert(kInvalidKeyFrame);
            return 0;
        }
        m_mode = 1;
        EnterKeyFrame(p1);
        break;
    case 2:
        if (!IsValidKeyFrame(p1) || !IsValidKeyFrame(p2)) {
            ShowAlert(kInvalidKeyFrames);
            return 0;
        }
        m_mode = 2;
        m_targetKeyFrame = p2;
        EnterKeyFrame(p1);
        if ((p2 >= p1 && m_speed < 0) || (p2 < p1 && m_speed > 0))
            m_speed = -m_speed;
        break;
    case 3: {
        if (!IsValidKeyFrame(p1)) {
            ShowAlert(kInvalidKeyFrames);
            return 0;
        }
        m_mode = 3;
        m_targetKeyFrame = p1;
        SetSpeedPercent(p2);
        // Run toward the target's frame, so that its report (which the command sequences
        // wait for) does arrive; at the target the given sign stands.
        const int64_t target = int64_t(m_keyFrames[uint32_t(p1)].frame) * 256;
        if ((m_framePosition < target && m_speed < 0) || (m_framePosition > target && m_speed > 0))
            m_speed = -m_speed;
        break;
    }
    case 4:
        m_mode = 4;
        m_waitCounter = p1;
        SetState(kStateWaiting);
        break;
    case 5:
        m_mode = 5;
        SetState(kStateStopped);
        break;
    case 6:
        m_mode = 6;
        SetSpeedPercent(p1);
        break;
    default:
        return 0;
    }
    Start();
    return 1;
}

uint32_t GKeyFrameAnimator::AddInterpolation(uint16_t image, int32_t x, int32_t y, uint8_t alpha,
                                             uint8_t keyFrame)
{
    GAnimationFrame f;
    f.image = int16_t(image);
    f.x = x;
    f.y = y;
    f.alpha = alpha;
    f.keyFrame = int8_t(keyFrame);
    m_frames.PushBack(f);
    return m_frames.GetCount();
}

void GKeyFrameAnimator::AddKeyFrame(const char* label, uint8_t action, uint16_t param1,
                                    uint16_t param2, uint8_t channelMask)
{
    GKeyFrame k;
    k.action = action;
    k.SetLabel(label);
    k.param1 = int16_t(param1);
    k.param2 = int16_t(param2);
    k.channelMask = channelMask;
    m_keyFrames.PushBack(k);
}

void GKeyFrameAnimator::ResetAnimation()
{
    m_keyFrames.RemoveRange(0, m_keyFrames.GetCount());
    m_frames.RemoveRange(0, m_frames.GetCount());
    m_waitCounter = 0;
    m_framePosition = 0;
    m_currentKeyFrame = -1;
    m_channelMask = 255;
}

int GKeyFrameAnimator::SaveToMemory(std::unique_ptr<uint8_t[]>* buffer, uint32_t* size)
{
    if (buffer)
        buffer->reset();
    if (size)
        *size = 0;
    const uint32_t k = m_keyFrames.GetCount();
    const uint32_t f = m_frames.GetCount();
    if (!buffer || !size || f == 0 || f > kMaxPackedFrames || k > kMaxPackedKeyFrames)
        return 0;
    const uint32_t total = kPackedHeaderSize + kPackedKeyFrameSize * k + kPackedFrameSize * f;
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[total]);
    if (!out)
        return 0;
    uint8_t* p = out.get();
    p[0] = uint8_t(k);
    Put16(p + 1, int32_t(f));
    p += kPackedHeaderSize;
    for (uint32_t i = 0; i < k; ++i, p += kPackedKeyFrameSize)
        PackKeyFrame(m_keyFrames[i], p);
    for (uint32_t i = 0; i < f; ++i, p += kPackedFrameSize) {
        const GAnimationFrame& r = m_frames[i];
        p[0] = r.alpha;
        Put16(p + 1, r.image);
        Put32(p + 3, r.x);
        Put32(p + 7, r.y);
    }
    *buffer = std::move(out);
    *size = total;
    return 1;
}

int GKeyFrameAnimator::LoadFromMemory(const uint8_t* image, uint32_t size)
{
    if (!image || size < kPackedHeaderSize)
        return 0;
    const uint32_t k = image[0];
    const uint32_t f = uint16_t(Get16(image + 1));
    if (uint64_t(size) <
        kPackedHeaderSize + uint64_t(kPackedKeyFrameSize) * k + uint64_t(kPackedFrameSize) * f)
        return 0;
    // Everything is checked before anything changes, so a refused image leaves us as we were.
    GArray<GKeyFrame> keyFrames;
    GArray<GAnimationFrame> frames;
    if (!keyFrames.Reserve(k ? k : 1) || !frames.Reserve(f ? f : 1))
        return 0;
    const uint8_t* p = image + kPackedHeaderSize;
    for (uint32_t i = 0; i < k; ++i, p += kPackedKeyFrameSize) {
        const GKeyFrame key = UnpackKeyFrame(p);
        if (key.action == kActionMoveToKeyFrame && (key.param1 < -1 || key.param1 >= int32_t(k)))
            return 0;
        keyFrames.PushBack(key);
    }
    for (uint32_t i = 0; i < f; ++i, p += kPackedFrameSize) {
        GAnimationFrame r;
        r.alpha = p[0];
        r.image = Get16(p + 1);
        r.x = Get32(p + 3);
        r.y = Get32(p + 7);
        for (uint32_t j = k; j-- > 0;) {
            if (keyFrames[j].frame == int32_t(i)) {
                r.keyFrame = int8_t(j);
                break;
            }
        }
        frames.PushBack(r);
    }
    SetState(kStateStopped);
    ResetAnimation();
    m_keyFrames = std::move(keyFrames);
    m_frames = std::move(frames);
    return 1;
}

int GKeyFrameAnimator::SaveToFile(const char* fileName)
{
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t size = 0;
    if (!fileName || !SaveToMemory(&buffer, &size))
        return 0;
    return platform::ReplaceFile(fileName, buffer.get(), size) ==
           platform::ReplaceResult::kReplaced;
}

int GKeyFrameAnimator::LoadFromFile(const char* fileName)
{
    if (!fileName)
        return 0;
    uint32_t length = 0;
    const std::unique_ptr<char[]> bytes = ReadWholeFile(fileName, &length);
    if (!bytes)
        return 0;
    return LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.get()), length);
}
