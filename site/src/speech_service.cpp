#include "speech_service.h"

#include "file_cache.h"

#include <espeak-ng/speak_lib.h>

#include <cstdio>
#include <cstring>

namespace qcy {

namespace {

void appendLE(std::string &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

int collectSamples(short *wav, int count, espeak_EVENT *events)
{
    if (wav && count > 0 && events && events->user_data) {
        auto *samples = static_cast<std::vector<int16_t> *>(events->user_data);
        samples->insert(samples->end(), wav, wav + count);
    }
    return 0; // go on
}

void releaseWav(void *cls)
{
    delete static_cast<std::string *>(cls);
}

// A learner listens for the sounds of a single word: a little slower than
// eSpeak's conversational default.
constexpr int kWordsPerMinute = 150;

} // namespace

std::string makeWav(const std::vector<int16_t> &samples, int sampleRate)
{
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    appendLE(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    appendLE(out, 16, 4);                                  // fmt chunk size
    appendLE(out, 1, 2);                                   // PCM
    appendLE(out, 1, 2);                                   // mono
    appendLE(out, static_cast<uint32_t>(sampleRate), 4);
    appendLE(out, static_cast<uint32_t>(sampleRate) * 2, 4); // bytes per second
    appendLE(out, 2, 2);                                   // bytes per frame
    appendLE(out, 16, 2);                                  // bits per sample
    out += "data";
    appendLE(out, dataBytes, 4);
    for (int16_t s : samples)
        appendLE(out, static_cast<uint16_t>(s), 2);
    return out;
}

SpokenWord::SpokenWord(std::string wav)
{
    auto *body = new std::string(std::move(wav));
    size_ = body->size();
    response_ = MHD_create_response_from_buffer_with_free_callback_cls(body->size(), body->data(), &releaseWav, body);
    if (!response_) {
        delete body;
        throw std::bad_alloc();
    }
    addCommonHeaders(response_);
    MHD_add_response_header(response_, "Content-Type", "audio/wav");
    // The same word always sounds the same.
    MHD_add_response_header(response_, "Cache-Control", "max-age=86400");
}

SpokenWord::~SpokenWord()
{
    MHD_destroy_response(response_);
}

SpeechService::SpeechService(Limits limits)
    : limits_(limits)
{
}

SpeechService::~SpeechService()
{
    stop();
}

void SpeechService::start()
{
    worker_ = std::thread(&SpeechService::run, this);
}

void SpeechService::stop()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

std::shared_ptr<const SpokenWord> SpeechService::cached(const std::string &word)
{
    const auto it = index_.find(word);
    if (it == index_.end())
        return nullptr;
    lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->spoken;
}

void SpeechService::remember(const std::string &word, std::shared_ptr<const SpokenWord> spoken)
{
    bytes_ += spoken->size();
    lru_.push_front(Slot{word, std::move(spoken)});
    index_[word] = lru_.begin();
    while (lru_.size() > 1 && (lru_.size() > limits_.maxEntries || bytes_ > limits_.maxBytes)) {
        bytes_ -= lru_.back().spoken->size();
        index_.erase(lru_.back().word);
        lru_.pop_back();
    }
}

SpeechService::Outcome SpeechService::request(const std::string &word, std::shared_ptr<const SpokenWord> &out,
                                              const std::function<void()> &beforeQueue, Done done)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if ((out = cached(word)))
        return Outcome::Ready;
    if (stopping_ || unavailable_)
        return Outcome::Unavailable;
    auto it = waiting_.find(word);
    if (it == waiting_.end()) {
        if (queue_.size() >= limits_.maxQueued)
            return Outcome::Busy;
        queue_.push_back(word);
        it = waiting_.emplace(word, std::vector<Done>{}).first;
        wake_.notify_one();
    }
    beforeQueue();
    it->second.push_back(std::move(done));
    return Outcome::Queued;
}

void SpeechService::run()
{
    // Synchronous output: samples come to the callback, no sound device.
    const int sampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    bool ready = sampleRate > 0;
    if (ready) {
        espeak_SetSynthCallback(&collectSamples);
        ready = espeak_SetVoiceByName("en-us") == EE_OK;
        espeak_SetParameter(espeakRATE, kWordsPerMinute, 0);
    }
    if (!ready)
        std::fprintf(stderr, "qingchuanye-site: speech is unavailable (eSpeak NG or its en-us voice is missing)\n");

    std::unique_lock<std::mutex> lock(mutex_);
    unavailable_ = !ready;
    while (ready) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_)
            break;
        const std::string word = queue_.front();
        queue_.pop_front();
        lock.unlock();

        std::shared_ptr<const SpokenWord> spoken;
        std::vector<int16_t> samples;
        const espeak_ERROR rc = espeak_Synth(word.c_str(), word.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, &samples);
        if (rc == EE_OK && !samples.empty())
            spoken = std::make_shared<SpokenWord>(makeWav(samples, sampleRate));
        else
            std::fprintf(stderr, "qingchuanye-site: could not speak '%s'\n", word.c_str());

        lock.lock();
        if (spoken)
            remember(word, spoken);
        std::vector<Done> waiters = std::move(waiting_[word]);
        waiting_.erase(word);
        lock.unlock();
        for (auto &done : waiters)
            done(spoken);
        lock.lock();
    }
    // Nobody may be left suspended once the worker is gone.
    queue_.clear();
    auto left = std::move(waiting_);
    waiting_.clear();
    unavailable_ = true;
    lock.unlock();
    for (auto &[word, waiters] : left) {
        for (auto &done : waiters)
            done(nullptr);
    }
    if (ready)
        espeak_Terminate();
}

} // namespace qcy
