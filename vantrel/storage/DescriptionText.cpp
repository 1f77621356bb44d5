#include "DescriptionText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "AtomicFile.h"
#include "IniFile.h"

namespace {

template <typename T, typename Parse>
bool ReadAll(const std::string& text, std::size_t count, std::vector<T>& numbers, Parse parse) {
    numbers.clear();
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        errno = 0;
        char* end = nullptr;
        const T value = parse(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return false;
        numbers.push_back(value);
    }
    return count == 0 ? !numbers.empty() : numbers.size() == count;
}

}  // namespace

bool DescriptionText::ReadNumbers(const std::string& text, std::size_t count, std::vector<double>& numbers) {
    return ReadAll(text, count, numbers, [](const char* s, char** end) { return std::strtod(s, end); });
}

bool DescriptionText::ReadFloats(const std::string& text, std::size_t count, std::vector<float>& numbers) {
    return ReadAll(text, count, numbers, [](const char* s, char** end) { return std::strtof(s, end); });
}

bool DescriptionText::CutToCharacters(std::string& text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (++characters > count) {
            text.resize(i);
            return true;
        }
    }
    return false;
}

bool DescriptionText::ReadFile(const std::string& file, std::size_t maxBytes, IniFile& ini, std::string& why) {
    std::string text, error;
    switch (AtomicFile::Read(file, maxBytes, text, error)) {
    case AtomicFile::ReadResult::Read: break;
    case AtomicFile::ReadResult::Missing: why = "is missing"; return false;
    case AtomicFile::ReadResult::Failed: why = "cannot be read (" + error + ")"; return false;
    }
    if (ini.Parse(text, file, error)) return true;
    why = "is no description (" + error + ")";
    return false;
}
