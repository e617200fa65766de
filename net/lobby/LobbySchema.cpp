#include "net/lobby/LobbySchema.h"

namespace
{
const char* const kWeaponCaptions[] = {"\x96\xB3\x90\xA7\x8C\xC0" /* 無制限 */, "\x8F\x89\x8A\xFA\x82\xCC\x82\xDD" /* 初期のみ */};
const char* const kTypeCaptions[] = {"\x83\x56\x83\x93\x83\x4F\x83\x8B\x83\x6F\x83\x67\x83\x8B" /* シングルバトル */, "\x83\x60\x81\x5B\x83\x80\x83\x6F\x83\x67\x83\x8B" /* チームバトル */, "\x82\xC7\x82\xBF\x82\xE7\x82\xC5\x82\xE0" /* どちらでも */};
const char* const kRuleCaptions[] = {"\x83\x7C\x83\x43\x83\x93\x83\x67\x83\x6F\x83\x67\x83\x8B" /* ポイントバトル */, "\x83\x81\x83\x5F\x83\x8B\x83\x6F\x83\x67\x83\x8B" /* メダルバトル */, "\x82\xC7\x82\xBF\x82\xE7\x82\xC5\x82\xE0" /* どちらでも */};
const char* const kCpuCaptions[] = {"\x97\x4C\x82\xE8" /* 有り */, "\x82\xC7\x82\xBF\x82\xE7\x82\xC5\x82\xE0" /* どちらでも */, "\x96\xB3\x82\xB5" /* 無し */};
const char* const kPointCaptions[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "\x82\xC7\x82\xEA\x82\xC5\x82\xE0" /* どれでも */};

const tag_KVRLOBBYATTRIBUTE kRoomSchema[kLobbyRoomAttributeCount] = {
    {"\x95\x90\x8A\xED" /* 武器 */, 1, 0, 2, 0, 0, kWeaponCaptions},
};

const tag_KVRLOBBYATTRIBUTE kMatchSchema[kLobbyMatchAttributeCount] = {
    {"\x91\xCE\x90\xED\x83\x5E\x83\x43\x83\x76" /* 対戦タイプ */, 1, 0, 3, 2, 255, kTypeCaptions},
    {"\x91\xCE\x90\xED\x83\x8B\x81\x5B\x83\x8B" /* 対戦ルール */, 1, 1, 3, 2, 255, kRuleCaptions},
    {"\x95\x90\x8A\xED" /* 武器 */, 1, 2, 2, 0, 255, kWeaponCaptions},
    {"\x82\x62\x82\x6F\x82\x74\x8E\x51\x89\xC1" /* ＣＰＵ参加 */, 1, 3, 3, 1, 255, kCpuCaptions},
    {"\x83\x7C\x83\x43\x83\x93\x83\x67" /* ポイント */, 1, 4, 11, 10, 255, kPointCaptions},
};

const char* const kRankBandCaptions[kLobbyRankBandCount] = {
    "\x30\x81\x60\x31\x39" /* 0～19 */,  "\x32\x30\x81\x60\x33\x39" /* 20～39 */, "\x34\x30\x81\x60\x35\x39" /* 40～59 */, "\x36\x30\x81\x60\x37\x39" /* 60～79 */, "\x38\x30\x81\x60\x39\x39" /* 80～99 */, "\x32\x30\x96\xA2\x96\x9E" /* 20未満 */, "\x34\x30\x96\xA2\x96\x9E" /* 40未満 */,
    "\x36\x30\x96\xA2\x96\x9E" /* 60未満 */, "\x38\x30\x96\xA2\x96\x9E" /* 80未満 */, "\x32\x30\x88\xC8\x8F\xE3" /* 20以上 */, "\x34\x30\x88\xC8\x8F\xE3" /* 40以上 */, "\x36\x30\x88\xC8\x8F\xE3" /* 60以上 */, "\x38\x30\x88\xC8\x8F\xE3" /* 80以上 */, "\x96\xB3\x90\xA7\x8C\xC0" /* 無制限 */,
};

const char* const kHostPreferenceCaptions[kLobbyHostPreferenceCount] = {
    "\x83\x7A\x83\x58\x83\x67\x8C\xC0\x92\xE8" /* ホスト限定 */, "\x83\x7A\x83\x58\x83\x67\x97\x44\x90\xE6" /* ホスト優先 */, "\x82\xC7\x82\xBF\x82\xE7\x82\xC5\x82\xE0" /* どちらでも */, "\x83\x4E\x83\x89\x83\x43\x83\x41\x83\x93\x83\x67\x97\x44\x90\xE6" /* クライアント優先 */, "\x83\x4E\x83\x89\x83\x43\x83\x41\x83\x93\x83\x67\x8C\xC0\x92\xE8" /* クライアント限定 */,
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

const char* GetLobbyAttributeCaption(const tag_KVRLOBBYATTRIBUTE* attribute, int32_t value)
{
    if (attribute == nullptr || value < 0 || value >= attribute->choices)
        return "";
    return attribute->captions[value];
}

const char* GetLobbyRankBandCaption(uint8_t band)
{
    return band < kLobbyRankBandCount ? kRankBandCaptions[band] : "";
}

const char* GetLobbyHostPreferenceCaption(uint8_t preference)
{
    return preference < kLobbyHostPreferenceCount ? kHostPreferenceCaptions[preference] : "";
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
