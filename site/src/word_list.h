// The words the site teaches, read from the "word" column of its word
// data and read again whenever that file changes.
#pragma once

#include "file_cache.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_set>

namespace qcy {

class WordList {
public:
    explicit WordList(std::filesystem::path file) : file_(std::move(file)) {}

    bool contains(const std::string &word);
    // Reads the words now rather than on the first request for one.
    void preload();

    // The words of a words.json document; throws on a document without
    // a "word" column.
    static std::unordered_set<std::string> parse(const std::string &json);

private:
    void refresh();

    std::filesystem::path file_;
    std::mutex mutex_;
    FileStamp stamp_;
    bool loaded_ = false;
    bool complained_ = false;
    std::unordered_set<std::string> words_;
};

} // namespace qcy
