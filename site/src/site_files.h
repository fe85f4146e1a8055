// Maps request targets onto files of the site folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qcy {

struct Lookup {
    enum class Kind { File, Redirect, NotFound };
    Kind kind = Kind::NotFound;
    std::filesystem::path file; // Kind::File: canonical path inside the root
    std::string location;       // Kind::Redirect: relative Location value
};

class SiteFolder {
public:
    // `root` must be an existing directory; it is canonicalised once here so
    // that every later containment check compares canonical paths.
    explicit SiteFolder(const std::filesystem::path &root);

    const std::filesystem::path &root() const { return root_; }

    // `target` is the request target exactly as it arrived (still
    // percent-encoded), so that encoded slashes can be told apart from real
    // ones.
    Lookup lookup(std::string_view target) const;

private:
    bool contains(const std::filesystem::path &canonical) const;
    std::optional<std::filesystem::path> regularFileInside(const std::filesystem::path &p) const;

    std::filesystem::path root_;
    std::string rootPrefix_; // root_ with a trailing separator
};

// Strict %XX decoding: nullopt for a malformed escape.
std::optional<std::string> percentDecode(std::string_view s);

std::string contentTypeFor(const std::filesystem::path &file);

} // namespace qcy
