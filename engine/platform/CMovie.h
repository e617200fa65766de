#pragma once

#include "engine/core/CResourceBase.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;
class CGraphics;
class DeviceTexture;

// Where a movie shown in the window goes: a rectangle of the client area.
struct MovieRect
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// A movie file (the opening movie of the title) decoded on a worker thread
// of its own, paced by the movie clock, with its sound through the sound
// device. Frames are top-down rows of width x 3 bytes, blue, green, red per
// pixel, which CTexture::SetPixelsRGB24 shows upright. The game fetches
// the latest frame each frame (memory play); window play places the
// frames in the main window's client area (GetWindowRect).
//
// Every operation of a movie that is not open returns 0 or null.
class CMovie : public CResourceBase
{
public:
    enum State : uint32_t
    {
        STATE_STOPPED = 0,
        STATE_PAUSED = 1,
        STATE_RUNNING = 2,
    };

    CMovie();
    ~CMovie() override;

    CMovie(const CMovie&) = delete;
    CMovie& operator=(const CMovie&) = delete;

    // Opens the file and its video stream (and its sound, if any). A
    // missing, cut or soundless-and-pictureless file gives 0 and leaves
    // nothing behind. The movie takes the path as its name.
    int Open(const char* path);

    // Starts playing into the frame buffer.
    int PlayToMemory();
    int Play() { return PlayToMemory(); }
    // Plays into the whole client area, or fitted to it with the movie's
    // aspect kept and centred (the fitted size becomes the movie's size).
    int PlayInWindow();
    int PlayInWindowFitted();
    int Resume();
    int Pause();
    // Pauses and shows the next frame.
    int StepFrame();
    // From running only (otherwise 1 at once): stops, rewinds to 0 and
    // frees the frame buffer.
    int Stop();
    int StopAndHide();

    // The latest frame in the movie's frame buffer, or null before the
    // first frame or while stopped. The frame stays there until the next
    // call, which may hand out another buffer.
    uint8_t* GetFrame();
    uint8_t* GetCurrentFrame() { return GetFrame(); }

    // Window play: draws the latest frame at the window rectangle through
    // the graphics device. Main thread, inside the application's scene; 0
    // when the movie does not play in the window or has no frame yet.
    int DrawInWindow(CGraphics* graphics);

    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    int32_t GetVideoWidth() const { return m_videoWidth; }
    int32_t GetVideoHeight() const { return m_videoHeight; }
    int32_t GetFrameSize() const { return m_frameSize; }
    uint32_t GetState() const;
    uint32_t IsWindowed() const { return m_windowed; }
    const MovieRect& GetWindowRect() const { return m_windowRect; }
    bool HasSound() const { return m_audioCodec != nullptr; }

    // Seconds of the movie clock, at most the stop time.
    double GetCurrentPosition() const;
    // Seconds of the whole movie.
    double GetStopTime() const;
    // The time of the latest frame shown, -1 before the first.
    double GetFramePosition() const;
    // The worker has shown the last frame.
    bool IsFinished() const;
    // Pictures decoded and converted to rows since the movie was opened
    // (rewinds included): the work done, whether shown or overtaken.
    uint32_t GetConvertedPictures() const;

    // Volume in hundredths of a decibel (0 full, -10000 silent).
    void SetVolume(int32_t volume);

    uint32_t Release() override;

    // Where a video of that size goes in a client area of that size: the
    // whole area, or fitted with its aspect kept and centred.
    static MovieRect FitRect(int32_t videoWidth, int32_t videoHeight, int32_t clientWidth, int32_t clientHeight);

    // The movie clock in microseconds; tests drive it (null restores the
    // real one). Read from the worker thread as well.
    using Clock = uint64_t (*)();
    static void SetClock(Clock clock);

private:
    bool OpenStreams(const char* path);
    bool OpenDecoder(int stream, AVCodecContext** context);
    int StartPlaying();
    void StartWorker();
    void StopWorker();
    void FreeDecoding();
    void FreeFrameBuffer();
    // Frames are handed out from now on; false before Open.
    bool TakeFrameBuffer();
    int PlayWindowed(bool fitted);

    // Worker side.
    void WorkerLoop();
    int DecodeNext();
    bool ReceiveVideo();
    void ReceiveAudio();
    void Rewind();
    void PublishPending();
    void QueueSound(const uint8_t* pcm, size_t bytes);
    void OpenSoundSource();
    void CloseSoundSource();
    void SetSoundPlaying(bool playing);

    // Under m_lock.
    double ClockSeconds() const;
    void FreezeClock();
    void StartClock();

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_videoCodec = nullptr;
    AVCodecContext* m_audioCodec = nullptr;
    SwsContext* m_scaler = nullptr;
    SwrContext* m_resampler = nullptr;
    AVFrame* m_decoded = nullptr;
    AVPacket* m_packet = nullptr;
    int m_videoStream = -1;
    int m_audioStream = -1;
    double m_stopTime = 0.0;

    int32_t m_frameSize = 0;
    uint8_t* m_frameBuffer = nullptr;
    // Frames are handed out (between a play and a stop).
    bool m_takesFrames = false;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_videoWidth = 0;
    int32_t m_videoHeight = 0;
    uint32_t m_windowed = 0;
    MovieRect m_windowRect;
    int32_t m_volume = 0;

    // Shared with the worker, under m_lock.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_worker;
    uint32_t m_state = STATE_STOPPED;
    bool m_quit = false;
    bool m_rewind = false;
    bool m_endOfFile = false;
    bool m_finished = false;
    uint32_t m_steps = 0;
    double m_clockBase = 0.0;     // seconds of movie time when the clock last started
    uint64_t m_clockStart = 0;    // clock microseconds then
    bool m_hasPending = false;
    uint32_t m_convertedPictures = 0;
    // Worker side only.
    bool m_flushing = false;
    bool m_videoDrained = false;
    bool m_cueing = false;
    bool m_hasOrigin = false;
    double m_timeOrigin = 0.0;     // stream seconds of the first picture
    double m_lastStreamTime = 0.0;
    double m_pendingTime = 0.0;
    std::vector<uint8_t> m_pending; // next frame, converted
    // Under m_lock: the newest frame published, its time and its number,
    // and the number of the one GetFrame gave out last.
    std::vector<uint8_t> m_latest;
    double m_latestTime = -1.0;
    uint64_t m_latestSerial = 0;
    uint64_t m_copiedSerial = 0;
    // The frame GetFrame gave out last: the frame buffer.
    std::vector<uint8_t> m_shown;

    // The sound source and its queued buffers (worker and main thread,
    // under the sound device's lock).
    uint32_t m_source = 0;
    bool m_sourceOpen = false;
    int32_t m_soundRate = 0;
    std::vector<uint8_t> m_pcm;
    std::vector<uint32_t> m_soundBuffers;

    // The frame as window play draws it (main thread).
    std::unique_ptr<DeviceTexture> m_windowTexture;
    uint64_t m_uploadedSerial = 0;
};
