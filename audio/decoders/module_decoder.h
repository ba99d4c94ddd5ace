#pragma once
// Tracker modules through the module library adapter. The player renders fixed chunks of
// 2,048 stereo frames (8,192 bytes of 16-bit output); what a read does not take of the last
// chunk is carried over to the next read, so any read length is served. The stream player
// makes one module decoder and reuses it: Close keeps the player object.

#include <memory>

#include "audio/decoders/stream_decoder.h"
#include "platform/sound/module_player.h"

class GModuleDecoder;

class GModuleEventListener final : public platform::ModuleListener {
public:
    void OnEvent(int event, int argument) override;

    GModuleDecoder* m_owner = nullptr;
    bool m_ended = false;
};

class GModuleDecoder final : public GStreamDecoder {
public:
    static constexpr int kChunkFrames = 2048;
    static constexpr int kChunkBytes = kChunkFrames * 4;

    // library: borrowed from the stream player, which keeps it loaded for our lifetime.
    explicit GModuleDecoder(platform::ModuleLibrary* library);
    ~GModuleDecoder() override;

    // The sample rate on success, 0 when the library or its player is missing or refuses to
    // start (every later open then fails).
    int Init();
    int Open(const char* path, int startPosition) override;
    void Close() override;
    int Read(uint8_t* buffer, int32_t length, int32_t* count) override;
    int Rewind() override;

    bool HasEnded() const { return m_listener.m_ended; }

private:
    friend class GModuleEventListener;

    std::unique_ptr<platform::ModulePlayer> m_player;
    GModuleEventListener m_listener;
    platform::ModuleLibrary* m_library;
    int m_song = 0;
    float m_render[kChunkFrames * 2];
    int16_t m_carry[kChunkFrames * 2];
    int m_carryPosition = -1;       // bytes into m_carry; -1 = empty
    int m_carryBytes = kChunkBytes; // of m_carry that the song filled
};
