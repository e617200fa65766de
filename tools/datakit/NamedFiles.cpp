#include "tools/datakit/NamedFiles.h"

#include "engine/core/TextEncoding.h"
#include "engine/effect/CEffectContainer.h"
#include "game/actor/IActorEffects.h"
#include "tools/datakit/SoundEncoder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kVoiceRate = 11025;

int16_t Sample(double value)
{
    return static_cast<int16_t>(std::lround(value * 32767.0));
}

// Two falling tones: a voice-like call of the given pitch.
std::vector<int16_t> Call(double seconds, double pitch)
{
    const size_t frames = static_cast<size_t>(seconds * kVoiceRate);
    std::vector<int16_t> samples(frames);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / kVoiceRate;
        const double frequency = pitch * (t < seconds / 2 ? 1.0 : 0.75);
        const double envelope = 0.4 * std::sin(kPi * t / seconds);
        samples[f] = Sample(envelope * std::sin(2.0 * kPi * frequency * t));
    }
    return samples;
}

// Mono music: one note every quarter second from an eight-step pattern, a
// short click marking every whole second so that loop points can be heard.
std::vector<int16_t> Track(double root)
{
    static const double steps[8] = {0, 7, 4, 12, 4, 7, 0, -5};
    const size_t frames = static_cast<size_t>(NamedFiles::kTrackSeconds * NamedFiles::kTrackRate);
    std::vector<int16_t> samples(frames);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / NamedFiles::kTrackRate;
        const size_t note = static_cast<size_t>(t * 4.0);
        const double local = t - static_cast<double>(note) / 4.0;
        const double frequency = root * std::pow(2.0, steps[note % 8] / 12.0);
        double value = 0.3 * std::exp(-local * 5.0) * std::sin(2.0 * kPi * frequency * t);
        if (note % 4 == 0 && local < 0.01)
            value += 0.2 * std::sin(2.0 * kPi * 2000.0 * t);
        samples[f] = Sample(value);
    }
    return samples;
}

std::vector<uint8_t> ContainerBytes(CEffectContainer& container)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    std::vector<uint8_t> bytes;
    if (stream == nullptr)
        return bytes;
    const int written = container.SaveToStream(stream);
    std::fclose(stream);
    if (written)
        bytes.assign(data, data + size);
    std::free(data);
    return bytes;
}
}

std::vector<uint8_t> NamedFiles::EventEffect(const std::string& name, uint32_t index)
{
    // A puff of shadow-textured particles: rising for the pick-ups and
    // set-ups, spreading along the ground for steps, dashes and downs. The
    // counts differ so that each event looks and hashes its own.
    const bool ground = index <= IActorEffects::EVENT_DOWN;
    CEffectContainer container(name.c_str());
    CEffectObject* puff = new CEffectObject();
    puff->SetName("Puff");
    puff->SetResourceFile("Texture\\Shadow.dds", nullptr);
    puff->GetParameters()->length = 0.5f;
    puff->GetParameters()->sorted = 1;
    puff->GetParameters()->billboard = 2;
    puff->GetParameters()->blendMode = 2;
    puff->GetParameters()->size = ground ? 0.6f : 0.3f;
    const CRect whole(0.0f, 64.0f, 0.0f, 64.0f);
    puff->GetRectTrack()->SetDefault(&whole);
    const KVRKEYFRAME<uint32_t> burst{0.0f, 0.0f, 4u + index % 6u};
    puff->GetParticleTrack()->Add(burst);
    tag_KVRPARTICLEPARAMETER* p = puff->GetParticleParameters();
    p->life = 0.4f;
    p->direction = ground ? CkvrVector3(0.0f, 0.2f, 0.0f) : CkvrVector3(0.0f, 1.0f, 0.0f);
    p->directionSpread = ground ? CkvrVector3(1.0f, 0.1f, 1.0f) : CkvrVector3(0.3f, 0.2f, 0.3f);
    p->speed = ground ? 1.5f : 2.5f;
    p->speedSpread = 0.5f;
    p->scaleDecay = CkvrVector3(1.0f, 1.0f, 1.0f);
    p->colorDecay = CkvrVector4(0.0f, 0.0f, 0.0f, 2.5f);
    container.AddObject(puff);
    std::vector<uint8_t> bytes = ContainerBytes(container);
    container.Release();
    return bytes;
}

std::vector<NamedFiles::NamedFile> NamedFiles::Effects()
{
    std::vector<NamedFile> files;
    for (uint32_t i = 0; i < IActorEffects::EVENT_COUNT; ++i)
    {
        const std::string name = IActorEffects::kEventEffectNames[i];
        files.push_back({"Effect\\" + name + ".efc", [name, i] { return EventEffect(name, i); }});
    }
    return files;
}

std::vector<NamedFiles::NamedFile> NamedFiles::Sounds()
{
    std::vector<NamedFile> files;
    files.push_back({std::string("Sound\\") + kChangeSound,
                     [] { return SoundEncoder::EncodeOgg(Call(0.2, 990.0), 1, kVoiceRate); }});
    files.push_back({std::string("Sound\\") + kAnnounceSound,
                     [] { return SoundEncoder::EncodeOgg(Call(0.6, 520.0), 1, kVoiceRate); }});
    double root = 196.0;
    for (const MusicTrack& track : kResultTracks)
    {
        files.push_back({std::string("Bgm\\") + track.name,
                         [root] { return SoundEncoder::EncodeOgg(Track(root), 1, kTrackRate); }});
        root *= 1.06;
    }
    for (const MusicTrack& track : kBattleTracks)
    {
        files.push_back({std::string("Bgm\\") + track.name,
                         [root] { return SoundEncoder::EncodeOgg(Track(root), 1, kTrackRate); }});
        root *= 1.06;
    }
    double pitch = 300.0;
    for (const auto& pair : kReadyVoices)
    {
        for (const char* voice : pair)
        {
            files.push_back({std::string("Sound\\") + voice,
                             [pitch] { return SoundEncoder::EncodeOgg(Call(0.5, pitch), 1, kVoiceRate); }});
            pitch += 20.0;
        }
    }
    return files;
}

std::vector<uint8_t> NamedFiles::FontFaces()
{
    // Both fonts use the game's face; machines without it fall back to IPA
    // Gothic. Font 0 is the small text, font 1 the large.
    const std::string face = ConvertUtf8ToShiftJis("ＭＳ ゴシック");
    const std::string text = face + "\r\n" + face + "\r\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}
