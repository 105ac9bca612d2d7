#include "audio/SynthEngine.h"

#include <filesystem>

#include "log/QuietLibraries.h"

SynthEngine::Settings SynthEngine::makeSettings(double sampleRate)
{
    Settings settings { new_fluid_settings() };
    if (!settings)
        return settings;
    fluid_settings_setnum(settings.get(), "synth.sample-rate", sampleRate);
    // Loads samples on first use, so a 140 MB soundfont opens in tens of milliseconds.
    fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 1);
    // FluidSynth's default of 0.2 leaves a note at full velocity some 23 dB
    // under full scale, far quieter than a keyboard; at unity it peaks about
    // 9 dB under, and the renderer's limiter catches what many notes add up to.
    fluid_settings_setnum(settings.get(), "synth.gain", 1.0);
    return settings;
}

SynthEngine::SynthEngine(double sampleRate)
    : sampleRate_(sampleRate)
{
    quietSoundLibraries();
    settings_ = makeSettings(sampleRate);
    if (!settings_)
        return;
    // Read once: playbacks ask from their own threads while a new synth may
    // be taking this one's place.
    fluid_settings_getnum_range(settings_.get(), "synth.sample-rate", &lowestRate_, &highestRate_);
    synth_.reset(new_fluid_synth(settings_.get()));
    event_.reset(new_fluid_midi_event());
    renderer_ = std::make_unique<IdleRenderer>(synth_.get(), sampleRate);
}

SynthEngine::SynthEngine(const SoundfontSearch& search, double sampleRate)
    : SynthEngine(sampleRate)
{
    load(search);
}

bool SynthEngine::load(const SoundfontSearch& search)
{
    if (!loadSoundfont(search))
        return false;
    selectPrograms();
    return true;
}

bool SynthEngine::loadSoundfont(const SoundfontSearch& search)
{
    std::lock_guard build(buildMutex_);
    if (!synth_ || !event_)
        return false;
    for (const auto& file : search.candidates()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec))
            continue;
        const int id = fluid_synth_sfload(synth_.get(), file.c_str(), 0);
        if (id != FLUID_FAILED) {
            std::lock_guard lock(playMutex_);
            soundfontId_ = id;
            soundfontFile_ = file;
            return true;
        }
    }
    return false;
}

void SynthEngine::selectPrograms()
{
    std::lock_guard build(buildMutex_);
    if (!ok())
        return;
    programsSelected_ = true;
    selectPiano(synth_.get(), soundfontId_);
}

void SynthEngine::selectPiano(fluid_synth_t* synth, int soundfontId)
{
    // A General MIDI reset would also load the drum kit of channel 10,
    // which the keyboard never plays: 15 ms and 11 MB for nothing.
    for (int channel = 0; channel < 16; ++channel)
        if (channel != 9)
            fluid_synth_program_select(synth, channel, static_cast<unsigned>(soundfontId), 0, 0);
}

SynthEngine::~SynthEngine() = default;

double SynthEngine::renderableRate(double rate) const
{
    // Such as a 192 kHz graph: the synth renders at the usual rate instead,
    // which costs half what the highest would.
    return rate >= lowestRate_ && rate <= highestRate_ ? rate : 48000.0;
}

bool SynthEngine::setSampleRate(double wanted, const RenderGate::Closed&)
{
    const double rate = renderableRate(wanted);
    std::lock_guard build(buildMutex_);
    if (!synth_ || rate == sampleRate_)
        return synth_ != nullptr;
    // FluidSynth changes a synth's rate only when it is made (from 2.4.4 on
    // its call to change it later does nothing): a new synth with the same
    // soundfont, whose samples load as they are played, takes its place.
    Settings settings = makeSettings(rate);
    Synth synth { settings ? new_fluid_synth(settings.get()) : nullptr };
    if (!synth)
        return false;
    int soundfontId = FLUID_FAILED;
    if (!soundfontFile_.empty()) {
        // Such as a soundfont removed or replaced by an upgrade since it was loaded.
        soundfontId = fluid_synth_sfload(synth.get(), soundfontFile_.c_str(), 0);
        if (soundfontId == FLUID_FAILED)
            return false;
    }
    if (programsSelected_)
        selectPiano(synth.get(), soundfontId);

    std::lock_guard lock(playMutex_);
    std::swap(settings_, settings);
    std::swap(synth_, synth);
    soundfontId_ = soundfontId;
    sampleRate_ = rate;
    renderer_->setSynth(synth_.get(), rate);
    // Such as a key pressed the moment a server came back, before its playback was adopted.
    strikePressed();
    return true;
}

void SynthEngine::keepRecent(std::chrono::milliseconds age)
{
    if (!synth_)
        return;
    std::lock_guard lock(playMutex_);
    fluid_synth_all_sounds_off(synth_.get(), -1);
    const auto oldest = std::chrono::steady_clock::now() - age;
    for (auto& channel : pressed_)
        for (PressedKey& key : channel)
            if (key.since < oldest)
                key.velocity = 0;
    strikePressed();
}

void SynthEngine::strikePressed()
{
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            if (const int velocity = pressed_[channel][key].velocity) {
                renderer_->wake();
                fluid_synth_noteon(synth_.get(), channel, key, velocity);
            }
}

int SynthEngine::play(uint32_t value)
{
    if (!ok())
        return 1;
    // The packed short message: status in the low byte, then two data bytes.
    const uint8_t bytes[3] = { static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
        static_cast<uint8_t>(value >> 16) };
    // Before the message is queued, so that the block that takes it is rendered.
    renderer_->wake();
    // The event is shared by every thread that plays, such as the demo's.
    std::lock_guard lock(playMutex_);
    fluid_midi_event_set_type(event_.get(), bytes[0] & 0xF0);
    fluid_midi_event_set_channel(event_.get(), bytes[0] & 0x0F);
    // Data bytes of note, key-pressure and controller messages share these fields.
    fluid_midi_event_set_key(event_.get(), bytes[1]);
    fluid_midi_event_set_velocity(event_.get(), bytes[2]);
    const int type = bytes[0] & 0xF0;
    if (type == 0x90 || type == 0x80)
        pressed_[bytes[0] & 0x0F][bytes[1] & 0x7F]
            = { static_cast<uint8_t>(type == 0x90 ? bytes[2] : 0), std::chrono::steady_clock::now() };
    return fluid_synth_handle_midi_event(synth_.get(), event_.get()) == FLUID_OK ? 0 : 1;
}
