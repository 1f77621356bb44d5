#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "vmath/vec2.h"
#include "vmath/vec3.h"

/// One <source> of a mesh, read for the conversion: its numbers and how to
/// step through them. Only positions, normals and texture coordinates are
/// read; other sources keep their type and no data.
///
/// A source whose elements are packed (stride equal to the components read,
/// no offset: what exporters write) is read straight into the vector layout
/// the mesh keeps, so its data moves into the mesh without a copy.
class DaeSource {
public:
    /// Element `k` (< count): its first component.
    const float* GetElement(std::size_t k) const {
        return !packed3.empty() ? packed3[k].ptr() : !packed2.empty() ? packed2[k].ptr() : &data[k * stride];
    }

    std::string id;
    int type = -1;               ///< DaeSemantic of the first input that uses it
    std::vector<float> data;     ///< the array's numbers from the accessor's offset on (unpacked sources)
    std::vector<vmath::vec3<float>> packed3;  ///< packed positions or normals
    std::vector<vmath::vec2<float>> packed2;  ///< packed texture coordinates
    bool hasAccessor = false;    ///< an accessor over a float array was found
    std::size_t stride = 0;      ///< the accessor's stride, as written
    std::size_t count = 0;       ///< elements that can be read whole; 0 when unreadable
    std::size_t base = 0;        ///< where its first element lands in the mesh's array of its type
    bool readable = false;       ///< a converted type with a usable accessor and array
    std::size_t badNumbers = 0;  ///< tokens of the array that were no numbers (read as 0)
    std::string problem;         ///< why a converted type could not be read (for the log)
};
