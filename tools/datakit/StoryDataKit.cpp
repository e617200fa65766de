#include "tools/datakit/StoryDataKit.h"

#include "engine/core/CByteWriter.h"
#include "engine/core/GameText.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"
#include "game/story/CStoryWriter.h"
#include "game/story/StoryFiles.h"
#include "tools/datakit/GameDataKit.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <set>

namespace
{
struct Route
{
    const char* name;     // as the character definition is named
    const char* spoken;   // as the texts call the character
};

// In character order: route r is character r's.
constexpr Route kRoutes[GameDataKit::kCharacters] = {
    {"Aria", "アリア"}, {"Bram", "ブラム"},   {"Cleo", "クレオ"}, {"Dax", "ダックス"},
    {"Edda", "エッダ"}, {"Finn", "フィン"}, {"Gale", "ゲイル"}, {"Guide", "ガイド"},
};

constexpr const char* kStage = GameDataKit::kStageName;
const char* const kLimitTexts[5] = {"2分30秒", "5分", "10分", "15分", "なし"};
const char* const kMissionNames[7] = {"腕試し", "包囲突破", "護衛任務", "乱戦", "耐久戦", "一騎打ち", "総力戦"};

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// A text field: the UTF-8 source in Shift-JIS, in double quotes.
std::string Quoted(const std::string& utf8)
{
    return "\"" + ToGameText(utf8) + "\"";
}

std::string Command(const char* word, std::initializer_list<std::string> fields)
{
    std::string line = word;
    if (fields.size() == 0)
        return line + "\n";
    line += "(";
    bool first = true;
    for (const std::string& field : fields)
    {
        line += (first ? "" : ", ") + field;
        first = false;
    }
    return line + ")\n";
}

std::string Bytes(uint32_t count, uint8_t value)
{
    std::string text;
    for (uint32_t i = 0; i < count; ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(value);
    return text;
}

std::string Names(const std::vector<std::string>& names)
{
    std::string text = std::to_string(names.size());
    for (const std::string& name : names)
        text += ", \"" + name + "\"";
    return text;
}

struct Fighter
{
    uint32_t character;
    uint8_t cpuLevel;
    uint8_t team;
    int64_t startPoint; // -1: random
    std::vector<std::string> weapons;
    std::vector<std::string> clothes;
};

struct Battle
{
    uint32_t teamBattle;
    uint8_t music;
    uint8_t rule;
    uint8_t limit;
    uint8_t timeLimit;
    uint8_t npcCount;
    std::vector<Fighter> fighters;
};

const std::string& Claymore()
{
    static const std::string name = ToGameText("クレイモア");
    return name;
}

// The battle setting fields in file order, one entry a line.
std::string BattleCommand(const char* word, const Battle& b)
{
    std::string text = std::string(word) + "(" + std::to_string(b.fighters.size()) + ", " +
                       std::to_string(b.teamBattle) + ", // players, team battle\n";
    text += "    0, " + std::to_string(b.music) + ", " + std::to_string(b.rule) + ", " + std::to_string(b.limit) + ", " +
            std::to_string(b.timeLimit) + ", " + std::to_string(b.npcCount) +
            ", // stage, music, rule, limit, time limit, NPCs\n";
    text += "    " + Bytes(6, 1) + ", // item kinds\n";
    text += "    " + Bytes(17, 1) + ", // weapon classes\n";
    for (size_t i = 0; i < b.fighters.size(); ++i)
    {
        const Fighter& f = b.fighters[i];
        text += "    // player " + std::to_string(i) + "\n    1, 0, 1, 0, 1, 1, 0, ";
        if (i > 0)
            text += std::to_string(f.cpuLevel) + ", ";
        text += std::to_string(f.character) + ", " + std::to_string(f.team) + ", " + std::to_string(f.startPoint) +
                ",\n    " + Bytes(27, 0) + ",\n    " + Names(f.weapons);
        if (i > 0)
            text += ", " + Names(f.clothes);
        text += i + 1 < b.fighters.size() ? ",\n" : ")\n";
    }
    return text;
}

std::string Picture(uint32_t character)
{
    return std::string("Story_") + kRoutes[character].name + ".dds";
}

std::string Voice(uint32_t route, uint32_t chapter, uint32_t line)
{
    return std::string("Vo_") + kRoutes[route].name + "_0" + std::to_string(chapter) + "_" + std::to_string(line) +
           ".ogg";
}

std::string ChapterName(uint32_t route, uint32_t chapter)
{
    return std::string(kRoutes[route].name) + "_0" + std::to_string(chapter);
}

// x, y, text, interval, [display time], scale, font, colour, voice.
std::string Text(const std::string& utf8, double interval, double displayTime, uint8_t font, const char* color,
                 const std::string& voice)
{
    const bool timed = displayTime > 0.0;
    std::string text = std::string(timed ? "ShowTextTime" : "ShowText") + "(80, 540, " + Quoted(utf8) + ", " +
                       Number(interval) + ", ";
    if (timed)
        text += Number(displayTime) + ", ";
    return text + "1, " + std::to_string(font) + ", " + color + ", \"" + voice + "\")\n";
}

Fighter Hero(uint32_t character, int64_t startPoint)
{
    return {character, 0, 0, startPoint, {Claymore(), "Rifle", "Launcher"}, {}};
}

// Chapter 1: the route's character meets its rival, a first battle, and
// on to chapter 2.
std::string FirstChapter(uint32_t r)
{
    const uint32_t rival = (r + 1) % GameDataKit::kCharacters;
    const std::string me = kRoutes[r].spoken;
    const std::string them = kRoutes[rival].spoken;
    const std::string next = "\"" + ChapterName(r, 2) + "\"";
    std::string s = "// " + std::string(kRoutes[r].name) + ", chapter 1: " + kRoutes[r].name + " meets " +
                    kRoutes[rival].name + " in the arena.\n";
    s += Command("SetStage", {"\"" + std::string(kStage) + "\""});
    s += Command("SetCamera", {"0", "6", "-24", "0", "1", "0", "0"});
    s += Command("ScreenColor", {"0", "0", "0", "1", "0"});
    s += Command("PlayBgm", {"0", "0", "2", "1", "\"Bgm_op.ogg\""});
    s += Command("ScreenColor", {"0", "0", "0", "0", "1"});
    s += Command("ShowWindow", {"0.3"});
    s += Command("ImageRegister", {"-40", "0", "\"" + Picture(r) + "\"", "0", "0", "0.5", "0", "0"});
    s += Text(me + "「ここが試験場……。」", 0.05, 0.0, 0, "1, 1, 1, 1", Voice(r, 1, 1));
    s += Command("ImageRegister", {"480", "0", "\"" + Picture(rival) + "\"", "1", "1", "0.5", "0", "1"});
    s += Command("ChangeFace", {"0.2", "0.4", "3", "1"});
    s += Command("SetCamera", {"12", "4", "-14", "0", "1.5", "0", "3"});
    s += Text(them + "「待っていたよ、" + me + "。」", 0.04, 2.5, 1, "1, 0.9, 0.6, 1", Voice(r, 1, 2));
    s += Command("ChangeColor", {"0.5", "1", "0.8", "0.8", "1", "1"});
    s += Command("PlaySound", {"0", "1", "0", "0", "\"Se_announce.wav\""});
    s += Command("ScreenQuake", {"6", "0", "1"});
    s += Text(me + "「……勝負よ！」 Round one!", 0.03, 0.0, 0, "1, 0.85, 0.3, 1", Voice(r, 1, 3));
    s += Command("NoShowText", {});
    s += Command("ImageRegisterFree", {"0.5", "1"});
    s += Command("Wait", {"0.5"});
    s += Command("NoShowWindow", {"0.3"});
    s += Command("StopBgm", {"1", "1", "\"Bgm_op.ogg\""});
    const Fighter rivalFighter{rival, 1, 1, 1, {"Sabre"}, {"Hat"}};
    s += BattleCommand("BattleOption", {0, 0, 4, 4, 2, 0, {Hero(r, 0), rivalFighter}});
    s += Command("ShowWindow", {"0"});
    s += Text(me + "「まだ先がある。」", 0.05, 0.0, 0, "1, 1, 1, 1", "");
    s += Command("NextScene", {next, next, next, next, next});
    return s;
}

// Chapter 2: the last battle against two, and the ending.
std::string SecondChapter(uint32_t r)
{
    const uint32_t first = (r + 1) % GameDataKit::kCharacters;
    const uint32_t second = (r + 2) % GameDataKit::kCharacters;
    const std::string me = kRoutes[r].spoken;
    std::string s = "// " + std::string(kRoutes[r].name) + ", chapter 2: the last battle.\n";
    s += Command("SetStage", {"\"" + std::string(kStage) + "\""});
    s += Command("SetCamera", {"0", "10", "-30", "0", "0", "0", "0"});
    s += Command("PlayBgm", {"7.717", "-300", "0", "1", "\"Bgm_custom.ogg\""});
    s += Command("ShowWindow", {"0.3"});
    s += Command("ImageRegister", {"-40", "0", "\"" + Picture(r) + "\"", "2", "3", "1", "0", "0"});
    s += Text(me + "「最後の戦いだ。」 The last one.", 0.05, 0.0, 0, "1, 1, 1, 1", Voice(r, 2, 1));
    s += Command("ScreenColor", {"1", "1", "1", "0.5", "0.3"});
    s += Command("ScreenColor", {"1", "1", "1", "0", "0.3"});
    s += Command("NoShowText", {});
    s += Command("NoShowWindow", {"0"});
    s += Command("StopBgm", {"0", "1", "\"Bgm_custom.ogg\""});
    const Fighter one{first, 3, 1, -1, {"Carbine"}, {"Coat"}};
    const Fighter two{second, 3, 2, -1, {"Sabre", "Launcher"}, {"Hat", "Coat"}};
    s += BattleCommand("LastBattleOption", {0, 6, 4, 4, 4, 0, {Hero(r, -1), one, two}});
    s += Command("ShowWindow", {"0.3"});
    s += Text(me + "「これで終わり。」", 0.05, 2.0, 0, "0.8, 0.9, 1, 1", Voice(r, 2, 2));
    s += Command("ImageRegisterFree", {"1", "0"});
    s += Command("NoShowWindow", {"0.5"});
    s += Command("Ending", {});
    return s;
}

// How a mission is ranked: by the knockouts the player scores, or by the
// whole seconds a win leaves. The battle compares each threshold with both
// (a loss leaves no seconds to count), so each kind keeps the other out of
// reach: a knockout mission ends only when the time runs out (its count
// limit lies beyond any battle; rule 7 ends when the player falls), and a
// time mission's thresholds start past any knockout count.
bool RankedByTime(uint8_t rule)
{
    return rule >= 4 && rule <= 6;
}

// Rules rotate through all eight, player counts through 2 to 8. Knockout
// missions last 2:30 or 5:00 (rule 7 every other round without a limit,
// until the player falls); time missions have one of the four limits.
// Player 1 is the target of rules 5 and 6: an enemy to down under rule 5,
// the player's teammate to guard under rule 6, where at least one enemy is
// left to down (with none the battle would be won before it began).
Battle MissionBattle(uint32_t m)
{
    constexpr uint8_t kBeyondReach = 99;
    constexpr uint8_t kNoTimeLimit = 4;
    Battle b{};
    b.rule = static_cast<uint8_t>(m % 8);
    b.teamBattle = b.rule == 2 || b.rule == 3 ? 1 : 0;
    b.music = static_cast<uint8_t>(m % 11);
    b.limit = b.rule == 5 || b.rule == 6 ? 1 : kBeyondReach;
    if (RankedByTime(b.rule))
        b.timeLimit = static_cast<uint8_t>((m + m / 8) % 4);
    else if (b.rule == 7)
        b.timeLimit = (m / 8) % 2 == 0 ? kNoTimeLimit : 0;
    else
        b.timeLimit = static_cast<uint8_t>((m / 8) % 2);
    b.npcCount = static_cast<uint8_t>((m / 8) % 4);
    const bool guard = b.rule == 6;
    const uint32_t players = std::max<uint32_t>(2 + m % 7, guard ? 3 : 2);
    b.fighters.push_back(Hero(m % 7, 0));
    static const char* const kWeapons[3] = {"Sabre", "Rifle", "Carbine"};
    for (uint32_t i = 1; i < players; ++i)
    {
        Fighter f{(m + i) % GameDataKit::kCharacters, static_cast<uint8_t>((m + i) % 5),
                  static_cast<uint8_t>(b.teamBattle != 0 ? i % 2 : i % 4), static_cast<int64_t>(i), {kWeapons[i % 3]},
                  {}};
        if (i % 2 == 1)
            f.clothes.push_back(i % 4 == 1 ? "Hat" : "Coat");
        if (guard && i == b.limit)
            f.team = b.fighters[0].team;
        b.fighters.push_back(f);
    }
    return b;
}

// The seven thresholds, rank 0 ("--") to 6 ("S"). Knockouts: one for E up
// to ten for S in 2:30, twice as many in 5:00 and without a limit. Seconds:
// shares of the time limit, from a fifteenth for E (never fewer than ten,
// more knockouts than any stand-in battle gives) to four fifths for S.
std::vector<uint32_t> Thresholds(const Battle& battle)
{
    static const uint32_t kKnockouts[7] = {0, 1, 2, 3, 5, 7, 10};
    static const uint32_t kSecondsPerMille[7] = {0, 67, 200, 350, 500, 650, 800};
    static const uint32_t kLimitSeconds[4] = {150, 300, 600, 900};
    std::vector<uint32_t> thresholds;
    for (uint32_t k = 0; k < 7; ++k)
    {
        if (RankedByTime(battle.rule))
            thresholds.push_back(std::max<uint32_t>(kLimitSeconds[battle.timeLimit] * kSecondsPerMille[k] / 1000,
                                                    k == 0 ? 0 : 10));
        else
            thresholds.push_back(kKnockouts[k] * (battle.timeLimit == 0 ? 1 : 2));
    }
    return thresholds;
}

// What the player is asked to do, by rule.
std::string Task(const Battle& battle)
{
    static const char* const kTasks[8] = {
        "制限時間内にできるだけ多く撃破せよ。 "
        "Score as many knockouts as you can before the time is up.",
        "メダルを集めつつ撃破せよ。 Collect medals and score knockouts until the time is up.",
        "チームで撃破数を稼げ。 Score knockouts for your team until the time is up.",
        "チームでジュエルを集めつつ撃破せよ。 Collect jewels with your team and score knockouts.",
        "最後の一人になれ。早いほど高評価。 Be the last one standing; the sooner, the better.",
        "標的を倒せ。早いほど高評価。 Down the target; the sooner, the better.",
        "標的を守り、敵を全滅させよ。早いほど高評価。 "
        "Guard the target and down every enemy; the sooner, the better.",
        "倒れるまでに撃破を稼げ。 Score knockouts until you fall.",
    };
    return kTasks[battle.rule % 8];
}

std::string RankCondition(const Battle& battle, const std::vector<uint32_t>& thresholds)
{
    static const char* const kLetters[7] = {"", "E", "D", "C", "B", "A", "S"};
    std::string text = RankedByTime(battle.rule) ? "勝利時の残り秒数で評価：" : "撃破数で評価：";
    for (uint32_t k = 6; k >= 1; --k)
        text += std::string(kLetters[k]) + std::to_string(thresholds[k]) + (k > 1 ? " " : "");
    return text;
}

std::string Mission(uint32_t m)
{
    const Battle battle = MissionBattle(m);
    const std::vector<uint32_t> thresholds = Thresholds(battle);
    char title[64];
    std::snprintf(title, sizeof(title), "ミッション%02u：", m + 1);
    std::string enemies;
    for (size_t i = 1; i < battle.fighters.size(); ++i)
        enemies += (i == 1 ? "" : "、") + std::string(kRoutes[battle.fighters[i].character].spoken);
    std::string s = "// Mission " + std::to_string(m + 1) + ": rule " + std::to_string(battle.rule) + ", " +
                    std::to_string(battle.fighters.size()) + " players, ranked by " +
                    (RankedByTime(battle.rule) ? "the seconds a win leaves" : "knockouts") + ".\n";
    s += "MissionHeader(" + Quoted(std::string(title) + kMissionNames[m % 7]) + ",\n    " + Quoted(Task(battle)) +
         ",\n    " + Quoted(kRoutes[m % 7].spoken) + ", " + Quoted(enemies) + ", " +
         Quoted(kLimitTexts[battle.timeLimit]) + ",\n    " + Quoted(RankCondition(battle, thresholds)) + ",\n    ";
    for (uint32_t k = 0; k < 7; ++k)
        s += std::to_string(thresholds[k]) + (k < 6 ? ", " : ")\n");
    s += BattleCommand("BattleOption", battle);
    return s;
}

std::vector<uint8_t> ToBytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Reads a text form and writes its binary form with the game's classes.
template <class T>
bool Convert(const std::string& name, std::vector<uint8_t>* bytes, std::string* error)
{
    T script;
    CByteWriter writer;
    const bool converted =
        script.LoadMemory(name.c_str(), bytes->data(), static_cast<uint32_t>(bytes->size()), error) &&
        CStoryWriter::Encode(script, &writer, error);
    script.Release();
    if (converted)
        *bytes = writer.GetBytes();
    return converted;
}
}

std::vector<StoryDataKit::ScriptFile> StoryDataKit::Files()
{
    std::vector<ScriptFile> files;
    for (uint32_t r = 0; r < GameDataKit::kCharacters; ++r)
    {
        files.push_back({"Story\\" + ChapterName(r, 1) + ".stt", ToBytes(::FirstChapter(r))});
        files.push_back({"Story\\" + ChapterName(r, 2) + ".stt", ToBytes(SecondChapter(r))});
    }
    for (uint32_t m = 0; m < kMissions; ++m)
    {
        char name[32];
        std::snprintf(name, sizeof(name), "Mission\\Mission_%02u.mit", m + 1);
        files.push_back({name, ToBytes(Mission(m))});
    }
    return files;
}

std::string StoryDataKit::FirstChapter(uint32_t character)
{
    return character < GameDataKit::kCharacters ? ChapterName(character, 1) : std::string();
}

std::vector<std::string> StoryDataKit::Pictures()
{
    std::vector<std::string> pictures;
    for (uint32_t r = 0; r < GameDataKit::kCharacters; ++r)
        pictures.push_back(Picture(r));
    return pictures;
}

std::vector<std::string> StoryDataKit::Voices()
{
    std::vector<std::string> voices;
    for (uint32_t r = 0; r < GameDataKit::kCharacters; ++r)
    {
        for (uint32_t line = 1; line <= 3; ++line)
            voices.push_back(Voice(r, 1, line));
        for (uint32_t line = 1; line <= 2; ++line)
            voices.push_back(Voice(r, 2, line));
    }
    return voices;
}

std::string StoryDataKit::StaffRoll()
{
    static const char* const kLines[] = {
        "48,QOR",
        "24,",
        "32,Stand-in Staff",
        "24,",
        "28,Programming",
        "24,The Team",
        "24,",
        "28,Story",
        "24,Stand-in Scripts",
        "24,",
        "28,スペシャルサンクス",
        "24,And You",
    };
    std::string text;
    for (const char* line : kLines)
        text += ToGameText(line) + "\n";
    return text;
}

bool StoryDataKit::ToPackedForm(std::string* name, std::vector<uint8_t>* bytes, std::string* error)
{
    const bool story = IsTextStoryPath(name->c_str(), ".stt");
    if (!story && !IsTextStoryPath(name->c_str(), ".mit"))
        return true;
    if (!(story ? Convert<CStory>(*name, bytes, error) : Convert<CMission>(*name, bytes, error)))
        return false;
    name->replace(name->size() - 4, 4, story ? ".str" : ".mis");
    return true;
}

int StoryDataKit::WriteStaffRoll(const std::string& folder, std::string* error)
{
    const std::string path = folder.empty() ? kStaffRollName : folder + "\\" + kStaffRollName;
    const std::string text = StaffRoll();
    CSafeFileWriter file;
    if (file.Open(path.c_str()) && file.Write(text.data(), text.size()) && file.Commit())
        return 1;
    *error = "\"" + path + "\" can't be written";
    return 0;
}
