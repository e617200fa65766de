#pragma once

// The game application on test devices: a headless window drawn by EGL on
// Mesa, OpenAL's loopback device, a scripted input source and a data set
// written by the test into a folder of its own (with the save folder beside
// it). Frames run at a fixed 17 ms; a step draws its last frame, and the
// frames where a transition starts, is half done or ends.

#include "engine/core/CScene.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sound/CSound.h"
#include "engine/render/RenderClasses.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/app/CController.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/MenuTransitions.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/HeadlessGame.h"
#include "tests/support/HeadlessWindow.h"
#include "tests/support/ScriptedInputSource.h"
#include "tools/datakit/ImageEncoder.h"
#include "tools/datakit/SoundEncoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace game_test
{
struct DataFile
{
    std::string name; // a data name, e.g. "Sound\\Se_select.ogg"
    std::vector<uint8_t> bytes;
    bool listed = true; // named by GameResource.grc
};

inline std::vector<int16_t> Tone(double seconds, double frequency, uint16_t channels, uint32_t rate)
{
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> samples(frames * channels);
    for (size_t f = 0; f < frames; ++f)
    {
        const double value = 0.3 * std::sin(2.0 * 3.14159265358979 * frequency * static_cast<double>(f) / rate);
        for (uint16_t c = 0; c < channels; ++c)
            samples[f * channels + c] = static_cast<int16_t>(value * 32767.0);
    }
    return samples;
}

inline std::vector<uint8_t> OggTone(double seconds, double frequency, uint16_t channels = 1)
{
    return SoundEncoder::EncodeOgg(Tone(seconds, frequency, channels, 11025), channels, 11025);
}

// A picture of one colour.
inline std::vector<uint8_t> Plain(uint32_t width, uint32_t height, uint32_t argb)
{
    return ImageEncoder::EncodeDdsArgb(std::vector<uint32_t>(static_cast<size_t>(width) * height, argb), width, height);
}

// What every game test needs: the menu sounds, a music track, a voice, the
// menu background (dark blue), the menu sheet (mid grey) and the fonts.
inline std::vector<DataFile> BasicFiles()
{
    const std::string face = ConvertUtf8ToShiftJis("ＭＳ ゴシック") + "\r\n";
    const std::string faces = face + face;
    return {
        {"Sound\\Se_select.ogg", OggTone(0.2, 660.0)},
        {"Sound\\Se_decide.ogg", OggTone(0.2, 880.0)},
        {"Sound\\Se_cancel.ogg", OggTone(0.2, 330.0)},
        {"Sound\\Vo_test.ogg", OggTone(0.5, 440.0)},
        {"Bgm\\Bgm_title.ogg", OggTone(3.0, 220.0, 2)},
        {"Texture\\Background_01.dds", Plain(64, 64, 0xFF102040u)},
        {"Texture\\Select_01.dds", Plain(256, 256, 0xFF808080u)},
        {"Font\\FontFace.txt", std::vector<uint8_t>(faces.begin(), faces.end())},
    };
}

inline bool WriteDataFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    CSafeFileWriter file;
    return file.Open(name.c_str()) && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

// Every file, then the list of the listed ones, in the current folder.
inline bool WriteDataSet(const std::vector<DataFile>& files)
{
    for (const DataFile& file : files)
    {
        if (!WriteDataFile(file.name, file.bytes))
            return false;
    }
    CSafeFileWriter list;
    bool written =
        list.Open("GameResource.grc") && CResourceListFile::WriteHeader(list, CResourceListFile::kGameResourceId);
    for (const DataFile& file : files)
    {
        if (file.listed)
            written = written && CResourceListFile::WriteRecord(list, file.name.c_str());
    }
    return written && CResourceListFile::WriteEnd(list) && list.Commit();
}

// The window's messages go to the game application, as WndProc sends them.
inline CController*& MessageTarget()
{
    static CController* target = nullptr;
    return target;
}

inline LResult ToController(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    return MessageTarget() != nullptr ? MessageTarget()->WindowProc(window, id, wParam, lParam) : 0;
}

class GameHarness
{
public:
    // settings: written as "GameConfig.dat" before the game starts;
    // writeMore: writes further files (into the data folder, current then,
    // or into the save folder);
    // dataFolder: a whole data set to run on instead of files (the stand-in
    // set the build wrote), read only.
    GameHarness(int32_t width, int32_t height, const std::vector<DataFile>& files,
                CController::SceneFactory factory = nullptr, const tag_TOLQGAMECONFIG* settings = nullptr,
                const std::function<bool()>& writeMore = nullptr, const std::string& dataFolder = {})
    {
        MessageQueue::Clear();
        const std::string home = (m_temp.Path() / "home").string();
        setenv("XDG_DATA_HOME", home.c_str(), 1);
        if (settings != nullptr)
        {
            const std::vector<uint8_t> bytes = EncodeGameConfig(*settings);
            TempFolder::Write(SaveFolder() / "GameConfig.dat", std::string(bytes.begin(), bytes.end()));
        }
        m_dataWritten = (!dataFolder.empty() || WriteDataSet(files)) && (!writeMore || writeMore());
        m_window = std::make_unique<HeadlessWindow>(&ToController);
        MessageTarget() = &m_controller;
        CController::SetDataFolder(dataFolder.empty() ? m_temp.Path().string().c_str() : dataFolder.c_str());
        CController::SetSceneFactory(factory);
        CController::SetHdrOption(false);
        m_started = StartHeadlessGame(m_controller, *m_window, m_source, width, height);
    }

    ~GameHarness()
    {
        m_controller.Shutdown();
        MessageTarget() = nullptr;
        CController::SetSceneFactory(nullptr);
        CController::SetDataFolder(nullptr);
        MessageQueue::Clear();
    }

    // Frames until loading has ended, for at most two minutes: a whole data
    // set in the sanitizer build on a busy machine takes a while. The
    // loading screen is drawn once it has ended.
    bool Load()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        for (;;)
        {
            Frame(17);
            if (m_controller.GetLoadingState() != CController::LoadingState::Loading)
            {
                DrawIfBehind();
                return m_controller.GetLoadingState() == CController::LoadingState::WaitingForKey;
            }
            if (std::chrono::steady_clock::now() >= end)
                return false;
            usleep(5000);
        }
    }

    // Loaded, and a key pressed: the title (or the factory's scene 0) is on.
    bool Start()
    {
        if (!Load())
            return false;
        Tap(KEY_Z);
        return m_controller.GetLoadingState() == CController::LoadingState::Playing;
    }

    void Step(int frames) { StepWith(17, frames); }

    // Frames of a given length. The last is drawn, the one a test may look
    // at, and those where a transition passes a mark with the one after
    // each (so a screen is drawn half faded, half turned, half slid):
    // drawing on the software renderer is most of a frame's cost (tests of
    // the drawing itself, of frames counted or devices lost, have every
    // frame drawn).
    void StepWith(uint32_t milliseconds, int frames)
    {
        Advance(milliseconds, frames);
        DrawIfBehind();
    }
    // The same, for a test that looks at none of them: only the frames
    // where a transition passes a mark are drawn.
    void Advance(uint32_t milliseconds, int frames)
    {
        for (int i = 0; i < frames; ++i)
            Frame(milliseconds);
    }
    void DrawEveryFrame() { m_drawEveryFrame = true; }

    // Frames until done() holds, at most limit; true when it did. The frame
    // done() saw is drawn.
    template <class Done> bool StepUntil(Done done, int limit)
    {
        for (int frame = 0; frame < limit; ++frame)
        {
            if (done())
            {
                DrawIfBehind();
                return true;
            }
            Frame(17);
        }
        DrawIfBehind();
        return done();
    }

    // The mouse at a layout point of the menu rule (the window's pixels
    // through the camera's viewport).
    void PointAt(MenuPoint layoutPoint)
    {
        const CMenuLayout layout = CMenuLayout::ForGraphics(m_controller.GetGraphics(), MenuScaleRule::Menu4x3);
        const MenuPoint pixels = layout.LayoutToCursor(layoutPoint);
        m_source.SetCursor(static_cast<int>(std::lround(pixels.x)), static_cast<int>(std::lround(pixels.y)));
    }

    // The pixel at a layout point of the menu rule.
    uint32_t LayoutPixel(MenuPoint layoutPoint)
    {
        const CMenuLayout layout = CMenuLayout::ForGraphics(m_controller.GetGraphics(), MenuScaleRule::Menu4x3);
        const MenuPoint pixels = layout.LayoutToCursor(layoutPoint);
        return Pixel(static_cast<int>(pixels.x), static_cast<int>(pixels.y));
    }

    // How many pixels of a layout rectangle (menu rule) satisfy a test of
    // their 0xRRGGBB colour; one read of the whole rectangle.
    template <class Test> int CountPixels(const MenuRect& layoutRect, Test test)
    {
        const CMenuLayout layout = CMenuLayout::ForGraphics(m_controller.GetGraphics(), MenuScaleRule::Menu4x3);
        const MenuPoint topLeft = layout.LayoutToCursor({layoutRect.left, layoutRect.top});
        const MenuPoint bottomRight = layout.LayoutToCursor({layoutRect.right, layoutRect.bottom});
        const int x = static_cast<int>(topLeft.x);
        const int y = static_cast<int>(topLeft.y);
        const int width = std::max(1, static_cast<int>(bottomRight.x) - x);
        const int height = std::max(1, static_cast<int>(bottomRight.y) - y);
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        GraphicsDevice* device = m_controller.GetGraphics()->GetDevice();
        EXPECT_EQ(device->ReadPixels(nullptr, x, y, width, height, pixels.data()), DEVICE_OK);
        int count = 0;
        for (uint32_t pixel : pixels)
            count += test(pixel & 0xFFFFFF) ? 1 : 0;
        return count;
    }

    // A key down for one frame, then up for one.
    void Tap(uint8_t key)
    {
        m_source.SetKey(key, true);
        Step(1);
        m_source.SetKey(key, false);
        Step(1);
    }

    uint32_t Pixel(int x, int y)
    {
        uint32_t value = 0;
        GraphicsDevice* device = m_controller.GetGraphics()->GetDevice();
        EXPECT_EQ(device->ReadPixels(nullptr, x, y, 1, 1, &value), DEVICE_OK);
        return value;
    }

    // True when the quit message waits in the queue.
    static bool QuitPosted()
    {
        Message message;
        while (MessageQueue::Peek(message))
        {
            if (message.id == MSG_QUIT)
                return true;
        }
        return false;
    }

    // The settings record with defaults.
    static tag_TOLQGAMECONFIG DefaultSettings()
    {
        tag_TOLQGAMECONFIG settings;
        SetDefaultGameConfig(&settings);
        return settings;
    }

    bool Ready() const { return m_dataWritten && m_started; }
    CController& Controller() { return m_controller; }
    ScriptedInputSource& Input() { return m_source; }
    const std::filesystem::path& Folder() const { return m_temp.Path(); }
    std::filesystem::path SaveFolder() const { return m_temp.Path() / "home" / "CorvaneSystem" / "QOR"; }

private:
    void Frame(uint32_t milliseconds)
    {
        SetFrameTime(milliseconds);
        const uint32_t marks = MenuTransitions::MarksPassed();
        m_controller.Update();
        m_behind = true;
        if (MenuTransitions::MarksPassed() != marks)
            m_markFrames = kFramesPerMark;
        if (!m_drawEveryFrame && m_markFrames == 0)
            return;
        m_markFrames = m_markFrames > 0 ? m_markFrames - 1 : 0;
        DrawIfBehind();
    }
    void DrawIfBehind()
    {
        if (!m_behind)
            return;
        m_controller.Render();
        m_behind = false;
    }

    TempFolder m_temp;
    ScriptedInputSource m_source;
    std::unique_ptr<HeadlessWindow> m_window;
    CController m_controller;
    bool m_dataWritten = false;
    bool m_started = false;
    bool m_drawEveryFrame = false;
    bool m_behind = false; // frames updated since the last one drawn
    // A transition's mark is drawn in the frame that passes it and the next.
    static constexpr int kFramesPerMark = 2;
    int m_markFrames = 0; // frames still to draw for the last mark
};
}
