#pragma once
// Scripts for a keyframe animator. GAnimatorCommandSequence owns one animator and a list of
// command steps, each tagged with a sequence number; Start(n) runs the consecutive steps
// numbered n one after another. A step that plays to a key frame (commands 2 and 3) is done
// when the animator reports that key frame, so the sequence must be the animator's listener
// (the owner sets that). GAnimatorCommandGroup starts and updates several sequences together
// and hands their clips to a clip container.
//
// A sequence owns its steps and its animator (replaced or destroyed with it); a group owns its
// sequences. Main thread only: steps run from inside the animator's listener calls.

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/animation/keyframe_animator.h"

class GClipContainer;

struct GAnimatorCommandStep {
    uint16_t sequence = 0;
    int32_t p1 = 0;
    int32_t p2 = 0;
    int32_t command = 0; // 1..6 of GKeyFrameAnimator::ExecuteCommand
};

class GAnimatorCommandSequence : public GKeyFrameListener {
public:
    GAnimatorCommandSequence() = default;
    GAnimatorCommandSequence(const GAnimatorCommandSequence&) = delete;
    GAnimatorCommandSequence& operator=(const GAnimatorCommandSequence&) = delete;
    ~GAnimatorCommandSequence() override = default;

    void OnKeyFrame(GKeyFrameAnimator* animator, const GKeyFrame* keyFrame, int32_t index) override;

    virtual void ExecuteStep();
    virtual void OnStepDone();
    virtual int32_t IsRunning() { return m_running; }
    virtual void Update();
    virtual void Clear() { m_steps.clear(); }
    // Moves to the next step when it belongs to sequence number; 1 when it did.
    virtual int Advance(uint16_t number);
    // 1 when there is no step at index or it has another number.
    virtual int IsOtherStep(uint16_t number, int32_t index);
    virtual GAnimatorCommandStep* GetStep(int32_t index);
    // Takes the step; 0 for null.
    virtual int AddStep(std::unique_ptr<GAnimatorCommandStep> step);
    virtual void SetAnimator(std::unique_ptr<GKeyFrameAnimator> animator)
    {
        m_animator = std::move(animator);
    }
    virtual GKeyFrameAnimator* GetAnimator() { return m_animator.get(); }
    virtual void Start(uint16_t number);
    virtual int Next();

    int32_t GetCurrentStep() const { return m_currentStep; }
    int32_t GetTargetKeyFrame() const { return m_targetKeyFrame; }
    uint32_t GetStepCount() const { return uint32_t(m_steps.size()); }

private:
    std::vector<std::unique_ptr<GAnimatorCommandStep>> m_steps;
    std::unique_ptr<GKeyFrameAnimator> m_animator;
    int16_t m_currentStep = -1;
    int32_t m_targetKeyFrame = -1;
    uint16_t m_sequence = 65535;
    int32_t m_running = 0;
};

class GAnimatorCommandGroup {
public:
    GAnimatorCommandGroup() = default;
    GAnimatorCommandGroup(const GAnimatorCommandGroup&) = delete;
    GAnimatorCommandGroup& operator=(const GAnimatorCommandGroup&) = delete;
    virtual ~GAnimatorCommandGroup() = default;

    // Every member clip (of an existing animator) into or out of the container.
    virtual void AddClipsTo(GClipContainer* container);
    virtual void RemoveClipsFrom(GClipContainer* container);
    virtual void StartAll(uint16_t number);
    virtual void UpdateAll();
    virtual void SetValue(int32_t value) { m_value = value; }
    virtual GAnimatorCommandSequence* GetMember(int32_t index);
    // Takes the member; 0 for null.
    virtual int Add(std::unique_ptr<GAnimatorCommandSequence> member);
    virtual void Clear() { m_members.clear(); }
    // Deletes the member; 0 when there is none there (or it is not in the list).
    virtual int RemoveAt(int32_t index);
    virtual int Remove(GAnimatorCommandSequence* member);

    uint32_t GetCount() const { return uint32_t(m_members.size()); }

private:
    std::vector<std::unique_ptr<GAnimatorCommandSequence>> m_members;
    uint16_t m_sequence = 65535;
    int32_t m_value = 0;
};
