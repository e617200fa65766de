#include "engine/core/GameText.h"

#include "engine/core/TextEncoding.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace
{
struct ConvertedTexts
{
    std::mutex lock;
    // Keyed by content, not by address: the same literal may live at several
    // addresses, and a buffer's address may be reused for another text.
    std::unordered_map<std::string, std::unique_ptr<std::string>> byUtf8;
};

ConvertedTexts& Texts()
{
    static ConvertedTexts texts;
    return texts;
}
}

const char* GameText(const char* utf8)
{
    if (utf8 == nullptr)
        return nullptr;
    ConvertedTexts& texts = Texts();
    std::lock_guard<std::mutex> hold(texts.lock);
    auto found = texts.byUtf8.find(utf8);
    if (found == texts.byUtf8.end())
        found = texts.byUtf8.emplace(utf8, std::make_unique<std::string>(ConvertUtf8ToShiftJis(utf8))).first;
    return found->second->c_str();
}

std::string ToGameText(std::string_view utf8)
{
    return ConvertUtf8ToShiftJis(std::string(utf8));
}
