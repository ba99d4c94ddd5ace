#include "graphics/animation/animator_command_sequence.h"

#include <algorithm>

#include "graphics/scene/clip_container.h"

void GAnimatorCommandSequence::OnKeyFrame(GKeyFrameAnimator* animator, const GKeyFrame* keyFrame,
                                          int32_t index)
{
    const GAnimatorCommandStep* step = GetStep(m_currentStep);
    if (step && (step->command == 2 || step->command == 3) && m_targetKeyFrame == index)
        OnStepDone();
}

void GAnimatorCommandSequence::ExecuteStep()
{
    const GAnimatorCommandStep* step = GetStep(m_currentStep);
    if (!m_animator || !step)
        return;
    if (!m_animator->ExecuteCommand(int16_t(step->command), step->p1, step->p2)) {
        OnStepDone();
        return;
    }
    m_running = 1;
    if (step->command == 2) {
        m_targetKeyFrame = step->p2;
    } else if (step->command == 3) {
        m_targetKeyFrame = step->p1;
    } else {
        m_targetKeyFrame = -1;
        OnStepDone();
    }
}

void GAnimatorCommandSequence::OnStepDone()
{
    m_running = 0;
    if (m_animator) {
        m_targetKeyFrame = -1;
        Next();
    }
}

void GAnimatorCommandSequence::Update()
{
    if (m_animator)
        m_animator->ApplyFrame();
}

int GAnimatorCommandSequence::Advance(uint16_t number)
{
    if (IsOtherStep(number, m_currentStep + 1))
        return 0;
    ++m_currentStep;
    return 1;
}

int GAnimatorCommandSequence::IsOtherStep(uint16_t number, int32_t index)
{
    const GAnimatorCommandStep* step = GetStep(index);
    return !step || step->sequence != number;
}

GAnimatorCommandStep* GAnimatorCommandSequence::GetStep(int32_t index)
{
    return index >= 0 && size_t(index) < m_steps.size() ? m_steps[size_t(index)].get() : nullptr;
}

int GAnimatorCommandSequence::AddStep(std::unique_ptr<GAnimatorCommandStep> step)
{
    // The current step is a 16-bit index.
    if (!step || m_steps.size() >= 32767)
        return 0;
    m_steps.push_back(std::move(step));
    return 1;
}

void GAnimatorCommandSequence::Start(uint16_t number)
{
    m_sequence = number;
    m_currentStep = -1;
    for (size_t i = 0; i < m_steps.size(); ++i) {
        if (m_steps[i]->sequence == number) {
            m_currentStep = int16_t(i);
            ExecuteStep();
            return;
        }
    }
}

int GAnimatorCommandSequence::Next()
{
    if (!Advance(m_sequence))
        return 0;
    ExecuteStep();
    return 1;
}

void GAnimatorCommandGroup::AddClipsTo(GClipContainer* container)
{
    for (const auto& member : m_members) {
        GKeyFrameAnimator* animator = member->GetAnimator();
        if (container && animator && animator->GetClip())
            container->AddClip(animator->GetClip());
    }
}

void GAnimatorCommandGroup::RemoveClipsFrom(GClipContainer* container)
{
    for (const auto& member : m_members) {
        GKeyFrameAnimator* animator = member->GetAnimator();
        if (container && animator && animator->GetClip())
            container->RemoveClip(animator->GetClip());
    }
}

void GAnimatorCommandGroup::StartAll(uint16_t number)
{
    m_sequence = number;
    for (const auto& member : m_members)
        member->Start(number);
}

void GAnimatorCommandGroup::UpdateAll()
{
    for (const auto& member : m_members)
        member->Update();
}

GAnimatorCommandSequence* GAnimatorCommandGroup::GetMember(int32_t index)
{
    return index >= 0 && size_t(index) < m_members.size() ? m_members[size_t(index)].get()
                                                          : nullptr;
}

int GAnimatorCommandGroup::Add(std::unique_ptr<GAnimatorCommandSequence> member)
{
    if (!member)
        return 0;
    m_members.push_back(std::move(member));
    return 1;
}

int GAnimatorCommandGroup::RemoveAt(int32_t index)
{
    if (!GetMember(index))
        return 0;
    m_members.erase(m_members.begin() + index);
    return 1;
}

int GAnimatorCommandGroup::Remove(GAnimatorCommandSequence* member)
{
    const auto it = std::find_if(m_members.begin(), m_members.end(),
                                 [member](const auto& m) { return m.get() == member; });
    if (!member || it == m_members.end())
        return 0;
    m_members.erase(it);
    return 1;
}
