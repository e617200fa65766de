#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Files the game looks up by a fixed name: the battle's event effects, its
// change and announcement sounds, the result and built-in battle music and
// the ready/go voices. Quiet, short stand-ins made by the engine's writers;
// the music lasts long enough for every loop point the battle uses.
namespace NamedFiles
{
struct NamedFile
{
    std::string name; // the record, e.g. "Effect\\Efc_step.efc"
    std::function<std::vector<uint8_t>()> make;
};

struct MusicTrack
{
    const char* name;
    float loopSeconds;
};

// The built-in battle music, by the setting's music index.
constexpr MusicTrack kBattleTracks[11] = {
    {"Bgm_plum.ogg", 6.985f},    {"Bgm_lierre.ogg", 1.349f},  {"Bgm_noce.ogg", 9.209f},
    {"Bgm_limone.ogg", 15.705f}, {"Bgm_cyneria.ogg", 5.291f}, {"Bgm_aprico.ogg", 11.845f},
    {"Bgm_alptraum.ogg", 2.268f}, {"Bgm_op.ogg", 0.0f},       {"Bgm_op_inst.ogg", 0.0f},
    {"Bgm_ed.ogg", 0.0f},        {"Bgm_ed_inst.ogg", 0.0f}};
constexpr MusicTrack kResultTracks[2] = {{"Bgm_win.ogg", 11.438f}, {"Bgm_lose.ogg", 13.992f}};
// The ready and go voices of the battle's opening call, by voice index.
constexpr const char* kReadyVoices[7][2] = {
    {"Vo_plum_ready.ogg", "Vo_plum_go.ogg"},         {"Vo_lierre_ready.ogg", "Vo_lierre_go.ogg"},
    {"Vo_noce_ready.ogg", "Vo_noce_go.ogg"},         {"Vo_limone_ready.ogg", "Vo_limone_go.ogg"},
    {"Vo_cyneria_ready.ogg", "Vo_cyneria_go.ogg"},   {"Vo_aprico_ready.ogg", "Vo_aprico_go.ogg"},
    {"Vo_alptraum_ready.ogg", "Vo_alptraum_go.ogg"}};
constexpr const char* kChangeSound = "Se_change_01.ogg";
// The announcement as the game names it (one "n").
constexpr const char* kAnnounceSound = "Se_annouce.ogg";
// Every track is at least this long: the latest loop point is 15.705 s.
constexpr double kTrackSeconds = 16.5;
// Music is mono at a low rate: eleven long tracks stay small and quick.
constexpr uint32_t kTrackRate = 11025;

// The sound files above, in list order.
std::vector<NamedFile> Sounds();
// The seventeen event effects, in the battle's order.
std::vector<NamedFile> Effects();
// The bytes of one event effect container of that name.
std::vector<uint8_t> EventEffect(const std::string& name, uint32_t index);
// The font faces of fonts 0 (small) and 1 (large), Shift-JIS, one a line.
std::vector<uint8_t> FontFaces();
}
