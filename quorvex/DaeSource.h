#pragma once
#include <cstddef>
#include <string>
#include <vector>

/// One <source> of a mesh, read for the conversion: its numbers and how to
/// step through them. Only positions, normals and texture coordinates are
/// read; other sources keep their type and no data.
class DaeSource {
public:
    std::string id;
    int type = -1;              ///< DaeSemantic of the first input that uses it
    std::vector<float> data;    ///< the array's numbers from the accessor's offset on
    bool hasAccessor = false;   ///< an accessor over a float array was found
    std::size_t stride = 0;     ///< the accessor's stride, as written
    std::size_t count = 0;      ///< elements that can be read whole; 0 when unreadable
    std::size_t base = 0;       ///< where its first element lands in the mesh's array of its type
    bool readable = false;      ///< a converted type with a usable accessor and array
    std::size_t badNumbers = 0; ///< tokens of the array that were no numbers (read as 0)
    std::string problem;        ///< why a converted type could not be read (for the log)
};
