#include "platform/sound/module_player.h"

#include <xmp.h> // the frame record's layout only: the functions are looked up at run time

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/system/shared_library.h"

namespace platform {

// The libxmp functions we call, by their C signatures (xmp_context is a pointer).
struct ModuleApi {
    std::unique_ptr<SharedLibrary> library;
    void* (*createContext)() = nullptr;
    void (*freeContext)(void*) = nullptr;
    int (*loadModule)(void*, const char*) = nullptr;
    void (*releaseModule)(void*) = nullptr;
    int (*startPlayer)(void*, int, int) = nullptr;
    int (*playFrame)(void*) = nullptr;
    void (*getFrameInfo)(void*, xmp_frame_info*) = nullptr;
    void (*endPlayer)(void*) = nullptr;
    int (*setPosition)(void*, int) = nullptr;
};

namespace {

constexpr int kMinRate = 4000;
constexpr int kMaxRate = 49170;
std::string g_libraryName = "libxmp.so.4";

} // namespace

void SetModuleLibraryName(const char* soname)
{
    g_libraryName = soname ? soname : "libxmp.so.4";
}

std::unique_ptr<ModuleLibrary> ModuleLibrary::Load()
{
    auto api = std::make_shared<ModuleApi>();
    api->library = SharedLibrary::Open(g_libraryName.c_str());
    if (!api->library)
        return nullptr;
    const SharedLibrary& lib = *api->library;
    if (!lib.Find("xmp_create_context", api->createContext) ||
        !lib.Find("xmp_free_context", api->freeContext) ||
        !lib.Find("xmp_load_module", api->loadModule) ||
        !lib.Find("xmp_release_module", api->releaseModule) ||
        !lib.Find("xmp_start_player", api->startPlayer) ||
        !lib.Find("xmp_play_frame", api->playFrame) ||
        !lib.Find("xmp_get_frame_info", api->getFrameInfo) ||
        !lib.Find("xmp_end_player", api->endPlayer) ||
        !lib.Find("xmp_set_position", api->setPosition))
        return nullptr;
    return std::unique_ptr<ModuleLibrary>(new ModuleLibrary(std::move(api)));
}

ModuleLibrary::ModuleLibrary(std::shared_ptr<ModuleApi> api) : m_api(std::move(api)) {}
ModuleLibrary::~ModuleLibrary() = default;

std::unique_ptr<ModulePlayer> ModuleLibrary::CreatePlayer()
{
    void* context = m_api->createContext();
    if (!context)
        return nullptr;
    return std::unique_ptr<ModulePlayer>(new ModulePlayer(m_api, context));
}

// ---------------------------------------------------------------------------------------

ModulePlayer::ModulePlayer(std::shared_ptr<ModuleApi> api, void* context)
    : m_api(std::move(api)), m_context(context)
{
}

ModulePlayer::~ModulePlayer()
{
    FreeSong(1);
    m_api->freeContext(m_context);
}

int ModulePlayer::Init(ModulePlayerParams* params)
{
    if (!params)
        return -1;
    params->rate = std::clamp(params->rate, kMinRate, kMaxRate);
    m_rate = params->rate;
    return 0;
}

int ModulePlayer::Load(const char* path)
{
    if (!path)
        return 0;
    FreeSong(1);
    const std::string resolved = ResolvePath(path);
    if (m_api->loadModule(m_context, resolved.c_str()) != 0)
        return 0;
    m_loaded = true;
    return 1;
}

void ModulePlayer::FreeSong(int handle)
{
    if (handle != 1 || !m_loaded)
        return;
    if (m_started)
        m_api->endPlayer(m_context);
    m_api->releaseModule(m_context);
    m_loaded = m_started = m_playing = false;
    m_pending = nullptr;
    m_pendingFrames = 0;
}

void ModulePlayer::SelectSong(int handle)
{
    if (handle == 1 && m_loaded)
        Restart();
}

void ModulePlayer::SetStartPosition(int position)
{
    m_startPosition = std::max(0, position);
    if (m_started) {
        m_api->setPosition(m_context, m_startPosition);
        m_pending = nullptr; // the rest of a frame from before the jump
        m_pendingFrames = 0;
    }
}

void ModulePlayer::SetState(int state)
{
    if (state == kPlaying) {
        if (m_loaded)
            Restart();
    } else if (state == kEnded) {
        m_playing = false;
    }
}

void ModulePlayer::Restart()
{
    // A fresh start also resets libxmp's loop counter, which decides when the song ends.
    if (m_started)
        m_api->endPlayer(m_context);
    m_started = m_api->startPlayer(m_context, m_rate, 0) == 0;
    m_playing = m_started;
    m_pending = nullptr;
    m_pendingFrames = 0;
    if (m_started && m_startPosition > 0)
        m_api->setPosition(m_context, m_startPosition);
}

// Frame by frame rather than libxmp's whole-buffer call: that one pads the chunk in which the
// song ends with silence and reports the end only on the next call, a silent tail at every
// loop. Here the song's frames are counted exactly.
bool ModulePlayer::NextFrame()
{
    if (m_api->playFrame(m_context) != 0)
        return false;
    xmp_frame_info info;
    m_api->getFrameInfo(m_context, &info);
    // The song plays once: the first frame of its repeat is not heard.
    if (info.loop_count > 0 || !info.buffer || info.buffer_size < 0)
        return false;
    m_pending = static_cast<const int16_t*>(info.buffer);
    m_pendingFrames = info.buffer_size / 4;
    return true;
}

int ModulePlayer::Render(float* buffer, int frames)
{
    if (!buffer || frames <= 0)
        return 0;
    std::fill(buffer, buffer + frames * 2, 0.0f);
    if (!m_playing)
        return 0;
    int filled = 0;
    while (filled < frames) {
        if (m_pendingFrames == 0 && !NextFrame()) {
            m_playing = false;
            m_pending = nullptr;
            m_pendingFrames = 0;
            if (m_listener)
                m_listener->OnEvent(0, 0);
            break;
        }
        const int take = std::min(frames - filled, m_pendingFrames);
        for (int i = 0; i < take * 2; ++i)
            buffer[filled * 2 + i] = m_pending[i] / 32768.0f;
        m_pending += take * 2;
        m_pendingFrames -= take;
        filled += take;
    }
    return filled;
}

} // namespace platform
