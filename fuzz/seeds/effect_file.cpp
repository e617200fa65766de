// Writes the seed corpus of the effect-file fuzz target into the folder
// given on the command line, with the engine's own writer.
#include "engine/effect/CEffectContainer.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
template <class T>
void AddKey(CKeyFrameList<T>* track, float time, const T& value)
{
    KVRKEYFRAME<T> key{time, 0.0f, value};
    track->Add(key);
}

CEffectObject* Object(const char* name, uint8_t kind, float length, const char* resource)
{
    CEffectObject* object = new CEffectObject();
    object->SetName(name);
    object->SetResourceFile(resource, nullptr);
    object->GetParameters()->kind = kind;
    object->GetParameters()->length = length;
    return object;
}

bool Write(const std::filesystem::path& folder, const char* name, const CEffectContainer& container)
{
    const std::string file = (folder / name).string();
    if (container.Save(file.c_str()) == 1)
        return true;
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return false;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    bool ok = true;
    CEffectContainer empty("Efc_empty");
    ok = Write(folder, "empty", empty) && ok;

    CEffectContainer bare("Efc_bare");
    bare.AddObject(new CEffectObject());
    ok = Write(folder, "bare_object", bare) && ok;

    // A spark burst with trails, a looping sound and a nested container.
    CEffectContainer full("Efc_hit");
    CEffectObject* spark = Object("Spark", 0, 1.0f, "Texture\\Spark.png");
    const CkvrVector3 a(0, 0, 0), b(0, 1, 2);
    AddKey(spark->GetPositionTrack(), 0.0f, CkvrLine(&a, &a));
    AddKey(spark->GetPositionTrack(), 0.5f, CkvrLine(&b, &b));
    AddKey(spark->GetRotationTrack(), 0.0f, CkvrVector3(0, 90, 0));
    AddKey(spark->GetScalingTrack(), 0.5f, CkvrVector3(2, 2, 2));
    AddKey(spark->GetColorTrack(), 1.0f, CkvrVector4(1, 0.5f, 0, 0));
    AddKey(spark->GetRectTrack(), 0.0f, CRect(0, 16, 0, 16));
    AddKey(spark->GetParticleTrack(), 0.0f, 8u);
    AddKey(spark->GetParticleTrack(), 0.3f, 4u);
    spark->GetParticleTrack()->SetLoop(1);
    tag_KVRPARTICLEPARAMETER* p = spark->GetParticleParameters();
    p->life = 0.4f;
    p->offset = CkvrVector3(0.5f, 0.5f, 0.5f);
    p->directionSpread = CkvrVector3(1, 1, 1);
    p->speed = 3.0f;
    p->speedSpread = 0.5f;
    p->gravity = -9.8f;
    p->attach = 1;
    spark->GetParameters()->flags = 8 | 32;
    tag_KVRPARTICLETRACEDATA trace{};
    trace.firstEdge = CkvrVector3(0, 0.1f, 0);
    trace.secondEdge = CkvrVector3(0, -0.1f, 0);
    trace.fade = 0.1f;
    trace.pull = 0.5f;
    trace.segments = 6;
    trace.textureName = const_cast<char*>("Texture\\Trail.png");
    spark->AddTrace(trace);
    full.AddObject(spark);
    CEffectObject* sound = Object("Sound", 2, 0.0f, "Sound\\Hit.wav");
    AddKey(sound->GetPlayTrack(), 0.0f, 1.0f);
    AddKey(sound->GetPlayTrack(), 0.5f, 0.0f);
    sound->GetPlayTrack()->SetLoop(1);
    full.AddObject(sound);
    CEffectObject* nested = Object("Nest", 3, 2.0f, "Efc_inner");
    AddKey(nested->GetParticleTrack(), 0.1f, 2u);
    nested->SetParentName("Spark");
    full.AddObject(nested);
    ok = Write(folder, "full", full) && ok;

    empty.Release();
    bare.Release();
    full.Release();
    return ok ? 0 : 1;
}
