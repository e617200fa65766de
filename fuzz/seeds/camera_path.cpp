// Writes the seed corpus of the camera-path fuzz target into the folder
// given on the command line, with the engine's own writer.
#include "engine/render/CActiveCamera.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
template <class T>
void AddKey(CKeyFrameList<T>& track, float time, float ease, const T& value)
{
    KVRKEYFRAME<T> key{time, ease, value};
    track.Add(key);
}

CkvrLine Line(float cx, float cy, float cz, float x, float y, float z)
{
    const CkvrVector3 control(cx, cy, cz);
    const CkvrVector3 point(x, y, z);
    return CkvrLine(&control, &point);
}

bool Write(const std::filesystem::path& folder, const char* name, const CActiveCamera& path)
{
    const std::string file = (folder / name).string();
    if (path.Save(file.c_str(), nullptr) == 1)
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
    CActiveCamera fresh;
    ok = Write(folder, "fresh", fresh) && ok;

    // A swing round the subject that hands over to the second one.
    CActiveCamera swing;
    AddKey(swing.GetPositionTrack(), 0.0f, 0.0f, Line(0, 1, 0, 0, 1, 0));
    AddKey(swing.GetPositionTrack(), 1.5f, 0.5f, Line(2, 3, 0, 4, 1, 0));
    AddKey(swing.GetPositionTrack(), 3.0f, 0.0f, Line(4, 1, 0, 0, 1, 5));
    AddKey(swing.GetTargetPositionTrack(), 0.0f, 0.0f, Line(0, 0, 0, 0, 2, 0));
    AddKey(swing.GetRotationTrack(), 0.0f, 0.0f, CkvrVector3(-20, 0, 0));
    AddKey(swing.GetRotationTrack(), 3.0f, -0.5f, CkvrVector3(10, 270, 0));
    AddKey(swing.GetDistanceTrack(), 0.0f, 0.0f, 12.0f);
    AddKey(swing.GetDistanceTrack(), 2.0f, 0.0f, 4.0f);
    AddKey(swing.GetZoomTrack(), 0.0f, 0.0f, 60.0f);
    AddKey(swing.GetZoomTrack(), 3.0f, 0.0f, 30.0f);
    AddKey(swing.GetTargetTrack(), 0.0f, 0.0f, int32_t(0));
    AddKey(swing.GetTargetTrack(), 2.0f, 0.0f, int32_t(1));
    AddKey(swing.GetEnableTrack(), 0.0f, 0.0f, int32_t(1));
    AddKey(swing.GetEnableTrack(), 2.5f, 0.0f, int32_t(0));
    ok = Write(folder, "swing", swing) && ok;

    // The same, looping, with every key at one time.
    swing.GetPositionTrack().SetLoop(1);
    swing.GetRotationTrack().SetLoop(1);
    swing.GetEnableTrack().SetLoop(1);
    ok = Write(folder, "swing_loop", swing) && ok;
    CActiveCamera still;
    AddKey(still.GetPositionTrack(), 1.0f, 0.0f, Line(0, 0, 0, 1, 1, 1));
    AddKey(still.GetPositionTrack(), 1.0f, 0.0f, Line(0, 0, 0, 2, 2, 2));
    AddKey(still.GetEnableTrack(), 1.0f, 0.0f, int32_t(1));
    still.GetPositionTrack().SetLoop(1);
    ok = Write(folder, "still", still) && ok;
    return ok ? 0 : 1;
}
