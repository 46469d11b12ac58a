#include "output/naming_rule.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/folders.h"

namespace output {

std::string pageNumberOf(std::string_view name) {
    const std::size_t end = name.size() >= 4 ? name.size() - 4 : 0;
    const std::size_t begin = end >= 4 ? end - 4 : 0;
    return std::string(name.substr(begin, end - begin));
}

std::string sequenceNumber(int index) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", index + 1);
    return text;
}

std::string proposedBaseName(std::string_view documentName) {
    return std::string(documentName.substr(0, documentName.find('.')));
}

std::string mailBaseName(std::string_view baseName) {
    if (baseName.size() > kMailBaseLimit)
        return std::string(baseName.substr(0, kMailBaseCut));
    return std::string(baseName);
}

std::string outputFileName(std::string_view folder, std::string_view baseName, std::string_view pageNumber,
                           std::string_view extension) {
    std::string name(baseName);
    name += pageNumber;
    name += extension;
    return platform::joinPath(folder, name);
}

ChosenName splitChosenPath(std::string_view path, std::initializer_list<std::string_view> extensions) {
    const std::size_t slash = path.find_last_of('/');
    ChosenName out;
    if (slash == std::string_view::npos) {
        out.title = std::string(path);
    } else {
        out.folder = std::string(path.substr(0, slash == 0 ? 1 : slash));
        out.title = std::string(path.substr(slash + 1));
    }
    const std::size_t dot = out.title.rfind('.');
    if (dot != std::string::npos) {
        std::string ext = out.title.substr(dot);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            out.title.resize(dot);
    }
    return out;
}

}  // namespace output
