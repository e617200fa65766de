// Writes seed files for the save-file fuzz target: each file as a first
// start saves it, and filled ones.
#include "SeedFile.h"

#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    tag_TOLQGAMECONFIG config;
    SetDefaultGameConfig(&config);
    tag_TOLQPLAYDATA play;
    tag_TOLQPLAYRECORD record = {};
    bool ok = WriteSeed(folder, "config_default", EncodeGameConfig(config));
    ok = ok && WriteSeed(folder, "play_default", EncodePlayData(play));
    ok = ok && WriteSeed(folder, "record_default", EncodePlayRecord(record));

    config.radioChat.resize(kRadioChatsPerCharacter);
    std::strcpy(config.radioChat[0].text, "Go!");
    std::strcpy(config.loginId, "someone");
    play.characters.resize(2);
    play.weapons.resize(3);
    play.clothes.resize(1);
    play.missions.resize(2);
    play.userMusic = {"Bgm\\Song.wav"};
    record.records.resize(2);
    record.records[1].offline[0] = 9;
    ok = ok && WriteSeed(folder, "config_filled", EncodeGameConfig(config));
    ok = ok && WriteSeed(folder, "play_filled", EncodePlayData(play));
    ok = ok && WriteSeed(folder, "record_filled", EncodePlayRecord(record));
    return ok ? 0 : 1;
}
