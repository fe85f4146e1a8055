// Words spoken by eSpeak NG, made on demand on one worker thread (the
// synthesiser keeps global state and is not thread-safe) and kept in
// memory, bounded, as ready-made WAV responses.
#pragma once

#include <microhttpd.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace qcy {

class SpokenWord {
public:
    explicit SpokenWord(std::string wav);
    ~SpokenWord();
    SpokenWord(const SpokenWord &) = delete;
    SpokenWord &operator=(const SpokenWord &) = delete;

    MHD_Response *response() const { return response_; }
    size_t size() const { return size_; }

private:
    MHD_Response *response_ = nullptr;
    size_t size_ = 0;
};

class SpeechService {
public:
    struct Limits {
        size_t maxEntries = 4096;
        size_t maxBytes = 48u << 20;
        size_t maxQueued = 256; // distinct words waiting for the synthesiser
    };

    SpeechService() : SpeechService(Limits{}) {}
    explicit SpeechService(Limits limits);
    ~SpeechService();

    void start();
    // Finishes the word being spoken; everyone still waiting is told no.
    void stop();

    enum class Outcome { Ready, Queued, Busy, Unavailable };
    using Done = std::function<void(std::shared_ptr<const SpokenWord>)>;

    // Ready: `word` is already spoken and in `out`. Queued: `beforeQueue`
    // ran (under the service's lock, so that `done` cannot come first)
    // and `done` will be called once from the worker thread, with nullptr
    // when synthesis failed or the service stopped.
    Outcome request(const std::string &word, std::shared_ptr<const SpokenWord> &out,
                    const std::function<void()> &beforeQueue, Done done);

private:
    void run();
    std::shared_ptr<const SpokenWord> cached(const std::string &word);
    void remember(const std::string &word, std::shared_ptr<const SpokenWord> spoken);

    Limits limits_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool unavailable_ = false;
    std::deque<std::string> queue_;
    std::unordered_map<std::string, std::vector<Done>> waiting_;

    struct Slot {
        std::string word;
        std::shared_ptr<const SpokenWord> spoken;
    };
    std::list<Slot> lru_;
    std::unordered_map<std::string, std::list<Slot>::iterator> index_;
    size_t bytes_ = 0;

    std::thread worker_;
};

// A RIFF/WAVE file of 16-bit mono PCM.
std::string makeWav(const std::vector<int16_t> &samples, int sampleRate);

} // namespace qcy
