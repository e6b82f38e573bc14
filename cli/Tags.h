#pragma once
// The tags zarn carries between sound files and Ogg Zarn: libsndfile's
// strings under the Vorbis comment names that players look for.

#include <sndfile.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace zarn::cli {

struct TagName {
    int kind;          // SF_STR_*
    const char* name;  // the comment's NAME
};

constexpr std::array<TagName, 7> kTagNames{{
    {SF_STR_TITLE, "TITLE"},
    {SF_STR_ARTIST, "ARTIST"},
    {SF_STR_ALBUM, "ALBUM"},
    {SF_STR_DATE, "DATE"},
    {SF_STR_GENRE, "GENRE"},
    {SF_STR_COMMENT, "COMMENT"},
    {SF_STR_TRACKNUMBER, "TRACKNUMBER"},
}};

// "NAME=value" for each tag `file` holds, in kTagNames's order.
std::vector<std::string> soundTags(SNDFILE* file);

// The first comment of each name libsndfile can write, as libsndfile's
// strings; other names are not carried over.
std::vector<std::pair<int, std::string>> sndfileTags(const std::vector<std::string>& comments);

// Whether `tag` is NAME=value with a NAME the comment header takes.
bool wellFormedTag(const std::string& tag);

}  // namespace zarn::cli
