#include "word_list.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace qcy {

std::unordered_set<std::string> WordList::parse(const std::string &json)
{
    const nlohmann::json doc = nlohmann::json::parse(json);
    const auto &columns = doc.at("columns");
    size_t column = columns.size();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].is_string() && columns[i].get<std::string>() == "word") {
            column = i;
            break;
        }
    }
    if (column == columns.size())
        throw std::runtime_error("no \"word\" column");
    std::unordered_set<std::string> words;
    for (const auto &row : doc.at("rows")) {
        if (row.is_array() && row.size() > column && row[column].is_string())
            words.insert(row[column].get<std::string>());
    }
    return words;
}

void WordList::refresh()
{
    struct stat st {};
    if (stat(file_.c_str(), &st) != 0) {
        if (!complained_)
            std::fprintf(stderr, "qingchuanye-site: no word data at %s; /speech says 404 to every word\n",
                         file_.c_str());
        complained_ = true;
        words_.clear();
        loaded_ = false;
        return;
    }
    const FileStamp stamp = FileStamp::of(st);
    if (loaded_ && stamp == stamp_)
        return;
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        words_ = parse(text.str());
        complained_ = false;
    } catch (const std::exception &e) {
        // Most likely caught half-written by the data build: keep the
        // words we had, and look again once the file changes.
        if (!complained_)
            std::fprintf(stderr, "qingchuanye-site: cannot read words from %s: %s\n", file_.c_str(), e.what());
        complained_ = true;
    }
    stamp_ = stamp;
    loaded_ = true;
}

void WordList::preload()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    refresh();
}

bool WordList::contains(const std::string &word)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    return words_.count(word) > 0;
}

} // namespace qcy
