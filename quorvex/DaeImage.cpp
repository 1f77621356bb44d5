#include "DaeImage.h"

#include "DaeTextParser.h"

std::string DaeImage::GetUri() const {
    const pugi::xml_node from = element.child("init_from");
    const pugi::xml_node ref = from.child("ref");
    const char* text = ref ? ref.child_value() : from.child_value();
    std::string uri(text);
    std::size_t first = 0, last = uri.size();
    while (first < last && DaeTextParser::IsSpace(uri[first])) ++first;
    while (last > first && DaeTextParser::IsSpace(uri[last - 1])) --last;
    return uri.substr(first, last - first);
}
