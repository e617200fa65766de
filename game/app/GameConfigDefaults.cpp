#include "game/app/GameConfigDefaults.h"

#include "engine/platform/input/CInput.h"

#include <cstring>

void SetDefaultGameConfig(tag_TOLQGAMECONFIG* config)
{
    tag_TOLQGAMECONFIG& c = *config;
    c.lobbyPort = kDefaultLobbyPort;
    c.upnp = 1;
    std::memset(c.loginId, 0, sizeof(c.loginId));
    c.fullScreen = 0;
    c.screenShake = 1;
    c.padVibration = 1;
    c.bgmVolume = 0;
    c.seVolume = 0;
    c.voiceVolume = 0;
    c.radarType = 1;
    c.storyDifficulty = 1;
    c.radioChat.clear();
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        c.keys[action] = CInput::GetDefaultKey(static_cast<uint8_t>(action));
        c.padElements[action] = action;
    }
    c.cameraSensitivity = 1.0f;
    c.mouseSensitivity = 1.0f;
    c.soundCount = 10;
    c.sound3D = 1;
    c.keyResponse = 2;
    c.sendByte = 0;
    c.friendlyFire = 0;
    c.replaySave = 1;
    c.replayCount = 10;
    c.openingMovie = 1;
}

void SetDefaultPlayData(tag_TOLQPLAYDATA* data)
{
    *data = tag_TOLQPLAYDATA{};
}

void SetDefaultPlayRecord(tag_TOLQPLAYRECORD* record)
{
    *record = tag_TOLQPLAYRECORD{};
}
