#include "tools/kvplay/audio_device.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace kvplay {
namespace {

// About 23 ms at 44100 Hz: short enough that keys take effect at once,
// long enough for a busy machine.
constexpr uint16_t PERIOD_FRAMES = 1024;

// Standard error goes to /dev/null while it lives: the sound libraries SDL
// loads (ALSA's, PulseAudio's) print their own complaints there.
class QuietStderr {
public:
    QuietStderr()
    {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0)
            dup2(null, STDERR_FILENO);
        if (null >= 0)
            close(null);
    }
    ~QuietStderr()
    {
        if (saved_ < 0)
            return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr &) = delete;
    QuietStderr &operator=(const QuietStderr &) = delete;

private:
    int saved_;
};

void discardLog(void *, int, SDL_LogPriority, const char *) {}

// Starts SDL's audio layer. False with `error` set.
bool startAudio(std::string &error)
{
    SDL_LogSetOutputFunction(discardLog, nullptr);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // kvplay handles its own signals
    SDL_SetHint(SDL_HINT_APP_NAME, "kvplay");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "music");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        return true;
    error = SDL_GetError();
    return false;
}

// Whether SDL lists an output device of that name; when it cannot list
// them, any name is tried. (Some drivers would take any name: the disk
// driver as the name of a file to write.)
bool listed(const std::string &name)
{
    const int count = SDL_GetNumAudioDevices(0);
    if (count < 0)
        return true;
    for (int i = 0; i < count; ++i)
        if (const char *listedName = SDL_GetAudioDeviceName(i, 0); listedName && name == listedName)
            return true;
    return false;
}

} // namespace

bool listAudioDevices(std::vector<std::string> &names, std::string &error)
{
    QuietStderr quiet;
    if (!startAudio(error))
        return false;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char *name = SDL_GetAudioDeviceName(i, 0))
            names.push_back(name);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return true;
}

void raiseThreadPriority()
{
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
}

std::unique_ptr<AudioDevice> AudioDevice::open(const std::string &name, FrameRing &ring, std::string &error)
{
    QuietStderr quiet;
    if (!startAudio(error))
        return nullptr;
    if (!name.empty() && !listed(name)) {
        error = name + ": no such device (--list-devices lists them)";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    std::unique_ptr<AudioDevice> device(new AudioDevice(ring));
    SDL_AudioSpec wanted{}, obtained{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = PERIOD_FRAMES;
    wanted.callback = callback;
    wanted.userdata = device.get();
    // No changes allowed: where the device differs, SDL converts.
    device->id_ = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 0, &wanted, &obtained, 0);
    if (!device->id_) {
        error = (name.empty() ? "" : name + ": ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    device->periodFrames_ = obtained.samples;
    return device;
}

AudioDevice::~AudioDevice()
{
    QuietStderr quiet;
    SDL_CloseAudioDevice(id_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioDevice::start()
{
    if (!started_)
        SDL_PauseAudioDevice(id_, 0);
    started_ = true;
}

void AudioDevice::lock()
{
    SDL_LockAudioDevice(id_);
}

void AudioDevice::unlock()
{
    SDL_UnlockAudioDevice(id_);
}

void AudioDevice::setVolume(int percent)
{
    volume_.store(percent < 0 ? 0 : percent > FULL_VOLUME ? FULL_VOLUME : percent, std::memory_order_relaxed);
}

std::string AudioDevice::driver() const
{
    const char *name = SDL_GetCurrentAudioDriver();
    return name ? name : "";
}

// [audio thread]
void AudioDevice::callback(void *self, uint8_t *stream, int bytes)
{
    AudioDevice *device = static_cast<AudioDevice *>(self);
    int16_t *out = reinterpret_cast<int16_t *>(stream);
    const size_t frames = size_t(bytes) / 4;
    const size_t got = device->paused() ? 0 : device->ring_.read(out, frames);
    std::memset(out + 2 * got, 0, 4 * (frames - got));
    const int volume = device->volume();
    if (volume != FULL_VOLUME)
        for (size_t i = 0; i < 2 * got; ++i)
            out[i] = int16_t(out[i] * volume / FULL_VOLUME);
}

} // namespace kvplay
