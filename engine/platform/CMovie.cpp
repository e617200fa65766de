#include "engine/platform/CMovie.h"

#include "engine/core/CPathResolver.h"

#include "engine/platform/CComInit.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/CSystem.h"

#include <AL/al.h>
#include <AL/alext.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace
{
// Larger pictures than this are not movies this program plays; the limit
// keeps a damaged header from asking for a huge frame buffer.
constexpr int kMaxDimension = 8192;
// Packets read at Open looking for the first picture before giving up.
constexpr int kMaxCuePackets = 4096;
// The worker looks at the clock at least this often while it waits for a
// frame's time, so that an injected clock is followed too.
constexpr std::chrono::milliseconds kClockPoll(4);
// Sound goes to the device in pieces of about a tenth of a second.
constexpr int kSoundPieceDivisor = 10;
constexpr int kSoundChannels = 2;
constexpr int kSoundBytesPerFrame = kSoundChannels * 2;

uint64_t RealClock()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

CMovie::Clock g_movieClock = RealClock;

double FrameDuration(const AVStream* stream)
{
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0.0;
    return av_q2d(av_inv_q(rate));
}

// Sound is decoded only when there is a device to play it.
bool SoundDeviceOpen()
{
    const CSound* sound = CSound::GetInstance();
    return sound != nullptr && sound->GetContext() != nullptr;
}

float GainOf(int32_t volume)
{
    if (volume <= -10000)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, std::min(volume, 0) / 2000.0));
}
}

void CMovie::SetClock(Clock clock)
{
    g_movieClock = clock != nullptr ? clock : RealClock;
}

MovieRect CMovie::FitRect(int32_t videoWidth, int32_t videoHeight, int32_t clientWidth, int32_t clientHeight)
{
    MovieRect rect{0, 0, clientWidth, clientHeight};
    if (videoWidth <= 0 || videoHeight <= 0)
        return rect;
    // W / vw <= H / vh, compared without division.
    if (int64_t(clientWidth) * videoHeight <= int64_t(clientHeight) * videoWidth)
    {
        rect.height = static_cast<int32_t>(int64_t(videoHeight) * clientWidth / videoWidth);
        rect.y = (clientHeight - rect.height) / 2;
        return rect;
    }
    rect.width = static_cast<int32_t>(int64_t(videoWidth) * clientHeight / videoHeight);
    rect.x = (clientWidth - rect.width) / 2;
    return rect;
}

CMovie::CMovie()
{
    SetKind(KIND_MOVIE);
}

CMovie::~CMovie()
{
    CMovie::Release();
}

uint32_t CMovie::Release()
{
    // The worker goes before anything it writes into. A movie let go needs
    // no rewind, so it is not stopped first.
    StopWorker();
    CloseSoundSource();
    FreeFrameBuffer();
    FreeDecoding();
    m_windowTexture.reset();
    m_uploadedSerial = 0;
    m_windowed = 0;
    m_width = m_height = m_videoWidth = m_videoHeight = 0;
    m_windowRect = MovieRect();
    return CResourceBase::Release();
}

// ---------------------------------------------------------------- opening

int CMovie::Open(const char* path)
{
    Release();
    // A data name ("Movie\OP.mpg", any letter case) through the path layer,
    // as every file of the program.
    if (path == nullptr || !OpenStreams(CPathResolver::Resolve(path).c_str()))
    {
        FreeDecoding();
        return 0;
    }
    SetName(path);
    // The worker waits from here on, so that it is running by the time the
    // movie plays.
    StartWorker();
    return 1;
}

bool CMovie::OpenDecoder(int stream, AVCodecContext** context)
{
    const AVCodecParameters* parameters = m_format->streams[stream]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
    if (codec == nullptr)
        return false;
    *context = avcodec_alloc_context3(codec);
    if (*context == nullptr || avcodec_parameters_to_context(*context, parameters) < 0)
        return false;
    // One thread per movie: the decoder runs on the movie's worker.
    (*context)->thread_count = 1;
    return avcodec_open2(*context, codec, nullptr) >= 0;
}

bool CMovie::OpenStreams(const char* path)
{
    if (avformat_open_input(&m_format, path, nullptr, nullptr) < 0)
        return false;
    if (avformat_find_stream_info(m_format, nullptr) < 0)
        return false;
    m_videoStream = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_videoStream < 0 || !OpenDecoder(m_videoStream, &m_videoCodec))
        return false;
    const int width = m_videoCodec->width;
    const int height = m_videoCodec->height;
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension)
        return false;

    // Sound is optional: a movie whose sound can't be decoded plays silent.
    m_audioStream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, m_videoStream, nullptr, 0);
    if (m_audioStream >= 0 && !OpenDecoder(m_audioStream, &m_audioCodec))
    {
        avcodec_free_context(&m_audioCodec);
        m_audioStream = -1;
    }
    if (m_audioCodec != nullptr)
    {
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        m_soundRate = m_audioCodec->sample_rate;
        if (m_soundRate <= 0 ||
            swr_alloc_set_opts2(&m_resampler, &stereo, AV_SAMPLE_FMT_S16, m_soundRate, &m_audioCodec->ch_layout,
                                m_audioCodec->sample_fmt, m_soundRate, 0, nullptr) < 0 ||
            swr_init(m_resampler) < 0)
        {
            swr_free(&m_resampler);
            avcodec_free_context(&m_audioCodec);
            m_audioStream = -1;
        }
    }

    m_scaler = sws_getContext(width, height, m_videoCodec->pix_fmt, width, height, AV_PIX_FMT_BGR24, SWS_POINT,
                              nullptr, nullptr, nullptr);
    m_decoded = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (m_scaler == nullptr || m_decoded == nullptr || m_packet == nullptr)
        return false;

    m_videoWidth = m_width = width;
    m_videoHeight = m_height = height;
    m_frameSize = width * height * 3;
    // The first frame's buffer; the two others are made when first needed,
    // each by the thread that needs it.
    m_pending.assign(static_cast<size_t>(m_frameSize), 0);

    if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        m_stopTime = double(m_format->duration) / AV_TIME_BASE;
    else
    {
        const AVStream* stream = m_format->streams[m_videoStream];
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            m_stopTime = double(stream->duration) * av_q2d(stream->time_base);
    }

    // A file that holds no whole picture is not a movie: cue the first
    // frame now, so that a cut or damaged file fails here.
    m_cueing = true;
    for (int packets = 0; packets < kMaxCuePackets && !m_hasPending; ++packets)
    {
        if (DecodeNext() < 0)
            break;
    }
    m_cueing = false;
    return m_hasPending;
}

void CMovie::FreeDecoding()
{
    avcodec_free_context(&m_videoCodec);
    avcodec_free_context(&m_audioCodec);
    avformat_close_input(&m_format);
    sws_freeContext(m_scaler);
    m_scaler = nullptr;
    swr_free(&m_resampler);
    av_frame_free(&m_decoded);
    av_packet_free(&m_packet);
    m_videoStream = m_audioStream = -1;
    m_stopTime = 0.0;
    m_frameSize = 0;
    m_state = STATE_STOPPED;
    m_quit = m_rewind = m_endOfFile = m_finished = false;
    m_flushing = m_videoDrained = false;
    m_steps = 0;
    m_clockBase = 0.0;
    m_hasPending = false;
    m_latestTime = -1.0;
    m_latestSerial = m_copiedSerial = 0;
    m_pending.clear();
    m_latest.clear();
    m_shown.clear();
    m_pcm.clear();
    m_soundRate = 0;
    m_timeOrigin = 0.0;
    m_lastStreamTime = 0.0;
    m_hasOrigin = false;
}

void CMovie::FreeFrameBuffer()
{
    m_frameBuffer = nullptr;
    m_takesFrames = false;
}

bool CMovie::TakeFrameBuffer()
{
    if (m_frameSize == 0)
        return false;
    m_takesFrames = true;
    return true;
}

// ---------------------------------------------------------------- control

uint32_t CMovie::GetState() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_state;
}

double CMovie::ClockSeconds() const
{
    if (m_state != STATE_RUNNING)
        return m_clockBase;
    return m_clockBase + double(g_movieClock() - m_clockStart) / 1.0e6;
}

void CMovie::FreezeClock()
{
    m_clockBase = ClockSeconds();
}

void CMovie::StartClock()
{
    m_clockStart = g_movieClock();
}

double CMovie::GetCurrentPosition() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_format == nullptr)
        return 0.0;
    return std::min(ClockSeconds(), m_stopTime);
}

double CMovie::GetStopTime() const
{
    return m_stopTime;
}

double CMovie::GetFramePosition() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_latestTime;
}

bool CMovie::IsFinished() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_finished;
}

void CMovie::StartWorker()
{
    if (!m_worker.joinable())
        m_worker = std::thread(&CMovie::WorkerLoop, this);
}

void CMovie::StopWorker()
{
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    m_worker.join();
    std::lock_guard<std::mutex> lock(m_lock);
    m_quit = false;
}

int CMovie::StartPlaying()
{
    if (m_format == nullptr)
        return 0;
    if (!m_takesFrames && !TakeFrameBuffer())
        return 0;
    return Resume();
}

int CMovie::PlayToMemory()
{
    if (m_format == nullptr)
        return 0;
    m_width = m_videoWidth;
    m_height = m_videoHeight;
    m_windowed = 0;
    return StartPlaying();
}

int CMovie::PlayWindowed(bool fitted)
{
    if (m_format == nullptr)
        return 0;
    const CComInit* holder = CComInit::GetCurrent();
    const CSystem* system = holder != nullptr ? holder->GetSystem() : nullptr;
    if (system == nullptr || system->GetWindowHandle() == nullptr)
        return 0;
    const int32_t clientWidth = system->GetWidth();
    const int32_t clientHeight = system->GetHeight();
    if (fitted)
    {
        m_windowRect = FitRect(m_videoWidth, m_videoHeight, clientWidth, clientHeight);
        m_width = m_windowRect.width;
        m_height = m_windowRect.height;
    }
    else
        m_windowRect = MovieRect{0, 0, clientWidth, clientHeight};
    if (!StartPlaying())
        return 0;
    m_windowed = 1;
    return 1;
}

int CMovie::PlayInWindow()
{
    return PlayWindowed(false);
}

int CMovie::PlayInWindowFitted()
{
    return PlayWindowed(true);
}

int CMovie::Resume()
{
    if (m_format == nullptr)
        return 0;
    CSound* sound = CSound::GetInstance();
    std::unique_lock<CSound::Mutex> soundLock;
    if (sound != nullptr)
        soundLock = std::unique_lock<CSound::Mutex>(sound->GetMutex());
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == STATE_RUNNING)
            return 1;
        StartClock();
        m_state = STATE_RUNNING;
    }
    SetSoundPlaying(true);
    StartWorker();
    m_wake.notify_all();
    return 1;
}

int CMovie::Pause()
{
    if (m_format == nullptr)
        return 0;
    CSound* sound = CSound::GetInstance();
    std::unique_lock<CSound::Mutex> soundLock;
    if (sound != nullptr)
        soundLock = std::unique_lock<CSound::Mutex>(sound->GetMutex());
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != STATE_RUNNING)
            return 1;
        FreezeClock();
        m_state = STATE_PAUSED;
    }
    SetSoundPlaying(false);
    m_wake.notify_all();
    return 1;
}

int CMovie::StepFrame()
{
    if (m_format == nullptr || !Pause())
        return 0;
    // Stepping a movie that has not played yet shows its frames too.
    if (!m_takesFrames && !TakeFrameBuffer())
        return 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_finished)
            return 0;
        ++m_steps;
    }
    StartWorker();
    m_wake.notify_all();
    return 1;
}

int CMovie::Stop()
{
    if (m_format == nullptr)
        return 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != STATE_RUNNING)
            return 1;
        m_state = STATE_STOPPED;
        m_clockBase = 0.0;
        m_rewind = true;
        m_hasPending = false;
        m_endOfFile = false;
        m_finished = false;
        m_steps = 0;
        m_latestTime = -1.0;
    }
    m_wake.notify_all();
    // Without a worker (never started) the rewind happens here.
    if (!m_worker.joinable())
        Rewind();
    FreeFrameBuffer();
    return 1;
}

int CMovie::StopAndHide()
{
    if (m_format == nullptr)
        return 0;
    if (!Stop())
        return 0;
    // Nothing of a stopped movie is drawn, so it is hidden already.
    return 1;
}

void CMovie::SetVolume(int32_t volume)
{
    CSound* sound = CSound::GetInstance();
    if (sound == nullptr)
    {
        m_volume = volume;
        return;
    }
    // The worker reads the volume when it opens the source.
    std::lock_guard<CSound::Mutex> soundLock(sound->GetMutex());
    m_volume = volume;
    if (m_sourceOpen)
        alSourcef(m_source, AL_GAIN, GainOf(m_volume));
}

uint8_t* CMovie::GetFrame()
{
    if (m_format == nullptr || !m_takesFrames)
        return nullptr;
    // The buffer given back to the worker in exchange for the newest frame.
    if (m_shown.size() != static_cast<size_t>(m_frameSize))
        m_shown.assign(static_cast<size_t>(m_frameSize), 0);
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_latestTime < 0.0)
        return nullptr;
    if (m_copiedSerial != m_latestSerial)
    {
        // The newest picture changes hands without a copy: the frame
        // buffer given out before goes back to the worker to be written.
        m_shown.swap(m_latest);
        m_copiedSerial = m_latestSerial;
    }
    m_frameBuffer = m_shown.data();
    return m_frameBuffer;
}

// ---------------------------------------------------------------- worker

void CMovie::PublishPending()
{
    m_pending.swap(m_latest);
    m_latestTime = m_pendingTime;
    ++m_latestSerial;
    m_hasPending = false;
}

void CMovie::WorkerLoop()
{
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_quit)
    {
        if (m_rewind)
        {
            m_rewind = false;
            lock.unlock();
            Rewind();
            lock.lock();
            // A picture or an end found by a decode that overlapped the
            // stop belongs to the old position.
            m_hasPending = false;
            m_endOfFile = false;
            m_finished = false;
            continue;
        }
        const bool wanted = m_state == STATE_RUNNING || m_steps > 0;
        if (!m_hasPending && !m_endOfFile && wanted)
        {
            // Decoding touches only what the worker owns; the lock is free
            // meanwhile so that the main thread never waits on a decode.
            lock.unlock();
            const int result = DecodeNext();
            lock.lock();
            if (result < 0)
                m_endOfFile = true;
            continue;
        }
        if (m_hasPending && m_steps > 0)
        {
            PublishPending();
            --m_steps;
            m_clockBase = m_latestTime;
            continue;
        }
        if (m_hasPending && m_state == STATE_RUNNING)
        {
            const double wait = m_pendingTime - ClockSeconds();
            if (wait <= 0.0)
            {
                PublishPending();
                continue;
            }
            const auto until = std::chrono::microseconds(static_cast<int64_t>(wait * 1.0e6) + 1);
            m_wake.wait_for(lock, std::min<std::chrono::microseconds>(until, kClockPoll));
            continue;
        }
        if (m_endOfFile && !m_hasPending)
        {
            m_finished = true;
            m_steps = 0;
        }
        m_wake.wait(lock);
    }
}

// 1 when a picture waits in the pending buffer, 0 when more must be read,
// -1 at the end of the movie.
int CMovie::DecodeNext()
{
    if (ReceiveVideo())
        return 1;
    if (m_videoDrained)
        return -1;
    if (m_flushing)
        return ReceiveVideo() ? 1 : (m_videoDrained ? -1 : 0);

    if (av_read_frame(m_format, m_packet) < 0)
    {
        // The end of the file: the decoders give up what they hold.
        avcodec_send_packet(m_videoCodec, nullptr);
        if (m_audioCodec != nullptr && !m_cueing && SoundDeviceOpen())
        {
            avcodec_send_packet(m_audioCodec, nullptr);
            ReceiveAudio();
            QueueSound(m_pcm.data(), m_pcm.size());
            m_pcm.clear();
        }
        m_flushing = true;
        return ReceiveVideo() ? 1 : (m_videoDrained ? -1 : 0);
    }
    if (m_packet->stream_index == m_videoStream)
        avcodec_send_packet(m_videoCodec, m_packet);
    else if (m_packet->stream_index == m_audioStream && m_audioCodec != nullptr && SoundDeviceOpen())
    {
        if (avcodec_send_packet(m_audioCodec, m_packet) >= 0)
            ReceiveAudio();
    }
    av_packet_unref(m_packet);
    return ReceiveVideo() ? 1 : 0;
}

bool CMovie::ReceiveVideo()
{
    const int result = avcodec_receive_frame(m_videoCodec, m_decoded);
    // Once the file has ended, anything but a picture means the decoder
    // has nothing more to give, so a broken stream can't keep it spinning.
    if (result == AVERROR_EOF || (result < 0 && m_flushing))
        m_videoDrained = true;
    if (result < 0)
        return false;
    // A picture of another size than the stream announced is not shown.
    if (m_decoded->width != m_videoWidth || m_decoded->height != m_videoHeight ||
        m_decoded->format != m_videoCodec->pix_fmt)
    {
        av_frame_unref(m_decoded);
        return false;
    }
    if (m_pending.size() != static_cast<size_t>(m_frameSize))
        m_pending.assign(static_cast<size_t>(m_frameSize), 0);
    uint8_t* planes[4] = {m_pending.data(), nullptr, nullptr, nullptr};
    int strides[4] = {m_videoWidth * 3, 0, 0, 0};
    sws_scale(m_scaler, m_decoded->data, m_decoded->linesize, 0, m_videoHeight, planes, strides);

    // Movie time counts from the first picture, whatever the stream's
    // own start.
    const AVStream* stream = m_format->streams[m_videoStream];
    const int64_t stamp = m_decoded->best_effort_timestamp;
    // A picture without a time (the last one a decoder gives up) follows
    // the one before by a frame.
    double time = m_lastStreamTime + FrameDuration(stream);
    if (stamp != AV_NOPTS_VALUE)
        time = double(stamp) * av_q2d(stream->time_base);
    if (m_cueing && !m_hasOrigin)
    {
        m_timeOrigin = time;
        m_hasOrigin = true;
    }
    m_lastStreamTime = time;
    av_frame_unref(m_decoded);

    std::lock_guard<std::mutex> lock(m_lock);
    m_pendingTime = std::max(time - m_timeOrigin, 0.0);
    m_hasPending = true;
    ++m_convertedPictures;
    return true;
}

void CMovie::ReceiveAudio()
{
    while (avcodec_receive_frame(m_audioCodec, m_decoded) >= 0)
    {
        const int frames = swr_get_out_samples(m_resampler, m_decoded->nb_samples);
        if (frames > 0)
        {
            const size_t old = m_pcm.size();
            m_pcm.resize(old + static_cast<size_t>(frames) * kSoundBytesPerFrame);
            uint8_t* out = m_pcm.data() + old;
            const auto** in = const_cast<const uint8_t**>(m_decoded->extended_data);
            const int made = swr_convert(m_resampler, &out, frames, in, m_decoded->nb_samples);
            m_pcm.resize(old + static_cast<size_t>(std::max(made, 0)) * kSoundBytesPerFrame);
        }
        av_frame_unref(m_decoded);
    }
    // Sound read while the first picture is cued waits for the play.
    const size_t piece = static_cast<size_t>(m_soundRate / kSoundPieceDivisor) * kSoundBytesPerFrame;
    if (!m_cueing && m_pcm.size() >= piece)
    {
        QueueSound(m_pcm.data(), m_pcm.size());
        m_pcm.clear();
    }
}

void CMovie::Rewind()
{
    const int64_t start = m_format->start_time != AV_NOPTS_VALUE ? m_format->start_time : 0;
    if (av_seek_frame(m_format, -1, start, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(m_format, -1, 0, AVSEEK_FLAG_BYTE);
    avcodec_flush_buffers(m_videoCodec);
    if (m_audioCodec != nullptr)
        avcodec_flush_buffers(m_audioCodec);
    m_flushing = false;
    m_videoDrained = false;
    m_pcm.clear();
    CloseSoundSource();
}

// ---------------------------------------------------------------- sound

void CMovie::OpenSoundSource()
{
    if (m_sourceOpen)
        return;
    alGetError();
    alGenSources(1, &m_source);
    if (alGetError() != AL_NO_ERROR)
        return;
    m_sourceOpen = true;
    // Stereo sound plays at full level on both channels, not spatialised.
    alSourcei(m_source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcei(m_source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
    alSourcef(m_source, AL_GAIN, GainOf(m_volume));
}

void CMovie::CloseSoundSource()
{
    CSound* sound = CSound::GetInstance();
    if (sound == nullptr)
        return;
    std::lock_guard<CSound::Mutex> soundLock(sound->GetMutex());
    if (!m_sourceOpen)
        return;
    alSourceStop(m_source);
    alSourcei(m_source, AL_BUFFER, 0);
    alDeleteSources(1, &m_source);
    m_sourceOpen = false;
    m_source = 0;
    // Buffers detached from the deleted source can go now.
    for (ALuint buffer : m_soundBuffers)
        alDeleteBuffers(1, &buffer);
    m_soundBuffers.clear();
}

void CMovie::SetSoundPlaying(bool playing)
{
    if (!m_sourceOpen || CSound::GetInstance() == nullptr)
        return;
    ALint state = 0;
    alGetSourcei(m_source, AL_SOURCE_STATE, &state);
    if (playing && state != AL_PLAYING)
        alSourcePlay(m_source);
    if (!playing && state == AL_PLAYING)
        alSourcePause(m_source);
}

void CMovie::QueueSound(const uint8_t* pcm, size_t bytes)
{
    CSound* sound = CSound::GetInstance();
    if (sound == nullptr || sound->GetContext() == nullptr || bytes == 0)
        return;
    std::lock_guard<CSound::Mutex> soundLock(sound->GetMutex());
    OpenSoundSource();
    if (!m_sourceOpen)
        return;

    // Buffers played through are taken back and freed.
    ALint processed = 0;
    alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; ++i)
    {
        ALuint done = 0;
        alSourceUnqueueBuffers(m_source, 1, &done);
        m_soundBuffers.erase(std::remove(m_soundBuffers.begin(), m_soundBuffers.end(), done), m_soundBuffers.end());
        alDeleteBuffers(1, &done);
    }

    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR)
        return;
    alBufferData(buffer, AL_FORMAT_STEREO16, pcm, static_cast<ALsizei>(bytes), m_soundRate);
    alSourceQueueBuffers(m_source, 1, &buffer);
    m_soundBuffers.push_back(buffer);

    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        running = m_state == STATE_RUNNING;
    }
    SetSoundPlaying(running);
}

// ---------------------------------------------------------------- window play

namespace
{
struct WindowVertex
{
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
}

int CMovie::DrawInWindow(CGraphics* graphics)
{
    GraphicsDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    if (device == nullptr || !m_windowed || GetState() == STATE_STOPPED)
        return 0;
    const uint8_t* frame = GetFrame();
    if (frame == nullptr)
        return 0;
    if (!m_windowTexture)
    {
        m_windowTexture = device->CreateTexture(static_cast<uint32_t>(m_videoWidth),
                                                static_cast<uint32_t>(m_videoHeight), 1, 0, FORMAT_X8R8G8B8);
        if (!m_windowTexture)
            return 0;
        m_uploadedSerial = 0;
    }
    if (m_uploadedSerial != m_copiedSerial)
    {
        void* bits = nullptr;
        uint32_t pitch = 0;
        if (DeviceFailed(m_windowTexture->LockRect(0, &bits, &pitch, nullptr, LOCK_DISCARD)))
            return 0;
        for (int32_t row = 0; row < m_videoHeight; ++row)
        {
            const uint8_t* source = frame + static_cast<size_t>(row) * m_videoWidth * 3;
            uint8_t* texel = static_cast<uint8_t*>(bits) + static_cast<size_t>(row) * pitch;
            for (int32_t column = 0; column < m_videoWidth; ++column, source += 3, texel += 4)
            {
                texel[0] = source[0];
                texel[1] = source[1];
                texel[2] = source[2];
                texel[3] = 255;
            }
        }
        m_windowTexture->UnlockRect(0);
        m_uploadedSerial = m_copiedSerial;
    }

    const float l = static_cast<float>(m_windowRect.x);
    const float t = static_cast<float>(m_windowRect.y);
    const float r = static_cast<float>(m_windowRect.x + m_windowRect.width);
    const float b = static_cast<float>(m_windowRect.y + m_windowRect.height);
    const WindowVertex quad[4] = {
        {l, t, 0.0f, 1.0f, 0xFFFFFFFF, 0.0f, 0.0f},
        {r, t, 0.0f, 1.0f, 0xFFFFFFFF, 1.0f, 0.0f},
        {r, b, 0.0f, 1.0f, 0xFFFFFFFF, 1.0f, 1.0f},
        {l, b, 0.0f, 1.0f, 0xFFFFFFFF, 0.0f, 1.0f},
    };
    graphics->SetTexture(m_windowTexture.get());
    graphics->SetFVF(FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1);
    const DeviceResult drawn = graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(WindowVertex));
    // The texture goes with the movie; the state cache must not keep it.
    graphics->SetTexture(nullptr);
    return DeviceFailed(drawn) ? 0 : 1;
}

uint32_t CMovie::GetConvertedPictures() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_convertedPictures;
}
