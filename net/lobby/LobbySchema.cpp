// The room and random-match schemas, the rank bands and the host
// preferences, with their captions (UTF-8 here, Shift-JIS where they are
// handed out).
#include "net/lobby/LobbySchema.h"

#include "engine/core/GameText.h"

namespace
{
const char* const kWeaponCaptions[] = {"無制限", "初期のみ"};
const char* const kTypeCaptions[] = {"シングルバトル", "チームバトル", "どちらでも"};
const char* const kRuleCaptions[] = {"ポイントバトル", "メダルバトル", "どちらでも"};
const char* const kCpuCaptions[] = {"有り", "どちらでも", "無し"};
const char* const kPointCaptions[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "どれでも"};

const tag_KVRLOBBYATTRIBUTE kRoomSchema[kLobbyRoomAttributeCount] = {
    {"武器", 1, 0, 2, 0, 0, kWeaponCaptions},
};

const tag_KVRLOBBYATTRIBUTE kMatchSchema[kLobbyMatchAttributeCount] = {
    {"対戦タイプ", 1, 0, 3, 2, 255, kTypeCaptions},
    {"対戦ルール", 1, 1, 3, 2, 255, kRuleCaptions},
    {"武器", 1, 2, 2, 0, 255, kWeaponCaptions},
    {"ＣＰＵ参加", 1, 3, 3, 1, 255, kCpuCaptions},
    {"ポイント", 1, 4, 11, 10, 255, kPointCaptions},
};

const char* const kRankBandCaptions[kLobbyRankBandCount] = {
    "0～19",  "20～39", "40～59", "60～79", "80～99", "20未満", "40未満",
    "60未満", "80未満", "20以上", "40以上", "60以上", "80以上", "無制限",
};

const char* const kHostPreferenceCaptions[kLobbyHostPreferenceCount] = {
    "ホスト限定", "ホスト優先", "どちらでも", "クライアント優先", "クライアント限定",
};
} // namespace

const tag_KVRLOBBYATTRIBUTE* GetLobbyRoomSchema()
{
    return kRoomSchema;
}

const tag_KVRLOBBYATTRIBUTE* GetLobbyMatchSchema()
{
    return kMatchSchema;
}

const char* GetLobbyAttributeName(const tag_KVRLOBBYATTRIBUTE* attribute)
{
    return attribute != nullptr ? GameText(attribute->name) : "";
}

const char* GetLobbyAttributeCaption(const tag_KVRLOBBYATTRIBUTE* attribute, int32_t value)
{
    if (attribute == nullptr || value < 0 || value >= attribute->choices)
        return "";
    return GameText(attribute->captions[value]);
}

const char* GetLobbyRankBandCaption(uint8_t band)
{
    return band < kLobbyRankBandCount ? GameText(kRankBandCaptions[band]) : "";
}

const char* GetLobbyHostPreferenceCaption(uint8_t preference)
{
    return preference < kLobbyHostPreferenceCount ? GameText(kHostPreferenceCaptions[preference]) : "";
}

bool LobbyRankBandAdmits(uint8_t band, int32_t rank)
{
    if (band <= 4)
        return rank >= band * 20 && rank <= band * 20 + 19;
    if (band <= 8)
        return rank < (band - 4) * 20;
    if (band <= 12)
        return rank >= (band - 8) * 20;
    return band == kLobbyRankBandAll;
}

uint8_t StepLobbyRankBand(uint8_t band, int32_t direction, int32_t rank)
{
    if (band >= kLobbyRankBandCount)
        band = kLobbyRankBandAll;
    const int32_t step = direction < 0 ? kLobbyRankBandCount - 1 : 1;
    uint8_t next = band;
    for (int32_t i = 0; i < kLobbyRankBandCount; ++i)
    {
        next = static_cast<uint8_t>((next + step) % kLobbyRankBandCount);
        if (next == band)
            break;
        if (LobbyRankBandAdmits(next, rank))
            return next;
    }
    return band;
}

int32_t StepLobbyChoice(int32_t value, int32_t direction, int32_t count)
{
    if (count <= 0)
        return 0;
    if (value < 0 || value >= count)
        value = 0;
    return ((value + (direction < 0 ? -1 : 1)) % count + count) % count;
}
