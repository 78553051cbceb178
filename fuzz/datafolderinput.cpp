#include "datafolderinput.h"

#include <cstring>

DataFolderInput DataFolderInput::split(const std::string& bytes) {
    const std::size_t separatorSize = std::strlen(kSeparator);
    DataFolderInput input;
    const std::size_t first = bytes.find(kSeparator);
    input.list = bytes.substr(0, first);
    if (first == std::string::npos) {
        return input;
    }
    const std::size_t aStart = first + separatorSize;
    const std::size_t second = bytes.find(kSeparator, aStart);
    input.hasArchiveA = true;
    input.archiveA = bytes.substr(aStart, second == std::string::npos ? std::string::npos : second - aStart);
    if (second == std::string::npos) {
        return input;
    }
    input.hasArchiveB = true;
    input.archiveB = bytes.substr(second + separatorSize);
    return input;
}

std::string DataFolderInput::join() const {
    std::string bytes = list;
    if (hasArchiveA || hasArchiveB) {
        bytes += kSeparator + archiveA;
    }
    if (hasArchiveB) {
        bytes += kSeparator + archiveB;
    }
    return bytes;
}
