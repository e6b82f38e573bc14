#include "cli/Tags.h"

#include <string_view>

#include "container/OggZarnHeaders.h"

namespace zarn::cli {

std::vector<std::string> soundTags(SNDFILE* file) {
    std::vector<std::string> tags;
    for (const TagName& tag : kTagNames) {
        const char* value = sf_get_string(file, tag.kind);
        if (value != nullptr && *value != '\0') tags.push_back(std::string(tag.name) + "=" + value);
    }
    return tags;
}

std::vector<std::pair<int, std::string>> sndfileTags(const std::vector<std::string>& comments) {
    std::vector<std::pair<int, std::string>> tags;
    for (const TagName& tag : kTagNames) {
        for (const std::string& comment : comments) {
            if (!commentNameIs(comment, tag.name)) continue;
            tags.emplace_back(tag.kind, std::string(commentValue(comment)));
            break;
        }
    }
    return tags;
}

bool wellFormedTag(const std::string& tag) {
    const std::size_t equals = tag.find('=');
    return equals != std::string::npos && validCommentName(std::string_view(tag).substr(0, equals));
}

}  // namespace zarn::cli
